#include "document/site_pages.h"

#include <algorithm>
#include <map>

#include "convert/utf8_text.h"
#include "document/html_escape.h"
#include "files/file_size.h"
#include "platform/platform.h"

namespace lexiform {

namespace {

// A name from the file system or the command line, as a page shows it.
std::string ShownText(std::string_view text) {
  return HtmlEscape(TextToUtf8(std::string(text)));
}

std::string SizeText(std::uint64_t size) {
  std::string text = FormatFileSize(size);
  const std::size_t first = text.find_first_not_of(' ');
  return first == std::string::npos ? text : text.substr(first);
}

std::string Counted(std::size_t count, std::string_view one, std::string_view many) {
  return std::to_string(count) + " " + std::string(count == 1 ? one : many);
}

std::string LastPart(std::string_view path) {
  const std::size_t slash = path.rfind('/');
  return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

// From the doctype to the search box, for a page `up` below the top.
std::string PageHead(std::string_view title, std::string_view up, std::string_view sharedFolder) {
  const std::string shared = std::string(up) + std::string(sharedFolder) + "/";
  std::string text =
      "<!DOCTYPE html>\r\n<html lang=\"en\">\r\n<head>\r\n<meta charset=\"utf-8\">\r\n"
      "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\r\n"
      "<meta name=\"generator\" content=\"Lexiform\">\r\n";
  text += "<title>" + std::string(title) + "</title>\r\n";
  text += "<link rel=\"stylesheet\" href=\"" + shared + "site.css\">\r\n";
  text += "<script src=\"" + shared + "site.js\" defer></script>\r\n";
  text += "</head>\r\n<body data-root=\"" + std::string(up) + "\" data-shared=\"" + shared +
          "\">\r\n<header>\r\n";
  text += "<form class=\"search\" role=\"search\"><input type=\"search\" class=\"search-box\" "
          "placeholder=\"Go to file or declaration\" aria-label=\"Go to file or declaration\" "
          "autocomplete=\"off\" "
          "spellcheck=\"false\"><ul class=\"search-results\"></ul></form>\r\n";
  return text;
}

std::string PageFoot() {
  return "</main>\r\n</body>\r\n</html>\r\n";
}

// A folder of the index's tree: its subfolders by name, its pages.
struct Folder {
  std::map<std::string, Folder> folders;
  std::vector<std::size_t> pages;
  std::size_t fileCount = 0; // pages in it and below
};

bool ByNameNoCase(const std::string& a, const std::string& b) {
  return platform::CompareNoCase(a, b) < 0;
}

void WriteFolder(std::string& text, const Folder& folder, const std::string& folderPath,
                 const SitePlan& plan, const std::vector<SiteFileFacts>& facts) {
  std::vector<std::string> names;
  for (const auto& entry : folder.folders) {
    names.push_back(entry.first);
  }
  std::stable_sort(names.begin(), names.end(), ByNameNoCase);
  for (const std::string& name : names) {
    const Folder& sub = folder.folders.at(name);
    const std::string path = folderPath.empty() ? name : folderPath + "/" + name;
    text += "<li><details class=\"folder\" id=\"" + FolderId(path) + "\" open><summary>" +
            ShownText(name) + " <span class=\"count\">" + Counted(sub.fileCount, "file", "files") +
            "</span></summary>\r\n<ul>\r\n";
    WriteFolder(text, sub, path, plan, facts);
    text += "</ul>\r\n</details></li>\r\n";
  }
  std::vector<std::size_t> pages = folder.pages;
  std::stable_sort(pages.begin(), pages.end(), [&plan](std::size_t a, std::size_t b) {
    return platform::CompareNoCase(LastPart(plan.pages[a].path), LastPart(plan.pages[b].path)) < 0;
  });
  for (const std::size_t page : pages) {
    text += "<li class=\"file\"><a href=\"" + UrlPath(plan.pages[page].file) + "\">" +
            ShownText(LastPart(plan.pages[page].path)) + "</a> <span class=\"size\">" +
            SizeText(facts[page].size) + "</span> <span class=\"lines\">" +
            Counted(facts[page].lines, "line", "lines") + "</span></li>\r\n";
  }
}

std::string AbsentList(const std::vector<SiteAbsentEntry>& absent) {
  if (absent.empty()) {
    return {};
  }
  std::string text = "<section class=\"absent\">\r\n<h2>Not in the site</h2>\r\n<ul>\r\n";
  for (const SiteAbsentEntry& entry : absent) {
    const bool missing = entry.problem == SiteProblem::Missing;
    text += std::string("<li class=\"") + (missing ? "missing" : "unreadable") + "\">" +
            ShownText(entry.path) + " <span class=\"state\">" +
            (missing ? "(missing)" : "(could not be read)") + "</span></li>\r\n";
  }
  text += "</ul>\r\n</section>\r\n";
  return text;
}

std::string Totals(const std::vector<SiteFileFacts>& facts,
                   const std::vector<SiteAbsentEntry>& absent) {
  std::uint64_t size = 0;
  std::size_t lines = 0;
  for (const SiteFileFacts& file : facts) {
    size += file.size;
    lines += file.lines;
  }
  std::string text = "<p class=\"totals\">" + Counted(facts.size(), "file", "files") + ", " +
                     Counted(lines, "line", "lines") + ", " + SizeText(size);
  const auto missing = static_cast<std::size_t>(
      std::count_if(absent.begin(), absent.end(), [](const SiteAbsentEntry& entry) {
        return entry.problem == SiteProblem::Missing;
      }));
  if (missing > 0) {
    text += "; " + std::to_string(missing) + " missing";
  }
  if (absent.size() > missing) {
    text += "; " + std::to_string(absent.size() - missing) + " could not be read";
  }
  return text + "</p>\r\n";
}

} // namespace

std::string SitePageStart(const SitePage& page, std::string_view sharedFolder,
                          std::string_view topName, const SiteFileFacts& facts,
                          std::size_t number) {
  const std::string up = WayUp(page.file);
  const std::string index = up + std::string(kSiteIndexFile);
  std::string text = PageHead(ShownText(page.path), up, sharedFolder);
  text += "<nav class=\"crumbs\"><a href=\"" + index + "\">" + ShownText(topName) + "</a>";
  std::string folderPath;
  for (const std::string& folder : FoldersOf(page.path)) {
    folderPath += (folderPath.empty() ? "" : "/") + folder;
    text +=
        " / <a href=\"" + index + "#" + FolderId(folderPath) + "\">" + ShownText(folder) + "</a>";
  }
  text += " / <span class=\"name\">" + ShownText(LastPart(page.path)) +
          "</span></nav>\r\n</header>\r\n<main data-page=\"" + std::to_string(number) + "\">\r\n";
  text += "<h1>" + ShownText(LastPart(page.path)) + " <span class=\"size\">" +
          SizeText(facts.size) + ", " + Counted(facts.lines, "line", "lines") + "</span></h1>\r\n";
  if (facts.size == 0) {
    text += "<p class=\"empty\">The file is empty.</p>\r\n";
  }
  return text;
}

std::string SiteLinkStart(std::string_view url, const std::vector<std::string>& others) {
  if (others.empty()) {
    return "<a class=\"xref\" href=\"" + std::string(url) + "\">";
  }
  std::string title = "One of several files; the others: ";
  for (std::size_t i = 0; i < others.size(); ++i) {
    title += (i == 0 ? "" : ", ") + TextToUtf8(others[i]);
  }
  // The fix-up escapes every "&" and no entity survives it: "<" and ">" may stand in an
  // attribute as they are, and a quote is kept out by quoting with the other one.
  char quote = '"';
  if (title.find('"') != std::string::npos) {
    quote = '\'';
    for (std::size_t at; (at = title.find('\'')) != std::string::npos;) {
      title.replace(at, 1, "\xE2\x80\x99"); // U+2019
    }
  }
  return "<a class=\"xref choice\" href=\"" + std::string(url) + "\" title=" + quote + title +
         quote + ">";
}

std::string SitePageEnd(const SitePage& page, const std::vector<const SitePage*>& users) {
  std::string text;
  if (!users.empty()) {
    text += "<section class=\"used-by\">\r\n<h2>Used by</h2>\r\n<ul>\r\n";
    for (const SitePage* user : users) {
      text += "<li><a href=\"" + RelativeUrl(page.file, user->file) + "\">" +
              ShownText(user->path) + "</a></li>\r\n";
    }
    text += "</ul>\r\n</section>\r\n";
  }
  return text + PageFoot();
}

std::string SiteIndex(const SitePlan& plan, const std::vector<SiteFileFacts>& facts,
                      const std::vector<SiteAbsentEntry>& absent) {
  Folder top;
  for (std::size_t page = 0; page < plan.pages.size(); ++page) {
    Folder* folder = &top;
    ++top.fileCount;
    for (const std::string& name : FoldersOf(plan.pages[page].path)) {
      folder = &folder->folders[name];
      ++folder->fileCount;
    }
    folder->pages.push_back(page);
  }
  const std::string title = ShownText(plan.topName);
  std::string text = PageHead(title, "", plan.sharedFolder);
  text += "<nav class=\"crumbs\"><span class=\"name\">" + title +
          "</span></nav>\r\n</header>\r\n<main>\r\n<h1>" + title + "</h1>\r\n";
  text += "<nav class=\"tree\" aria-label=\"Files\">\r\n<ul>\r\n";
  WriteFolder(text, top, "", plan, facts);
  text += "</ul>\r\n</nav>\r\n";
  text += AbsentList(absent);
  text += Totals(facts, absent);
  text += PageFoot();
  return text;
}

} // namespace lexiform
