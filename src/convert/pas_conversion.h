#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "convert/byte_block.h"
#include "convert/memory_stream.h"
#include "convert/token_kind.h"

namespace lexiform {

// The output buffer could not be enlarged: memory ran out during a conversion.
class ConversionError : public std::runtime_error {
public:
  ConversionError() : std::runtime_error("conversions buffer to small") {}
};

// Turns the Pascal source held in the stream into an HTML fragment in the same stream.
// Use: set the twenty style fields, load the source, Convert once, save the content.
// Between tokens the scanner and the writer share the cursor state below; everything
// works in place over the stream's memory.
class TPasConversion : public TMemoryStream {
public:
  TPasConversion();
  ~TPasConversion() override;
  TPasConversion(const TPasConversion&) = delete;
  TPasConversion& operator=(const TPasConversion&) = delete;

  // Markup written around the tokens of each kind; line breaks always go bare.
  std::string KeywordPrefix, KeywordSuffix;
  std::string CommentPrefix, CommentSuffix;
  std::string DirectivePrefix, DirectiveSuffix;
  std::string IdentifierPrefix, IdentifierSuffix;
  std::string NumberPrefix, NumberSuffix;
  std::string StringPrefix, StringSuffix;
  std::string SymbolPrefix, SymbolSuffix;
  std::string SpacePrefix, SpaceSuffix;
  std::string UnknownPrefix, UnknownSuffix;
  std::string AssemblerPrefix, AssemblerSuffix;

  // Inside a property declaration (from PROPERTY to the next property-ending word).
  bool InProperty = false;

  // Markup to write into the fragment as it stands: `Text` goes right before the first
  // token (or line break) that starts at or after byte `Offset` of the source, or at the
  // fragment's end when none does. Sorted by `Offset`; passes through the fix-up like
  // the style markup. Empty for a plain conversion. The markup is kept by whoever
  // fills the list, until the conversion is done.
  struct TInsertion {
    std::size_t Offset = 0;
    std::string_view Text;
  };
  std::vector<TInsertion> Insertions;

  // Replaces the stream's content, the source, by its HTML fragment and returns the
  // number of source bytes. The scan stops at the source's first zero byte. Throws
  // ConversionError when memory for the output runs out (the stream then still holds
  // the source) and std::bad_alloc when the escape scratch cannot be had.
  std::uint64_t Convert();

  // Receives the fragment piece by piece; each piece but the last ends with a line end.
  using PieceSink = std::function<void(std::string_view)>;

  // Converts as Convert() does, but hands the fragment to `sink` in pieces of whole
  // lines instead of keeping it, so that memory stays near the source's size; the
  // stream is left empty. Throws as Convert() does, and whatever `sink` throws.
  std::uint64_t ConvertTo(const PieceSink& sink);

  // The frame of every fragment: it opens with kOpeningFrame; a fragment of a source
  // that is not empty closes with kClosingFrame, after the source's last line. Readers
  // of the fragment that frame the code their own way find the frame's lines here:
  // kOpeningFrameLines lines open it, and the line kClosingFrameLine starts its close
  // (no line of the source can read so: every "<" of the source is escaped).
  static constexpr std::string_view kOpeningFrame = "<pre>\r\n<code>\r\n";
  static constexpr std::string_view kClosingFrame = "\r\n</code>\r\n</pre>\r\n";
  static constexpr std::size_t kOpeningFrameLines = 2;
  static constexpr std::string_view kClosingFrameLine = "</code>";

  // About how much output ConvertTo gathers before it hands a piece on.
  static constexpr std::size_t kPieceSize = std::size_t{1} << 20;

private:
  struct TTokenStyle {
    std::string_view Prefix;
    std::string_view Suffix;
  };
  // The scan itself, with its cursor and the output's write position; see
  // Note [scan state in locals].
  class Scanner;

  // The scan shared by Convert and ConvertTo: leaves the fragment, or its last piece,
  // in Output.
  std::uint64_t Scan(std::size_t expectedOutput);
  // Cuts the source into tokens and writes them to Output.
  void ScanTokens();
  void HandPieceOn();
  void LoadStyleTables();
  // `text` with "<" and ">" escaped: `text` itself when it holds neither, else a view
  // into the escape buffer, valid until the next call.
  std::string_view EscapeToken(std::string_view text);
  void GrowEscapeBuffer(std::size_t needed);
  void PrepareOutput(std::size_t sourceSize);
  void AppendOutput(std::string_view text);
  void GrowOutput(std::size_t needed);
  void HandOverOutput();

  // The markup by kind, as views into padded copies of the style fields (writing a
  // token allocates nothing and copies the markup in fixed-size blocks).
  std::array<std::string, kTokenKindCount> PaddedPrefixes;
  std::array<std::string, kTokenKindCount> PaddedSuffixes;
  std::array<std::string_view, kTokenKindCount> Prefixes;
  std::array<std::string_view, kTokenKindCount> Suffixes;

  const PieceSink* Sink = nullptr; // set while ConvertTo runs
  ByteBlock Output;
  std::size_t OutputLength = 0; // while the scan runs, the scanner keeps it
  ByteBlock EscapeBuffer;
};

} // namespace lexiform
