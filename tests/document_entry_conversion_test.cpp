// An entry's body in every format, over any bytes: the HTML5 body is well-formed and
// holds the source's text (see html5_body_check.h, shared with the html5_body fuzz
// target), and numbering a classic body only adds the numbers.

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <string_view>

#include "convert/text_sink.h"
#include "document/entry_conversion.h"
#include "document/html5_document.h"
#include "html5_body_check.h"

namespace lexiform {
namespace {

std::string Body(std::string_view source, const TEntryFormat& format) {
  StringSink body;
  ConvertEntryText(source, 1, format, body);
  return body.Take();
}

TEntryFormat Html5Body(bool numbered, CodePage page = kDefaultCodePage) {
  return Html5Format(numbered ? LineNumbering::Yes : LineNumbering::No, page, {"f-a-0123abcd"});
}

void ExpectWellFormedHtml5(std::string_view source, CodePage page = kDefaultCodePage) {
  for (const bool numbered : {false, true}) {
    const std::string body = Body(source, Html5Body(numbered, page));
    EXPECT_EQ(check::Html5BodyFault(source, page, body, numbered, "f-a-0123abcd"), "")
        << "numbered: " << numbered << ", source of " << source.size()
        << " bytes: " << source.substr(0, 200) << "\nbody: " << body.substr(0, 400);
  }
}

// The classic body with every "<a name="File_1_L7"></a>[7]" taken out.
std::string WithoutNumbers(std::string body) {
  const std::string anchor = "<a name=\"File_1_L";
  for (std::size_t at; (at = body.find(anchor)) != std::string::npos;) {
    body.erase(at, body.find(']', at) + 1 - at);
  }
  return body;
}

void ExpectClassicNumbersOnly(std::string_view source) {
  TStyleConfig config;
  config.LineNumber = {"[", "]"};
  const TEntryFormat plain = ClassicFormat(config);
  const TEntryFormat numbered = ClassicFormat(config, LineNumbering::Yes);
  EXPECT_EQ(WithoutNumbers(Body(source, numbered)), Body(source, plain))
      << "source of " << source.size() << " bytes: " << source.substr(0, 200);
}

// Ctrl-Z cuts a line, or ends the text, only in the classic document.
TEST(EntryConversionTest, CtrlZInCommentsAndStrings) {
  for (const std::string_view source :
       {"{ a \x1A b }\r\n'x\x1Ay';\r\nend.\r\n", "(* \x1A\r\n *)\r\n\x1A x\r\n",
        "x := 1; // \x1A <b>\r\n\x1A", "\x1A"}) {
    ExpectWellFormedHtml5(source);
    ExpectClassicNumbersOnly(source);
  }
  EXPECT_NE(Body("{ \x1A }", Html5Body(false)).find("{ \xE2\x90\x9A }"), std::string::npos);
}

// Sources of pieces that open and close every kind of token, cut anywhere.
TEST(EntryConversionTest, AnyBytes) {
  const std::string_view pieces[] = {
      "{",    "}",    "(*",   "*)",   "'",    "//",   "<",        ">",    "&",    "&lt;",
      "\r",   "\n",   "\r\n", "\x1A", "\x01", "\x7F", "\xC3\xA9", "\xE9", "\x85", "\xEF\xBB\xBF",
      "asm ", " end", "end",  "x",    "12",   "$1F",  "#13",      " ",    "\t",   "property "};
  std::mt19937 random(15);
  std::uniform_int_distribution<std::size_t> piece(0, std::size(pieces) - 1);
  std::uniform_int_distribution<int> length(1, 60);
  for (std::size_t round = 0; round < 1500; ++round) {
    std::string source;
    for (int i = length(random); i > 0; --i) {
      source += pieces[piece(random)];
    }
    if (round % 50 == 0) {
      source += '\0';
      source += pieces[piece(random)];
    }
    ExpectWellFormedHtml5(source, static_cast<CodePage>(round % kCodePageCount));
    ExpectClassicNumbersOnly(source);
    if (HasFailure()) {
      return;
    }
  }
}

// A line longer than every buffer on the way reaches the writer in many pieces.
TEST(EntryConversionTest, LongLines) {
  std::string entities;
  std::string plain;
  while (entities.size() < (160u << 10)) {
    entities += "a := b < c; { & } ";
    plain += "a := b + c; { x } ";
  }
  for (const std::string& source :
       {entities, plain, "begin\r\n" + entities + "\r\n" + plain + "\r\nend.\r\n",
        entities + "\r\n"}) {
    ExpectWellFormedHtml5(source);
    ExpectClassicNumbersOnly(source);
  }
}

} // namespace
} // namespace lexiform
