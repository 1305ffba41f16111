(function () {
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
