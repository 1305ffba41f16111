#include "document/site_assets.h"

#include <cstddef>

#include "convert/utf8_text.h"

namespace lexiform {
namespace {

// See Note [site markup]. The colours are those of the HTML5 document, so that a file
// looks the same in both. Line numbers are generated content (a counter drawn by
// .line::before), which a selection does not copy. The search list floats over the
// page under its box; an empty list takes no room.
constexpr std::string_view kStyleSheet = R"css(:root {
  color-scheme: light dark;
  --bg: #fdfdfb; --fg: #1f2328; --muted: #6e7781; --rule: #d0d7de; --code-bg: #f6f8fa;
  --link: #0b57d0; --target: #fff2a8; --pick: #dbe8fc; --shadow: rgba(31, 35, 40, .15);
  --k: #0033b3; --c: #5f7a5f; --d: #9a4d00; --n: #b31d28; --s: #067d17; --o: #6f42c1;
  --a: #00727a;
}
@media (prefers-color-scheme: dark) {
  :root {
    --bg: #0d1117; --fg: #e6edf3; --muted: #8b949e; --rule: #30363d; --code-bg: #161b22;
    --link: #58a6ff; --target: #3b2f00; --pick: #1f3a5f; --shadow: rgba(0, 0, 0, .6);
    --k: #ff7b72; --c: #8b949e; --d: #d2a8ff; --n: #79c0ff; --s: #a5d6ff; --o: #ffa657;
    --a: #7ee787;
  }
}
html { background: var(--bg); color: var(--fg); }
body { margin: 0; padding: 1rem 1.5rem; font: 15px/1.5 system-ui, sans-serif; }
a { color: var(--link); }
h1 { font-size: 1.25rem; margin: 0 0 .5rem; overflow-wrap: anywhere; }
h2 { font-size: 1rem; margin: 0 0 .5rem; }
.size, .lines, .count, .state, .meta, .totals { color: var(--muted); font-size: .875em; }
.missing, .unreadable { color: var(--muted); }

form.search { position: relative; max-width: 36rem; margin: 0 0 1rem; }
.search-box {
  box-sizing: border-box; width: 100%; padding: .35rem .6rem; font: inherit;
  color: var(--fg); background: var(--code-bg); border: 1px solid var(--rule);
  border-radius: 6px;
}
.search-box:focus { outline: 2px solid var(--link); outline-offset: -1px; }
.search-results {
  position: absolute; z-index: 10; top: auto; left: 0; right: 0; margin: 2px 0 0;
  padding: .25rem 0; list-style: none; max-height: 60vh; overflow-y: auto;
  background: var(--bg); border: 1px solid var(--rule); border-radius: 6px;
  box-shadow: 0 4px 12px var(--shadow);
}
.search-results:empty, .search-results[hidden] { display: none; }
.search-results li { padding: 0; }
.search-results a {
  display: block; padding: .2rem .6rem; color: inherit; text-decoration: none;
  overflow-wrap: anywhere;
}
.search-results .name { font-weight: bold; }
.search-results .folder { color: var(--muted); font-size: .875em; margin-left: .5em; }
.search-results mark { background: none; color: var(--link); }
.search-results [aria-selected="true"], .search-results li:hover { background: var(--pick); }
.search-status { margin: .25rem 0 0; color: var(--muted); font-size: .875em; }
.search-status:empty { display: none; }

nav.crumbs { margin: 0 0 .75rem; overflow-wrap: anywhere; }
nav.crumbs ol, nav.crumbs ul { display: flex; flex-wrap: wrap; margin: 0; padding: 0; list-style: none; }
nav.crumbs li + li::before { content: "/"; padding: 0 .35em; color: var(--muted); }
nav.crumbs [aria-current], nav.crumbs .name { font-weight: bold; }

details.folder > ul, .tree ul { margin: 0; padding-left: 1.25rem; list-style: none; }
details.folder > summary { cursor: pointer; overflow-wrap: anywhere; }
details.folder > summary:focus-visible { outline: 2px solid var(--link); }
details.folder:target > summary { background: var(--target); }
li.file { overflow-wrap: anywhere; }
li.file::marker { content: ""; }
li:has(> details.folder) { list-style: none; }

pre.code {
  overflow-x: auto; margin: 0; padding: .75rem 1rem; background: var(--code-bg);
  border-radius: 6px; font: 13px/1.45 ui-monospace, Menlo, Consolas, "DejaVu Sans Mono", monospace;
  tab-size: 8;
}
pre.code code { counter-reset: line; font: inherit; }
.line { counter-increment: line; scroll-margin-top: 4rem; }
.line::before {
  content: counter(line); display: inline-block; min-width: var(--gutter, 4ch);
  margin-right: 2ch; text-align: right; color: var(--muted); cursor: pointer;
  user-select: none; -webkit-user-select: none;
}
.line:target { background: var(--target); }
.line:target::before { color: var(--fg); font-weight: bold; }
.k { color: var(--k); font-weight: bold; }
.c { color: var(--c); font-style: italic; }
.d { color: var(--d); }
.n { color: var(--n); }
.s { color: var(--s); }
.o { color: var(--o); }
.a { color: var(--a); }
a.xref { color: inherit; text-decoration: underline 1px; text-underline-offset: .2em; }
a.xref:hover { color: var(--link); }
a.xref.choice { text-decoration-style: dotted; text-decoration-thickness: 2px; }

a.decl { color: inherit; font-weight: bold; text-decoration: none; }
a.decl:hover, a.decl:focus-visible { text-decoration: underline; color: var(--link); }
a.decl:target { background: var(--target); }
pre.code a:not([class]), pre.code a.u { color: inherit; text-decoration: none; }
pre.code a:not([class]):hover, pre.code a.u:hover { color: var(--link); text-decoration: underline; }
pre.code a.u { text-decoration: underline dashed 1px; text-underline-offset: .2em; opacity: .85; }
.search-results .kind { color: var(--muted); font-size: .875em; margin-left: .5em; font-style: italic; }

.xref-panel {
  position: fixed; z-index: 20; top: 0; right: 0; bottom: 0; box-sizing: border-box;
  width: min(40rem, 92vw); overflow-y: auto; padding: .75rem 1rem; background: var(--bg);
  border-left: 1px solid var(--rule); box-shadow: -4px 0 12px var(--shadow);
}
.xref-panel[hidden] { display: none; }
.xref-panel:focus { outline: none; }
.xref-head { display: flex; align-items: center; gap: .5rem; }
.xref-head h2 { flex: 1; margin: 0; font: bold 1rem ui-monospace, Menlo, Consolas, monospace; overflow-wrap: anywhere; }
.xref-close { font: inherit; font-size: 1.25rem; line-height: 1; padding: .1rem .5rem; color: var(--fg);
  background: none; border: 1px solid var(--rule); border-radius: 6px; cursor: pointer; }
.xref-count { font-weight: bold; }
.xref-kind, .xref-counterpart, .xref-related { margin: .25rem 0; color: var(--muted); }
.xref-related ul { margin: 0; padding-left: 1.25rem; }
.ref-file h3 { font-size: .9375rem; margin: .75rem 0 .25rem; overflow-wrap: anywhere; }
.ref-file ol { margin: 0; padding: 0; list-style: none; }
a.ref-line { display: flex; gap: 1ch; color: inherit; text-decoration: none; padding: 0 .25rem; }
a.ref-line:hover, a.ref-line:focus-visible { background: var(--pick); }
a.ref-line .ln { min-width: 5ch; text-align: right; color: var(--muted); font: 13px/1.45 ui-monospace, monospace; }
a.ref-line code { font: 13px/1.45 ui-monospace, Menlo, Consolas, monospace; white-space: pre; overflow: hidden; text-overflow: ellipsis; }
a.ref-line.uncertain code { opacity: .75; font-style: italic; }
.xref-more { margin: .75rem 0; font: inherit; padding: .25rem .75rem; color: var(--fg); background: var(--code-bg);
  border: 1px solid var(--rule); border-radius: 6px; cursor: pointer; }

section.used-by { border-top: 1px solid var(--rule); margin-top: 1.5rem; padding-top: 1rem; }
section.used-by ul { margin: 0; padding-left: 1.25rem; }
section.used-by li { overflow-wrap: anywhere; }

@media print {
  form.search, .xref-panel { display: none; }
  pre.code { overflow-x: visible; white-space: pre-wrap; }
}
)css";

// See Note [site markup]. Plain script: the search box, the folder that holds a link's
// target, the width of the line-number gutter, and links to a line from its number.
// The file list comes from files.js through a <script> element, never through fetch or
// XHR, which pages opened from disk may not use.
constexpr std::string_view kScript = R"js((function () {
  "use strict";
  var kMaxShown = 50;
  var thisScript = document.currentScript;

  function sharedFolder() {
    var named = document.body.getAttribute("data-shared");
    if (named !== null) return named;
    // Else the folder this script came from, where files.js lives too.
    var src = thisScript ? thisScript.getAttribute("src") || "" : "";
    return src.slice(0, src.lastIndexOf("/") + 1);
  }

  // The file list, loaded on first use; see SiteSearchData.
  var fileList = { entries: null, loading: false, waiting: [] };

  function prepare(raw) {
    return raw.map(function (entry, order) {
      var path = String(entry[1]);
      var lower = path.toLowerCase();
      var slash = lower.lastIndexOf("/");
      var name = lower.slice(slash + 1);
      var dot = name.lastIndexOf(".");
      return { url: String(entry[0]), path: path, lower: lower, name: name,
               stem: dot > 0 ? name.slice(0, dot) : name, nameStart: slash + 1, order: order };
    });
  }

  function loadFiles(done, failed) {
    if (fileList.entries) { done(); return; }
    fileList.waiting.push({ done: done, failed: failed });
    if (fileList.loading) return;
    fileList.loading = true;
    var script = document.createElement("script");
    script.src = sharedFolder() + "files.js";
    script.onload = function () {
      fileList.entries = prepare(window.lexiformSiteFiles || []);
      fileList.waiting.splice(0).forEach(function (w) { w.done(); });
    };
    script.onerror = function () {
      fileList.loading = false;
      script.remove();
      fileList.waiting.splice(0).forEach(function (w) { w.failed(); });
    };
    document.head.appendChild(script);
  }

  // 0 the exact name (with or without its extension), 1 a name that starts with the
  // query, 2 a name that holds it, 3 a path that holds it (a query with "/" matches
  // paths); -1 no match.
  function rankOf(entry, query) {
    if (query.indexOf("/") >= 0) {
      if (entry.lower === query || entry.lower.endsWith("/" + query)) return 0;
      return entry.lower.indexOf(query) >= 0 ? 2 : -1;
    }
    if (entry.name === query || entry.stem === query) return 0;
    var at = entry.name.indexOf(query);
    if (at === 0) return 1;
    if (at > 0) return 2;
    return entry.lower.indexOf(query) >= 0 ? 3 : -1;
  }

  function findFiles(query) {
    var found = [];
    fileList.entries.forEach(function (entry) {
      var rank = rankOf(entry, query);
      if (rank >= 0) found.push({ entry: entry, rank: rank });
    });
    found.sort(function (a, b) {
      return a.rank - b.rank || a.entry.path.length - b.entry.path.length ||
             a.entry.order - b.entry.order;
    });
    return found;
  }

  // The cross-reference data, each file a script that calls lexiformData(name, value);
  // see Note [xref data] in site_xref.cpp.
  var data = { values: {}, waiting: {} };
  window.lexiformData = function (name, value) { data.values[name] = value; };

  function loadData(name, file, done, failed) {
    if (Object.prototype.hasOwnProperty.call(data.values, name)) { done(data.values[name]); return; }
    if (data.waiting[name]) { data.waiting[name].push([done, failed]); return; }
    data.waiting[name] = [[done, failed]];
    var script = document.createElement("script");
    script.src = sharedFolder() + file;
    function settle() {
      var callers = data.waiting[name] || [];
      delete data.waiting[name];
      var value = data.values[name];
      callers.forEach(function (c) { if (value !== undefined) c[0](value); else c[1](); });
    }
    script.onload = settle;
    script.onerror = function () { script.remove(); settle(); };
    document.head.appendChild(script);
  }

  // Loads every [name, file] of `wanted`, then done(values by name), or failed() once.
  function loadAllData(wanted, done, failed) {
    var left = wanted.length, values = {}, broken = false;
    if (left === 0) { done(values); return; }
    wanted.forEach(function (w) {
      loadData(w[0], w[1], function (value) {
        values[w[0]] = value;
        if (--left === 0 && !broken) done(values);
      }, function () { if (!broken) { broken = true; failed(); } });
    });
  }

  // The number of the range (by its first page, `starts`) that holds `page`.
  function rangeOf(starts, page) {
    var low = 0, high = starts.length;
    while (high - low > 1) {
      var middle = (low + high) >> 1;
      if (starts[middle] <= page) low = middle; else high = middle;
    }
    return low;
  }

  var symbolList = { entries: null, kinds: [] };

  // The declarations that search finds, loaded on first use; none when their data is
  // missing, so that file search still works.
  function loadSymbols(done) {
    if (symbolList.entries) { done(); return; }
    loadAllData([["x", "xref.js"], ["s", "symbols.js"]], function (values) {
      symbolList.kinds = values.x.kinds || [];
      symbolList.entries = values.s.map(function (raw, order) {
        var lower = String(raw[0]).toLowerCase();
        return { name: String(raw[0]), lower: lower, last: lower.slice(lower.lastIndexOf(".") + 1),
                 kind: raw[1], page: raw[2], anchor: raw[3], order: order };
      });
      done();
    }, function () { symbolList.entries = []; done(); });
  }

  // As files rank: 0 the exact name (whole or its last part), 1 a prefix, 2 a part.
  function symbolRank(symbol, query) {
    if (symbol.lower === query || symbol.last === query) return 0;
    if (symbol.lower.indexOf(query) === 0 || symbol.last.indexOf(query) === 0) return 1;
    return symbol.lower.indexOf(query) >= 0 ? 2 : -1;
  }

  function findSymbols(query) {
    if (query.indexOf("/") >= 0 || !symbolList.entries) return [];
    var found = [];
    symbolList.entries.forEach(function (symbol) {
      var rank = symbolRank(symbol, query);
      if (rank >= 0 && fileList.entries[symbol.page]) found.push({ entry: symbol, rank: rank });
    });
    found.sort(function (a, b) {
      return a.rank - b.rank || a.entry.lower.length - b.entry.lower.length ||
             a.entry.order - b.entry.order;
    });
    return found;
  }

  function makeElement(tag, className, text) {
    var element = document.createElement(tag);
    if (className) element.className = className;
    if (text) element.textContent = text;
    return element;
  }

  // `text` in an element, the first place that matches the query marked.
  function marked(className, text, query) {
    var element = makeElement("span", className);
    var at = query === "" ? -1 : text.toLowerCase().indexOf(query);
    if (at < 0) {
      element.textContent = text;
    } else {
      element.append(text.slice(0, at), makeElement("mark", "", text.slice(at, at + query.length)),
                     text.slice(at + query.length));
    }
    return element;
  }

  // The name, then its folder, with the matched part marked in the name if it is there.
  function resultContent(link, entry, query) {
    var name = entry.path.slice(entry.nameStart);
    var inName = query.indexOf("/") < 0 && entry.name.indexOf(query) >= 0;
    link.append(marked("name", name, inName ? query : ""));
    if (entry.nameStart > 0) {
      link.append(marked("folder", entry.path.slice(0, entry.nameStart), inName ? "" : query));
    }
  }

  var searchCount = 0;

  function searchBox(form) {
    var box = form.querySelector(".search-box");
    var list = form.querySelector(".search-results");
    if (!box || !list) return;
    var root = document.body.getAttribute("data-root") || "";
    var number = ++searchCount;
    if (!list.id) list.id = "search-results-" + number;
    var status = makeElement("p", "search-status");
    status.setAttribute("role", "status");
    form.appendChild(status);
    box.setAttribute("role", "combobox");
    box.setAttribute("aria-autocomplete", "list");
    box.setAttribute("aria-controls", list.id);
    box.setAttribute("aria-expanded", "false");
    box.setAttribute("autocomplete", "off");
    if (!box.hasAttribute("aria-label")) box.setAttribute("aria-label", "Go to file");
    list.setAttribute("role", "listbox");
    list.setAttribute("aria-label", "Matching files and declarations");
    var shown = [];
    var selected = -1;

    function selectOption(index) {
      if (selected >= 0) list.children[selected].setAttribute("aria-selected", "false");
      selected = index;
      if (index < 0) { box.removeAttribute("aria-activedescendant"); return; }
      var option = list.children[index];
      option.setAttribute("aria-selected", "true");
      box.setAttribute("aria-activedescendant", option.id);
      option.scrollIntoView({ block: "nearest" });
    }

    function closeList() {
      list.textContent = "";
      shown = [];
      selected = -1;
      box.removeAttribute("aria-activedescendant");
      box.setAttribute("aria-expanded", "false");
    }

    function addOption(url, className, fill) {
      var option = makeElement("li", className);
      option.id = list.id + "-" + shown.length;
      option.setAttribute("role", "option");
      option.setAttribute("aria-selected", "false");
      var link = makeElement("a");
      link.href = root + url;
      link.tabIndex = -1;
      fill(link);
      option.appendChild(link);
      list.appendChild(option);
      shown.push({ url: url });
    }

    function counted(found, count, what) {
      return found === 0 ? "" : found > count ? "The first " + count + " of " + found + " " + what + "s." :
          found === 1 ? "1 " + what + "." : found + " " + what + "s.";
    }

    function showResults() {
      var query = box.value.trim().toLowerCase().replace(/\\/g, "/");
      closeList();
      if (query === "") { status.textContent = ""; return; }
      var found = findFiles(query);
      var symbols = findSymbols(query);
      found.slice(0, kMaxShown).forEach(function (f) {
        addOption(f.entry.url, "", function (link) { resultContent(link, f.entry, query); });
      });
      var fileCount = shown.length;
      symbols.slice(0, kMaxShown).forEach(function (f) {
        var symbol = f.entry;
        var file = fileList.entries[symbol.page];
        addOption(file.url + "#s" + symbol.anchor, "symbol", function (link) {
          link.append(marked("name", symbol.name, query),
                      makeElement("span", "kind", symbolList.kinds[symbol.kind] || ""),
                      makeElement("span", "folder", file.path));
        });
      });
      box.setAttribute("aria-expanded", shown.length > 0 ? "true" : "false");
      status.textContent = found.length + symbols.length === 0 ? "No file matches." :
          (counted(found.length, fileCount, "file") + " " +
           counted(symbols.length, shown.length - fileCount, "declaration")).trim();
      if (shown.length > 0) selectOption(0);
    }

    function updateResults() {
      loadFiles(function () { loadSymbols(showResults); }, function () {
        closeList();
        status.textContent = "The file list could not be loaded.";
      });
    }

    function openResult(index) {
      if (index >= 0 && index < shown.length) window.location.href = root + shown[index].url;
    }

    box.addEventListener("focus", function () {
      loadFiles(function () { loadSymbols(function () {}); }, function () {});
    });
    box.addEventListener("input", updateResults);
    box.addEventListener("keydown", function (event) {
      if (event.altKey || event.ctrlKey || event.metaKey) return;
      var count = shown.length;
      if (event.key === "ArrowDown" || event.key === "ArrowUp") {
        event.preventDefault();
        if (count === 0) { updateResults(); return; }
        var step = event.key === "ArrowDown" ? 1 : -1;
        selectOption((selected + step + count) % count);
      } else if (event.key === "Enter") {
        event.preventDefault();
        if (count > 0) openResult(selected < 0 ? 0 : selected); else updateResults();
      } else if (event.key === "Escape") {
        if (count > 0 || status.textContent) { event.preventDefault(); closeList(); status.textContent = ""; }
        else if (box.value) { event.preventDefault(); box.value = ""; }
      }
    });
    form.addEventListener("submit", function (event) { event.preventDefault(); });
    // Keeps the focus in the box while a result is clicked.
    list.addEventListener("mousedown", function (event) { event.preventDefault(); });
    form.addEventListener("focusout", function (event) {
      if (!form.contains(event.relatedTarget)) { closeList(); status.textContent = ""; }
    });
  }

  // Opens the folders around the element a URL's fragment names, so that following a
  // link into a closed part of the tree shows its target.
  function revealTarget() {
    var id;
    try { id = decodeURIComponent(window.location.hash.slice(1)); } catch (e) { return; }
    var target = id && document.getElementById(id);
    if (!target) return;
    var opened = false;
    for (var node = target; node; node = node.parentElement) {
      if (node.tagName === "DETAILS" && !node.open) { node.open = true; opened = true; }
    }
    if (opened) target.scrollIntoView();
  }

  // Room for the longest number, and a click on a number puts its line in the address.
  function lineNumbers(code) {
    var last = code.querySelector(".line:last-of-type");
    if (last && last.id.length - 1 > 4) code.parentElement.style.setProperty("--gutter", (last.id.length - 1) + "ch");
    code.addEventListener("click", function (event) {
      var line = event.target.closest && event.target.closest(".line");
      if (!line || !line.id || event.target !== line) return;
      var before = window.getComputedStyle(line, "::before");
      var gutter = parseFloat(before.width) + parseFloat(before.marginRight);
      if (event.clientX - line.getBoundingClientRect().left > gutter) return;
      if (window.getSelection && String(window.getSelection()) !== "") return;
      // Marks the line without moving the code under the reader's pointer.
      var x = window.scrollX, y = window.scrollY;
      window.location.hash = line.id;
      window.scrollTo(x, y);
    });
  }

  // The references panel: a click on a declared name lists where it is used.
  var kPanelStep = 1000;
  var panel = null;
  var linesMaps = {};

  function pageLink(page, fragment, text) {
    var link = makeElement("a", "", text);
    link.href = (document.body.getAttribute("data-root") || "") + fileList.entries[page].url + fragment;
    return link;
  }

  function place(where, kinds) {
    var file = fileList.entries[where[0]];
    return pageLink(where[0], "#s" + where[1], (where[3] !== undefined ? (kinds[where[3]] || "") + " " : "") +
                    (file ? file.path : "?") + ", line " + where[2]);
  }

  function panelShell(name) {
    if (!panel) {
      panel = makeElement("aside", "xref-panel");
      panel.setAttribute("role", "dialog");
      panel.setAttribute("aria-labelledby", "xref-panel-title");
      panel.tabIndex = -1;
      var head = makeElement("div", "xref-head");
      var title = makeElement("h2");
      title.id = "xref-panel-title";
      var close = makeElement("button", "xref-close", "\u00d7");
      close.type = "button";
      close.setAttribute("aria-label", "Close");
      close.addEventListener("click", closePanel);
      head.append(title, close);
      panel.append(head, makeElement("div", "xref-body"));
      panel.addEventListener("keydown", function (event) {
        if (event.key === "Escape") { event.preventDefault(); closePanel(); }
      });
      document.body.appendChild(panel);
    }
    panel.querySelector("h2").textContent = name;
    var body = panel.querySelector(".xref-body");
    body.textContent = "";
    panel.hidden = false;
    return body;
  }

  function closePanel() {
    if (!panel || panel.hidden) return;
    panel.hidden = true;
    if (panel.opener) panel.opener.focus();
  }

  function linesOf(k, value) {
    if (!linesMaps[k]) {
      var map = {};
      for (var i = 0; i + 1 < value.length; i += 2) {
        var lines = {}, list = value[i + 1];
        for (var j = 0; j + 1 < list.length; j += 2) lines[list[j]] = list[j + 1];
        map[value[i]] = lines;
      }
      linesMaps[k] = map;
    }
    return linesMaps[k];
  }

  // Shows references `from` to `from` + kPanelStep of `refs` ({file, line, uncertain})
  // with the texts of their lines, then a button for more.
  function showReferences(body, index, refs, from) {
    var part = refs.slice(from, from + kPanelStep);
    var wanted = {}, list = [];
    part.forEach(function (ref) {
      var k = rangeOf(index.lines, ref.file);
      if (!wanted[k]) { wanted[k] = true; list.push(["l" + k, "lines/" + k + ".js"]); }
    });
    function render(values) {
      var group = body.lastElementChild && body.lastElementChild.classList.contains("ref-file")
          ? body.lastElementChild : null;
      part.forEach(function (ref) {
        if (!group || group.file !== ref.file) {
          group = makeElement("section", "ref-file");
          group.file = ref.file;
          var heading = makeElement("h3");
          heading.appendChild(pageLink(ref.file, "", fileList.entries[ref.file].path));
          group.append(heading, makeElement("ol"));
          body.appendChild(group);
        }
        var k = rangeOf(index.lines, ref.file);
        var lines = values["l" + k] ? linesOf(k, values["l" + k])[ref.file] : null;
        var link = pageLink(ref.file, "#L" + ref.line, "");
        link.className = ref.uncertain ? "ref-line uncertain" : "ref-line";
        if (ref.uncertain) link.title = "Uncertain: the name may stand for another declaration";
        link.append(makeElement("span", "ln", String(ref.line)),
                    makeElement("code", "", lines && lines[ref.line] !== undefined ? lines[ref.line] : ""));
        var item = makeElement("li");
        item.appendChild(link);
        group.lastElementChild.appendChild(item);
      });
      if (from + kPanelStep < refs.length) {
        var more = makeElement("button", "xref-more",
                               "Show more (" + (refs.length - from - kPanelStep) + " left)");
        more.type = "button";
        more.addEventListener("click", function () {
          more.remove();
          showReferences(body, index, refs, from + kPanelStep);
        });
        body.appendChild(more);
      }
    }
    loadAllData(list, render, function () { render({}); });
  }

  function showDeclaration(body, index, entry) {
    var kinds = index.kinds || [];
    var refs = [], files = 0, previous = -1;
    var flat = entry[4];
    for (var i = 0; i + 1 < flat.length;) {
      var file = flat[i], count = flat[i + 1];
      for (var j = 0; j < count; ++j) {
        var line = flat[i + 2 + j];
        refs.push({ file: file, line: Math.abs(line), uncertain: line < 0 });
      }
      if (file !== previous) { ++files; previous = file; }
      i += 2 + count;
    }
    body.appendChild(makeElement("p", "xref-count", refs.length === 0 ? "No references." :
        (refs.length === 1 ? "1 reference" : refs.length + " references") + " in " +
        (files === 1 ? "1 file" : files + " files") + "."));
    body.appendChild(makeElement("p", "xref-kind", (kinds[entry[0]] || "") + ", line " + entry[1]));
    if (entry[2]) {
      var counterpart = makeElement("p", "xref-counterpart", "Counterpart (heading or body): ");
      counterpart.appendChild(place(entry[2], kinds));
      body.appendChild(counterpart);
    }
    if (entry[3].length > 0) {
      var related = makeElement("p", "xref-related", "Also declared: ");
      var items = makeElement("ul");
      entry[3].forEach(function (where) {
        var item = makeElement("li");
        item.appendChild(place(where, kinds));
        items.appendChild(item);
      });
      related.appendChild(items);
      body.appendChild(related);
    }
    showReferences(body, index, refs, 0);
  }

  function openPanel(decl) {
    var main = document.querySelector("main[data-page]");
    if (!main) return;
    var page = Number(main.getAttribute("data-page"));
    var anchor = Number(decl.id.slice(1));
    var body = panelShell(decl.textContent);
    panel.opener = decl;
    var waiting = makeElement("p", "xref-count", "Loading the references\u2026");
    body.appendChild(waiting);
    panel.focus();
    function failed() { waiting.textContent = "The references could not be loaded."; }
    loadFiles(function () {
      loadData("x", "xref.js", function (index) {
        var k = rangeOf(index.refs, page);
        loadData("r" + k, "refs/" + k + ".js", function (refs) {
          for (var i = 0; i + 1 < refs.length; i += 2) {
            if (refs[i] === page && refs[i + 1][anchor - 1]) {
              waiting.remove();
              showDeclaration(body, index, refs[i + 1][anchor - 1]);
              return;
            }
          }
          failed();
        }, failed);
      }, failed);
    }, failed);
  }

  function start() {
    Array.prototype.forEach.call(document.querySelectorAll("form.search"), searchBox);
    Array.prototype.forEach.call(document.querySelectorAll("pre.code > code"), lineNumbers);
    revealTarget();
    window.addEventListener("hashchange", revealTarget);
    // A declared name opens its references; without the script it links on.
    document.addEventListener("click", function (event) {
      if (event.button !== 0 || event.altKey || event.ctrlKey || event.metaKey || event.shiftKey) return;
      var decl = event.target.closest && event.target.closest("pre.code a.decl");
      if (!decl) return;
      event.preventDefault();
      openPanel(decl);
    });
    // "/" anywhere outside a text field goes to the search box.
    document.addEventListener("keydown", function (event) {
      if (event.key !== "/" || event.altKey || event.ctrlKey || event.metaKey) return;
      var active = document.activeElement;
      if (active && (active.isContentEditable || /^(INPUT|TEXTAREA|SELECT)$/.test(active.tagName))) return;
      var box = document.querySelector("form.search .search-box");
      if (box) { event.preventDefault(); box.focus(); }
    });
  }

  if (document.readyState === "loading") document.addEventListener("DOMContentLoaded", start);
  else start();
})();
)js";

constexpr char kHexDigits[] = "0123456789abcdef";

void AppendUnicodeEscape(std::string& text, unsigned value) {
  text += "\\u";
  for (int shift = 12; shift >= 0; shift -= 4) {
    text += kHexDigits[(value >> shift) & 0xFu];
  }
}

// The length of the UTF-8 sequence that `lead` starts, 1 for a byte that starts none.
std::size_t SequenceLength(unsigned char lead) {
  if (lead >= 0xF0) {
    return 4;
  }
  if (lead >= 0xE0) {
    return 3;
  }
  return lead >= 0xC0 ? 2 : 1;
}

} // namespace

const std::vector<SiteAsset>& SiteStaticAssets() {
  static const std::vector<SiteAsset> assets = {{"site.css", kStyleSheet}, {"site.js", kScript}};
  return assets;
}

// `text` as a JSON string. Besides what JSON needs, "<" and ">" are escaped, so that the
// data can never close or open markup in a script element, and U+2028 and U+2029, which
// older scripts read as line ends. A byte that is not part of well-formed UTF-8 becomes
// U+FFFD, so that every reader of the file sees the same characters.
void AppendJsonString(std::string& json, std::string_view text) {
  json += '"';
  for (std::size_t i = 0; i < text.size();) {
    const auto byte = static_cast<unsigned char>(text[i]);
    if (byte < 0x80) {
      if (byte == '"' || byte == '\\') {
        json += '\\';
        json += static_cast<char>(byte);
      } else if (byte < 0x20 || byte == 0x7F || byte == '<' || byte == '>') {
        AppendUnicodeEscape(json, byte);
      } else {
        json += static_cast<char>(byte);
      }
      ++i;
      continue;
    }
    const std::string_view sequence = text.substr(i, SequenceLength(byte));
    if (sequence.size() < 2 || !IsValidUtf8(sequence)) {
      AppendUnicodeEscape(json, 0xFFFD);
      ++i;
    } else if (sequence == "\xE2\x80\xA8" || sequence == "\xE2\x80\xA9") {
      AppendUnicodeEscape(json, sequence.back() == '\xA8' ? 0x2028 : 0x2029);
      i += sequence.size();
    } else {
      json += sequence;
      i += sequence.size();
    }
  }
  json += '"';
}

// One [url, path] pair a line, assigned to the global that site.js reads once the
// script element it adds has loaded.
std::string SiteSearchData(const std::vector<SiteSearchEntry>& files) {
  std::string text = "window.lexiformSiteFiles = [\n";
  for (std::size_t i = 0; i < files.size(); ++i) {
    text += '[';
    AppendJsonString(text, files[i].url);
    text += ',';
    AppendJsonString(text, files[i].path);
    text += i + 1 < files.size() ? "],\n" : "]\n";
  }
  text += "];\n";
  return text;
}

} // namespace lexiform
