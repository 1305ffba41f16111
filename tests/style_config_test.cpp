#include "document/style_config.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "files/path_parts.h"
#include "test_support.h"

namespace lexiform {
namespace {

// No user configuration directory: the file beside the program alone.
const std::string kNoConfigHome;

namespace fs = std::filesystem;
using Lines = std::vector<std::string>;

std::string WithCrLf(const std::string& text) {
  std::string result;
  for (const char c : text) {
    result += (c == '\n') ? std::string("\r\n") : std::string(1, c);
  }
  return result;
}

// A copy of the default configuration file typed out on its own, line for line.
const std::string kExpectedIni = WithCrLf(R"(; Ini file for Lexiform.exe
; WWW: http://lexiform.example.org/

[Header]
0=<!DOCTYPE HTML PUBLIC "-//W3C//DTD HTML 4.0 Transitional//EN">
1=<html>
2=<head>
3=<meta http-equiv="Content-Type" content="text/html; charset=windows-1250">
4=<meta name="language" content="pl">
5=<meta name="generator" content="Lexiform.exe">
6=<meta name="author" content="varnik08">
7=<title>Created with Lexiform</title>
8=<style>
9="  body {font-family:verdana;font-size:8pt;background-color:#e3dfc4}"
10="  code {font-family:'courier new';font-size:9pt;}"
11="  a:link {color:maroon;text-decoration:none;}"
12="  a:visited {color:navy;text-decoration:none;}"
13="  pre {margin-left:0.5cm;margin-right:0.5cm;}"
14="  blockquote {font-family:verdana;font-size:9pt;}"
15="  li {margin-top:2pt;}"
100=</style>
101=</head>
102=<!-- --------------- BODY START --------------- -->
103=<body>


[Footer]
0=<!-- --------------- BODY   END --------------- -->
1=</body>
2=</html>


[Assembler]
Prefix=<font color=teal>
Suffix=</font>

[Comment]
Prefix=<font color=navy><i>
Suffix=</font></i>

[Directive]
Prefix=<b>
Suffix=</b>

[Identifier]
Prefix=
Suffix=

[Keyword]
Prefix=<b>
Suffix=</b>

[Number]
Prefix=<font color=red>
Suffix=</font>

[Space]
Prefix=
Suffix=

[String]
Prefix=<font color=blue>
Suffix=</font>

[Symbol]
Prefix=<font color=maroon>
Suffix=</font>

[Unknown]
Prefix=
Suffix=

)");

const Lines kFileHeader = {
    R"(<!DOCTYPE HTML PUBLIC "-//W3C//DTD HTML 4.0 Transitional//EN">)",
    "<html>",
    "<head>",
    R"(<meta http-equiv="Content-Type" content="text/html; charset=windows-1250">)",
    R"(<meta name="language" content="pl">)",
    R"(<meta name="generator" content="Lexiform.exe">)",
    R"(<meta name="author" content="varnik08">)",
    "<title>Created with Lexiform</title>",
    "<style>",
    "  body {font-family:verdana;font-size:8pt;background-color:#e3dfc4}",
    "  code {font-family:'courier new';font-size:9pt;}",
    "  a:link {color:maroon;text-decoration:none;}",
    "  a:visited {color:navy;text-decoration:none;}",
    "  pre {margin-left:0.5cm;margin-right:0.5cm;}",
    "  blockquote {font-family:verdana;font-size:9pt;}",
    "  li {margin-top:2pt;}",
    "</style>",
    "</head>",
    "<!-- --------------- BODY START --------------- -->",
    "<body>",
};

const std::string kBuiltInFooter =
    "\r\n<!-- --------------- BODY   END --------------- -->\r\n</body>\r\n</html>";

std::string JoinCrLf(const Lines& lines) {
  std::string text;
  for (const std::string& line : lines) {
    text += line + "\r\n";
  }
  return text;
}

// The built-in header for these (already escaped) names.
std::string BuiltInHeader(const std::string& program, const std::string& author,
                          const std::string& output) {
  return JoinCrLf({
      R"(<!DOCTYPE HTML PUBLIC "-//W3C//DTD HTML 4.0 Transitional//EN">)",
      "",
      "<html>",
      "<head>",
      R"(<meta http-equiv="Content-Type" content="text/html; charset=windows-1250">)",
      R"(<meta name="language" content="pl">)",
      R"(<meta name="generator" content=")" + program + R"(">)",
      R"(<meta name="author" content=")" + author + R"(">)",
      "<title>" + output + " - created by " + program + "</title>",
      "<style>",
      "  body {font-family:verdana;font-size:8pt;background-color:#e3dfc4}",
      "</style>",
      "</head>",
      "",
      "<!-- --------------- BODY START --------------- -->",
      "",
      "<body>",
  });
}

// Account names hold none of the four escaped characters in practice; escaped anyway.
std::string EscapedUserName() {
  std::string escaped;
  for (const char c : GetCurrentUserName()) {
    switch (c) {
    case '&':
      escaped += "&amp;";
      break;
    case '<':
      escaped += "&lt;";
      break;
    case '>':
      escaped += "&gt;";
      break;
    case '"':
      escaped += "&quot;";
      break;
    default:
      escaped += c;
    }
  }
  return escaped;
}

TEST(DefaultIniTextTest, ExactBytes) {
  EXPECT_EQ(std::string(DefaultIniText()), kExpectedIni);
  EXPECT_EQ(test::SplitCrLfLines(kExpectedIni).size(), 72u);
  EXPECT_EQ(std::string(DefaultIniText()).find("; WWW: " + std::string(kHomePage) + "\r\n"), 29u);
}

TEST(StyleConfigTest, FirstRunWritesTheDefaultFileAndUsesIt) {
  test::ScratchDir dir;
  const TStyleConfig config = LoadStyleConfig("out.html", dir / "tool.bin", kNoConfigHome);
  EXPECT_EQ(config.IniFileName, dir / "tool.ini");
  EXPECT_EQ(test::ReadBytes(dir / "tool.ini"), kExpectedIni);
  EXPECT_EQ(config.HeaderText, JoinCrLf(kFileHeader));
  EXPECT_EQ(config.FooterText, JoinCrLf({"<!-- --------------- BODY   END --------------- -->",
                                         "</body>", "</html>"}));
  EXPECT_EQ(config.StyleOf(TTokenKind::Comment).Prefix, "<font color=navy><i>");
  EXPECT_EQ(config.StyleOf(TTokenKind::Comment).Suffix, "</font></i>");
  EXPECT_EQ(config.StyleOf(TTokenKind::Number).Prefix, "<font color=red>");
  EXPECT_EQ(config.StyleOf(TTokenKind::Identifier).Prefix, "");
  EXPECT_EQ(config.LineNumber.Prefix, "<font color=gray>");
  EXPECT_EQ(config.LineNumber.Suffix, "</font> ");
  EXPECT_EQ(config.Html5StyleSheet, "");
  EXPECT_FALSE(config.Options.Html5 || config.Options.Lines || config.Options.CodePage);

  // A program without an extension gets ".ini" appended; a second run reads the file.
  const TStyleConfig again = LoadStyleConfig("out.html", dir / "lexiform", kNoConfigHome);
  EXPECT_EQ(again.IniFileName, dir / "lexiform.ini");
  EXPECT_EQ(again.HeaderText, config.HeaderText);
}

// A run whose configuration file cannot be written beside `program`.
void ExpectBuiltInValuesWhenUnwritable(const std::string& program) {
  TStyleConfig config;
  ASSERT_NO_THROW(config = LoadStyleConfig("docs/<x>\".html", program, kNoConfigHome));
  EXPECT_FALSE(test::Exists(ReplaceExtension(program, ".ini")));
  EXPECT_EQ(config.HeaderText,
            BuiltInHeader("my&amp;tool.exe", EscapedUserName(), "docs/&lt;x&gt;&quot;.html"));
  EXPECT_EQ(config.FooterText, kBuiltInFooter);
  EXPECT_EQ(config.StyleOf(TTokenKind::Comment).Prefix, "<i><font color=navy>");
  EXPECT_EQ(config.StyleOf(TTokenKind::Comment).Suffix, "</i></font>");
}

TEST(StyleConfigTest, UnwritableFolderGivesTheBuiltInValues_PosixOnly) {
  LEXIFORM_SKIP_ON_OTHER_PLATFORM();
  test::ScratchDir dir;
  fs::create_directory(dir / "locked");
  fs::permissions(dir / "locked", fs::perms(0555));
  std::error_code error;
  if (fs::create_directory(dir / "locked/probe", error) || !error) {
    GTEST_SKIP() << "running with rights that ignore folder permissions";
  }
  ExpectBuiltInValuesWhenUnwritable(dir / "locked/my&tool.exe");
}

TEST(StyleConfigTest, MissingFolderGivesTheBuiltInValues) {
  test::ScratchDir dir;
  ExpectBuiltInValuesWhenUnwritable(dir / "gone/my&tool.exe");
}

TEST(StyleConfigTest, BuiltInHeaderEscapesNamesButNotMarkup) {
  test::ScratchDir dir;
  // A file without [Header] and [Footer]: the built-in texts stay.
  test::WriteBytes(dir / "a&b.ini", "[Keyword]\r\nPrefix=<u>&nbsp;\r\n");
  const TStyleConfig config = LoadStyleConfig("x<y>\"&z.html", dir / "a&b.exe", kNoConfigHome);
  EXPECT_EQ(config.HeaderText,
            BuiltInHeader("a&amp;b.exe", EscapedUserName(), "x&lt;y&gt;&quot;&amp;z.html"));
  EXPECT_EQ(config.FooterText, kBuiltInFooter);
  EXPECT_EQ(config.StyleOf(TTokenKind::Keyword).Prefix, "<u>&nbsp;");
  EXPECT_EQ(config.StyleOf(TTokenKind::Keyword).Suffix, "");
}

TEST(StyleConfigTest, FileSectionsReplaceBuiltInValuesOnlyWhereTheyHaveKeys) {
  test::ScratchDir dir;
  const std::string ini = "[header]\r\n5=five\r\n1=\r\n3=  three\r\n[FOOTER]\r\n"
                          "[Number]\r\nColour=red\r\n[comment]\r\nsuffix=</em>\r\n"
                          "[lineNumber]\r\nprefix=<small>\r\n"
                          "[html5style]\r\n1=pre {}\r\n2=\"  .k {}\"\r\n"
                          "[options]\r\nhtml5=00\r\nLines=yes\r\nCodePage=Windows-1250\r\n";
  test::WriteBytes(dir / "p.ini", ini);
  const TStyleConfig config = LoadStyleConfig("out.html", dir / "p", kNoConfigHome);
  EXPECT_EQ(config.HeaderText, "five\r\n\r\nthree\r\n");
  EXPECT_EQ(config.FooterText, kBuiltInFooter);
  EXPECT_EQ(config.StyleOf(TTokenKind::Number).Prefix, "");
  EXPECT_EQ(config.StyleOf(TTokenKind::Number).Suffix, "");
  EXPECT_EQ(config.StyleOf(TTokenKind::Comment).Prefix, "");
  EXPECT_EQ(config.StyleOf(TTokenKind::Comment).Suffix, "</em>");
  EXPECT_EQ(config.StyleOf(TTokenKind::String).Prefix, "<font color=blue>");
  EXPECT_EQ(config.StyleOf(TTokenKind::LineBreak).Prefix, "");
  EXPECT_EQ(config.LineNumber.Prefix, "<small>");
  EXPECT_EQ(config.LineNumber.Suffix, "");
  EXPECT_EQ(config.Html5StyleSheet, "pre {}\r\n  .k {}\r\n");
  // Only a number turns a switch on or off; the code page is taken as written.
  EXPECT_EQ(config.Options.Html5, std::optional<bool>(false));
  EXPECT_EQ(config.Options.Lines, std::nullopt);
  EXPECT_EQ(config.Options.CodePage, std::optional<std::string>("Windows-1250"));
  // The file is read, never written.
  EXPECT_EQ(test::ReadBytes(dir / "p.ini"), ini);
}

TEST(StyleConfigTest, UnreadableConfigurationGivesBuiltInValues) {
  test::ScratchDir dir;
  fs::create_directory(dir / "p.ini"); // exists, but cannot be read as a file
  TStyleConfig config;
  ASSERT_NO_THROW(config = LoadStyleConfig("out.html", dir / "p.exe", kNoConfigHome));
  EXPECT_EQ(config.FooterText, kBuiltInFooter);
  EXPECT_EQ(config.StyleOf(TTokenKind::Symbol).Prefix, "<font color=maroon>");
}

TEST(StyleConfigTest, UnknownProgramPathWritesNothing) {
  test::ScratchDir dir;
  const std::string saved = fs::current_path().string();
  fs::current_path(dir.Path());
  const TStyleConfig config = LoadStyleConfig("out.html", "", kNoConfigHome);
  fs::current_path(saved);
  EXPECT_TRUE(fs::is_empty(dir.Path()));
  EXPECT_EQ(config.FooterText, kBuiltInFooter);
}

TEST(StyleConfigTest, UserNameIsShort) {
  const std::string name = GetCurrentUserName();
  EXPECT_LE(name.size(), 256u);
  EXPECT_EQ(name.find('\0'), std::string::npos);
}

} // namespace
} // namespace lexiform
