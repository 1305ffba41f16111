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
    list.setAttribute("aria-label", "Matching files");
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

    function showResults() {
      var query = box.value.trim().toLowerCase().replace(/\\/g, "/");
      closeList();
      if (query === "") { status.textContent = ""; return; }
      var found = findFiles(query);
      shown = found.slice(0, kMaxShown).map(function (f) { return f.entry; });
      shown.forEach(function (entry, index) {
        var option = makeElement("li");
        option.id = list.id + "-" + index;
        option.setAttribute("role", "option");
        option.setAttribute("aria-selected", "false");
        var link = makeElement("a");
        link.href = root + entry.url;
        link.tabIndex = -1;
        resultContent(link, entry, query);
        option.appendChild(link);
        list.appendChild(option);
      });
      box.setAttribute("aria-expanded", shown.length > 0 ? "true" : "false");
      status.textContent = found.length === 0 ? "No file matches." :
          found.length > shown.length ? "The first " + shown.length + " of " + found.length + " files." :
          found.length === 1 ? "1 file." : found.length + " files.";
      if (shown.length > 0) selectOption(0);
    }

    function updateResults() {
      loadFiles(showResults, function () {
        closeList();
        status.textContent = "The file list could not be loaded.";
      });
    }

    function openResult(index) {
      if (index >= 0 && index < shown.length) window.location.href = root + shown[index].url;
    }

    box.addEventListener("focus", function () { loadFiles(function () {}, function () {}); });
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

  function start() {
    Array.prototype.forEach.call(document.querySelectorAll("form.search"), searchBox);
    Array.prototype.forEach.call(document.querySelectorAll("pre.code > code"), lineNumbers);
    revealTarget();
    window.addEventListener("hashchange", revealTarget);
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
