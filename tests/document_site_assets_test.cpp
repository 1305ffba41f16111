// The shared files of a code site: the file list that the search box reads must hand
// any path over as the same characters and never turn into markup or a broken script.

#include "document/site_assets.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "convert/utf8_text.h"

namespace lexiform {
namespace {

std::string Asset(std::string_view name) {
  for (const SiteAsset& asset : SiteStaticAssets()) {
    if (asset.name == name) {
      return std::string(asset.text);
    }
  }
  return {};
}

TEST(SiteAssetsTest, SearchDataEscapesEveryPathIntoOneJsonStringPerField) {
  const std::vector<SiteSearchEntry> files = {
      {"a%22b.pas.html", "a\"b\\c.pas"},
      {"x.html", "</script><!--x-->.pas"},
      {"c.html", std::string("t\x01\t\n\r\x1F\x7F", 7) + "end"},
      {"n%C3%A3o.html", "n\xC3\xA3o/\xF0\x9F\x98\x80.pas"},
      {"bad.html", "lone\xE3.pas\xC0\xAF|\xE2\x80\xA8|\xE2\x80\xA9"},
  };
  EXPECT_EQ(SiteSearchData(files), "window.lexiformSiteFiles = [\n"
                                   R"(["a%22b.pas.html","a\"b\\c.pas"],)"
                                   "\n"
                                   R"(["x.html","\u003c/script\u003e\u003c!--x--\u003e.pas"],)"
                                   "\n"
                                   R"(["c.html","t\u0001\u0009\u000a\u000d\u001f\u007fend"],)"
                                   "\n"
                                   "[\"n%C3%A3o.html\",\"n\xC3\xA3o/\xF0\x9F\x98\x80.pas\"],\n"
                                   R"(["bad.html","lone\ufffd.pas\ufffd\ufffd|\u2028|\u2029"])"
                                   "\n];\n");
}

// Whatever byte a path holds, the data stays well-formed UTF-8 with no control byte
// but its line ends, no "<" that could end a script, and a string that ends where the
// entry does.
TEST(SiteAssetsTest, SearchDataOfAnyByteIsSafeInsideAScript) {
  std::vector<SiteSearchEntry> files;
  for (int byte = 0; byte < 256; ++byte) {
    files.push_back({"p.html", "x" + std::string(1, static_cast<char>(byte)) + "y"});
  }
  const std::string data = SiteSearchData(files);
  EXPECT_TRUE(IsValidUtf8(data));
  EXPECT_EQ(data.find('<'), std::string::npos);
  std::size_t lines = 0;
  for (const char c : data) {
    const auto byte = static_cast<unsigned char>(c);
    EXPECT_TRUE(byte >= 0x20 || c == '\n') << static_cast<int>(byte);
    lines += c == '\n' ? 1 : 0;
  }
  EXPECT_EQ(lines, files.size() + 2);
  EXPECT_EQ(SiteSearchData({}), "window.lexiformSiteFiles = [\n];\n");
}

TEST(SiteAssetsTest, ScriptReadsTheListThatSearchDataWritesAndFetchesNothing) {
  const std::string script = Asset("site.js");
  ASSERT_FALSE(Asset("site.css").empty());
  ASSERT_FALSE(script.empty());
  EXPECT_NE(script.find("window.lexiformSiteFiles"), std::string::npos);
  EXPECT_NE(script.find("\"files.js\""), std::string::npos);
  // Pages opened from disk may not read other files through these.
  EXPECT_EQ(script.find("fetch("), std::string::npos);
  EXPECT_EQ(script.find("XMLHttpRequest"), std::string::npos);
}

} // namespace
} // namespace lexiform
