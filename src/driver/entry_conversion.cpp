#include "driver/entry_conversion.h"

#include <limits>
#include <utility>

#include "convert/entity_fixup.h"
#include "convert/pas_conversion.h"
#include "files/file_size.h"
#include "files/source_file.h"

namespace lexiform {

namespace {

void ApplyStyles(TPasConversion& converter, const TStyleConfig& config) {
  auto set = [&config](TTokenKind kind, std::string& prefix, std::string& suffix) {
    prefix = config.StyleOf(kind).Prefix;
    suffix = config.StyleOf(kind).Suffix;
  };
  set(TTokenKind::Keyword, converter.KeywordPrefix, converter.KeywordSuffix);
  set(TTokenKind::Comment, converter.CommentPrefix, converter.CommentSuffix);
  set(TTokenKind::Directive, converter.DirectivePrefix, converter.DirectiveSuffix);
  set(TTokenKind::Identifier, converter.IdentifierPrefix, converter.IdentifierSuffix);
  set(TTokenKind::Number, converter.NumberPrefix, converter.NumberSuffix);
  set(TTokenKind::String, converter.StringPrefix, converter.StringSuffix);
  set(TTokenKind::Symbol, converter.SymbolPrefix, converter.SymbolSuffix);
  set(TTokenKind::Space, converter.SpacePrefix, converter.SpaceSuffix);
  set(TTokenKind::Unknown, converter.UnknownPrefix, converter.UnknownSuffix);
  set(TTokenKind::Assembler, converter.AssemblerPrefix, converter.AssemblerSuffix);
}

// Reads the source into the converter: no more than its length when opened.
void LoadSource(TPasConversion& converter, const std::string& path) {
  SourceFile source(path);
  if (source.Size() > std::numeric_limits<std::size_t>::max() - 2 * TMemoryStream::kTailRoom) {
    throw platform::FileError("File too large to load: " + path);
  }
  const auto size = static_cast<std::size_t>(source.Size());
  ByteBlock block(size + TMemoryStream::kTailRoom);
  const std::size_t got = source.ReadInto(block.Data(), size);
  converter.Adopt(std::move(block), got);
}

// The loaded source's fragment, fixed, into `body` piece by piece.
void ConvertLoaded(TPasConversion& converter, TextSink& body) {
  FixedTextWriter fixedText(body);
  converter.ConvertTo([&fixedText](std::string_view piece) { fixedText.Write(piece); });
  fixedText.Finish();
}

} // namespace

void ConvertEntry(const std::string& path, const TStyleConfig& config, TextSink& body) {
  if (GetFileSizeBytes(path) == 0) {
    return; // an empty file: a section without body lines, and no converter
  }
  TPasConversion converter;
  ApplyStyles(converter, config);
  LoadSource(converter, path);
  ConvertLoaded(converter, body);
}

void ConvertEntryText(std::string_view source, const TStyleConfig& config, TextSink& body) {
  if (source.empty()) {
    return;
  }
  TPasConversion converter;
  ApplyStyles(converter, config);
  converter.LoadFromBytes(source);
  ConvertLoaded(converter, body);
}

} // namespace lexiform
