#include "document/document_writer.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

#include "convert/entity_fixup.h"
#include "convert/token_kind.h"
#include "document/style_config.h"
#include "document/unfinished_document.h"
#include "files/file_size.h"
#include "platform/platform.h"
#include "test_support.h"

namespace lexiform {
namespace {

// No user configuration directory: the file beside the program alone.
const std::string kNoConfigHome;

namespace fs = std::filesystem;
using Lines = std::vector<std::string>;

const std::string kHeader = "<html>\r\n<body>\r\n";
const std::string kFooter = "</body>\r\n</html>";
const std::string kSizeStart = R"(<font size="-2">&nbsp;&nbsp; &mdash; &nbsp;&nbsp;<b>)";

std::string Heading(const std::string& n, const std::string& directory, const std::string& name) {
  return R"(<font face="arial" size="-1">File )" + n + ": " + directory +
         R"(<b><font face="arial" color="#e3060c">)" + name + "</b></font></font><br>";
}

std::string SizeLine(const std::string& size) {
  return R"(<font face="arial" size="-1">File size: )" + size + "</font>";
}

Lines DocumentLines(const StringSink& document) {
  const std::string& bytes = document.Text();
  EXPECT_EQ(bytes.substr(bytes.size() - 2), "\r\n");
  return test::SplitCrLfLines(bytes);
}

// A section body that is already the fixed text.
// The size texts of an index, as a run finds them.
std::vector<std::string> Sizes(const std::vector<std::string>& files) {
  std::vector<std::string> sizes;
  for (const std::string& file : files) {
    sizes.push_back(FileSizeText(file));
  }
  return sizes;
}

std::function<void(TextSink&)> Body(const std::string& text) {
  return [text](TextSink& sink) { sink.Write(text); };
}

TEST(DocumentWriterTest, SingleFileHasNoIndexAndNoAnchor) {
  test::ScratchDir dir;
  const std::string source = dir / "Main.dpr";
  test::WriteBytes(source, "program Main;");
  StringSink out;
  WriteDocumentStart(out, kHeader, {source}, Sizes({source}));
  AppendFileSection(out, 1, source, " 13 bytes", false,
                    Body("<pre>\r\n<code>\r\nx := 1;\r\n</code>\r\n</pre>\r\n"));
  WriteDocumentEnd(out, kFooter);
  EXPECT_EQ(DocumentLines(out),
            (Lines{"<html>", "<body>", "", "<hr>",
                   Heading("1", dir.Path() + platform::PathSeparator(), "Main.dpr"),
                   SizeLine(" 13 bytes"), "<pre>", "<code>", "x := 1;", "</code>", "</pre>",
                   "</body>", "</html>"}));
}

TEST(DocumentWriterTest, SeveralFilesGetIndexAndAnchorsAndKeepTheirNumbers) {
  test::ScratchDir dir;
  fs::create_directory(dir / "src");
  test::WriteBytes(dir / "src/a.pas", std::string(1152, 'a'));
  test::WriteBytes(dir / "empty.pas", "");
  StringSink out;
  // Entry 2 is missing: it keeps its index item and number but gets no section.
  const std::vector<std::string> files = {dir / "src/a.pas", "missing.pas", dir / "empty.pas"};
  WriteDocumentStart(out, kHeader, files, Sizes(files));
  AppendFileSection(out, 1, files[0], FileSizeText(files[0]), true, Body("line\r\n"));
  AppendFileSection(out, 3, files[2], FileSizeText(files[2]), true, Body(""));
  WriteDocumentEnd(out, kFooter);

  // The names as given: ScratchDir joins with the platform separator, "src/a.pas" keeps its "/".
  const std::string srcDir = dir.Path() + platform::PathSeparator() + "src/";
  const std::string topDir = dir.Path() + platform::PathSeparator();
  EXPECT_EQ(
      DocumentLines(out),
      (Lines{"<html>",
             "<body>",
             "",
             "<blockquote>",
             "<p><b>Processed files:</b></p>",
             "<ol>",
             "<li>" + srcDir + "<a href=#File_1>a.pas</a>" + kSizeStart + "1.13 KB</b></font></li>",
             "<li><a href=#File_2>missing.pas</a>" + kSizeStart + " 0 bytes</b></font></li>",
             "<li>" + topDir + "<a href=#File_3>empty.pas</a>" + kSizeStart +
                 " 0 bytes</b></font></li>",
             "</ol></blockquote>",
             "",
             "<hr>",
             R"(<a name="File_1"></a>)",
             Heading("1", srcDir, "a.pas"),
             SizeLine("1.13 KB"),
             "line",
             "<hr>",
             R"(<a name="File_3"></a>)",
             Heading("3", topDir, "empty.pas"),
             SizeLine(" 0 bytes"),
             "</body>",
             "</html>"}));
}

TEST(DocumentWriterTest, EmptyFileListGivesHeaderAndFooter) {
  StringSink out;
  WriteDocumentStart(out, kHeader, {}, {});
  WriteDocumentEnd(out, kFooter);
  EXPECT_EQ(out.Text(), kHeader + "\r\n" + kFooter + "\r\n");
}

TEST(DocumentWriterTest, FileNamesAreEscapedMarkupIsNot) {
  StringSink out;
  const std::vector<std::string> files = {"a&b\"/<i>.pas", "x>y.pas"};
  WriteDocumentStart(out, "<h1>&nbsp;</h1>\r\n", files, Sizes(files));
  AppendFileSection(out, 1, files[0], " 0 bytes", true, Body("<b>&amp;</b>\r\n"));
  const Lines lines = DocumentLines(out);
  ASSERT_EQ(lines.size(), 14u);
  EXPECT_EQ(lines[0], "<h1>&nbsp;</h1>");
  EXPECT_EQ(lines[5], "<li>a&amp;b&quot;/<a href=#File_1>&lt;i&gt;.pas</a>" + kSizeStart +
                          " 0 bytes</b></font></li>");
  EXPECT_EQ(lines[6],
            "<li><a href=#File_2>x&gt;y.pas</a>" + kSizeStart + " 0 bytes</b></font></li>");
  EXPECT_EQ(lines[11], Heading("1", "a&amp;b&quot;/", "&lt;i&gt;.pas"));
  EXPECT_EQ(lines[13], "<b>&amp;</b>");
}

// A converter-like fragment goes the driver's way: configuration, document start,
// fix-up into the section, footer, and the finished document in the output's place.
TEST(DocumentWriterTest, ConvertedFragmentBecomesACompleteDocument) {
  test::ScratchDir dir;
  const std::string m(1, EntityMarker);
  const std::string source = dir / "unit1.pas";
  test::WriteBytes(source, "{ a<b & c }\r'&lt;'\r\n");
  const std::string out = dir / "unit1.html";
  const TStyleConfig config = LoadStyleConfig(out, dir / "lexiform", kNoConfigHome);
  const std::string fragment = "<pre>\r\n<code><font color=navy><i>{ a&lt;" + m +
                               "b &amp; c }</font></i>\r<font color=blue>'&lt;'</font>\n"
                               "</code>\r\n</pre>\r\n";
  {
    UnfinishedDocument document(out);
    WriteDocumentStart(document, config.HeaderText, {source}, Sizes({source}));
    AppendFileSection(document, 1, source, FileSizeText(source), false,
                      [&fragment](TextSink& body) { FixEntities(fragment, body); });
    WriteDocumentEnd(document, config.FooterText);
    document.Commit();
  }
  StringSink written;
  written.Write(test::ReadBytes(out));
  const Lines lines = DocumentLines(written);
  ASSERT_EQ(lines.size(), 33u);
  EXPECT_EQ(lines[0], R"(<!DOCTYPE HTML PUBLIC "-//W3C//DTD HTML 4.0 Transitional//EN">)");
  EXPECT_EQ(lines[19], "<body>");
  EXPECT_EQ(lines[20], "");
  EXPECT_EQ(
      Lines(lines.begin() + 21, lines.end()),
      (Lines{"<hr>", Heading("1", dir.Path() + platform::PathSeparator(), "unit1.pas"),
             SizeLine("20 bytes"), "<pre>",
             "<code><font color=navy><i>{ a&lt;b &amp;amp; c }</font></i>",
             "<font color=blue>'&amp;lt;'</font>", "</code>", "</pre>",
             "<!-- --------------- BODY   END --------------- -->", "</body>", "</html>", ""}));
}

} // namespace
} // namespace lexiform
