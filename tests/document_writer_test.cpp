#include "document/document_writer.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "convert/token_kind.h"
#include "document/style_config.h"
#include "files/file_size.h"
#include "files/temp_files.h"
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

Lines DocumentLines(const std::string& path) {
  const std::string bytes = test::ReadBytes(path);
  EXPECT_EQ(bytes.substr(bytes.size() - 2), "\r\n");
  return test::SplitCrLfLines(bytes);
}

TEST(DocumentWriterTest, SingleFileHasNoIndexAndNoAnchor) {
  test::ScratchDir dir;
  test::WriteBytes(dir / "body", "<pre>\r\n<code>\nx := 1;\r</code>\r\n</pre>");
  const std::string source = dir / "Main.dpr";
  test::WriteBytes(source, "program Main;");
  const std::string out = dir / "out.html";
  WriteDocumentStart(out, kHeader, {source});
  AppendFileSection(out, 1, source, " 13 bytes", dir / "body", false);
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
  test::WriteBytes(dir / "body", "line\r\n");
  test::WriteBytes(dir / "nothing", "");
  const std::string out = dir / "out.html";
  // Entry 2 is missing: it keeps its index item and number but gets no section.
  const std::vector<std::string> files = {dir / "src/a.pas", "missing.pas", dir / "empty.pas"};
  WriteDocumentStart(out, kHeader, files);
  AppendFileSection(out, 1, files[0], FileSizeText(files[0]), dir / "body", true);
  AppendFileSection(out, 3, files[2], FileSizeText(files[2]), dir / "nothing", true);
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
  test::ScratchDir dir;
  test::WriteBytes(dir / "out.html", "old content that must go");
  WriteDocumentStart(dir / "out.html", kHeader, {});
  WriteDocumentEnd(dir / "out.html", kFooter);
  EXPECT_EQ(test::ReadBytes(dir / "out.html"), kHeader + "\r\n" + kFooter + "\r\n");
}

TEST(DocumentWriterTest, FileNamesAreEscapedMarkupIsNot) {
  test::ScratchDir dir;
  test::WriteBytes(dir / "body", "<b>&amp;</b>\r\n");
  const std::string out = dir / "out.html";
  const std::vector<std::string> files = {"a&b\"/<i>.pas", "x>y.pas"};
  WriteDocumentStart(out, "<h1>&nbsp;</h1>\r\n", files);
  AppendFileSection(out, 1, files[0], " 0 bytes", dir / "body", true);
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

TEST(DocumentWriterTest, FailuresAreErrors) {
  test::ScratchDir dir;
  test::WriteBytes(dir / "body", "text\r\n");
  EXPECT_THROW(WriteDocumentStart(dir / "no/dir/out.html", kHeader, {}), platform::FileError);
  EXPECT_THROW(AppendFileSection(dir / "absent.html", 1, "a", " 0 bytes", dir / "body", false),
               platform::FileError);
  EXPECT_THROW(WriteDocumentEnd(dir / "absent.html", kFooter), platform::FileError);

  // Without its converted text nothing of the section reaches the document.
  WriteDocumentStart(dir / "out.html", kHeader, {"a"});
  EXPECT_THROW(AppendFileSection(dir / "out.html", 1, "a", " 0 bytes", dir / "gone", false),
               platform::FileError);
  EXPECT_EQ(test::ReadBytes(dir / "out.html"), kHeader + "\r\n");

  if (test::Exists("/dev/full")) {
    EXPECT_THROW(AppendFileSection("/dev/full", 1, "a", " 0 bytes", dir / "body", false),
                 platform::FileError);
  }
}

// A converter-like fragment goes the driver's way: configuration, document start,
// temporary file, fix-up pass, section, footer.
TEST(DocumentWriterTest, ConvertedFragmentBecomesACompleteDocument) {
  test::ScratchDir dir;
  fs::create_directory(dir / "tmp");
  test::ScopedEnvironment tmp({"TMPDIR=" + (dir / "tmp")});
  const std::string m(1, EntityMarker);
  const std::string source = dir / "unit1.pas";
  test::WriteBytes(source, "{ a<b & c }\r'&lt;'\r\n");
  const std::string out = dir / "unit1.html";
  const TStyleConfig config = LoadStyleConfig(out, dir / "lexiform", kNoConfigHome);
  WriteDocumentStart(out, config.HeaderText, {source});
  {
    TempFile temp(kTempFilePrefix);
    test::WriteBytes(temp.Path(), "<pre>\r\n<code><font color=navy><i>{ a&lt;" + m +
                                      "b &amp; c }</font></i>\r<font color=blue>'&lt;'</font>\n"
                                      "</code>\r\n</pre>\r\n");
    FixEntities(temp.Path());
    AppendFileSection(out, 1, source, FileSizeText(source), temp.Path(), false);
  }
  WriteDocumentEnd(out, config.FooterText);

  EXPECT_TRUE(fs::is_empty(dir / "tmp")); // no temporary file stays behind
  const Lines lines = DocumentLines(out);
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
