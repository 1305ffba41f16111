#pragma once

#include <chrono>
#include <string>

#include "files/source_file.h"

namespace lexiform {

inline constexpr const char* kProgramTitle = "Lexiform";

// The usage screen; also makes the program's base name the console title.
void ShowUsage();

// What "--help" adds to the usage screen: the switches and the exit statuses.
void ShowSwitchesAndStatuses();

// The line that ends "--help": the configuration file in use.
void ShowConfigurationFile(const std::string& iniFileName);

// The one line of "--version": "lexiform" and the version the build declares.
void ShowVersion();

// The error block: banner, the whole command line as the platform passed it, and
// " Error: " with `message` in red.
void ShowError(const std::string& message, const std::string& commandLine);

// The line of one entry of the run: its number, its path in green and its size text.
void ShowEntryLine(std::size_t number, const std::string& path, const std::string& sizeText);

// The problem line of an entry that gets no section or page ("  File not exists: ...",
// "  Cannot search directory: ...", "  Could not open file: ..."); empty when the entry
// is present. `folder` and `reason` are those of an entry that cannot be searched.
std::string AbsentEntryProblem(SourceEntry::State state, const std::string& path,
                               const std::string& folder, const std::string& reason);

// Whole seconds as hours, minutes and seconds ("0:01:05"), the fields joined by
// `separator`, the hour with a leading zero when `hourLeadingZero`.
std::string ElapsedTimeText(std::chrono::seconds elapsed, const std::string& separator,
                            bool hourLeadingZero);

// The rule of 80 "-". It ends its line only where the console does not wrap after it
// by itself (see platform::RuleNeedsLineEnd), so the next text starts a new line.
void ShowRule();

} // namespace lexiform
