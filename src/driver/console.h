#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace lexiform {

// The console colours the program uses.
enum class TColor : std::uint8_t {
  Green = 2,     // the file name of an entry line
  LightGray = 7, // the normal colour
  LightBlue = 9, // the home page on the usage screen
  LightRed = 12, // errors and missing files
};

// Sets up the console once, before anything else is written; the remembered text
// attribute starts at light grey on black whatever the console really shows.
void InitConsole();

// Gives the console back the colours it had before InitConsole, when it goes out of
// scope: one per run of the program.
class TConsoleSession {
public:
  TConsoleSession() = default;
  ~TConsoleSession();
  TConsoleSession(const TConsoleSession&) = delete;
  TConsoleSession& operator=(const TConsoleSession&) = delete;
};

// Makes `color` the foreground of all text written after it. Text written before is
// flushed first, so a colour covers exactly what follows.
void SetTextColor(TColor color);

// From now on no console text is written at all; problem lines go to standard error.
void MakeConsoleQuiet();

// Console text, to standard output (or to standard error where the document goes to
// standard output).
void Write(std::string_view text);
// `text` followed by the platform's console line end (CR LF on Windows, LF on POSIX).
void WriteLine(std::string_view text = {});
// `text` in `color` and a line end, then back to the normal colour.
void WriteColoredLine(TColor color, std::string_view text);
void FlushConsole();
// A problem of the run (a missing or unreadable file, a directory that cannot be
// searched): in red among the console text, or, in a quiet run, as a line of its own
// on standard error.
void WriteProblemLine(std::string_view text);

// A name or command line as the console shows it: where the console text (in a quiet
// run, the problem lines) goes to a terminal, every control byte
// (0x00-0x1F, 0x7F) becomes "?", so that a file name cannot move the cursor, clear the
// screen or retitle the window; elsewhere (a pipe, a file) the bytes stay as they are.
std::string Shown(std::string_view text);

// The same for a text written to standard error on its own (a fatal error's message):
// filtered when standard error is a terminal.
std::string ShownOnStandardError(std::string_view text);

} // namespace lexiform
