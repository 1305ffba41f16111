#!/usr/bin/python3
"""Opens a code site of Lexiform (`-site`) from disk in headless Chromium and uses it as
a reader does:

    tests/browser/check_site.py SITE [--page PAGE] [--search TEXT --expect-page PAGE] [--xref]
    tests/browser/check_site.py --fixture DIR     (writes a small site first, see below)

- the index renders in standards mode; a folder of the tree opens and shows its files;
  a click on a file opens its page, which has a breadcrumb back to the index;
- typing part of a file name into the search box lists the matching files in the order
  the ranking rules give (exact name with or without its extension, prefix, substring; then
  shorter path, then list order), the arrow keys move the selection and Enter opens the page;
- on PAGE, a `uses` link (an a.xref outside an include directive) and an include link
  open the page they name; without --page, those of the first page with both kinds,
  else with either, and none when no page links to another;
- page.html#L120 opens with line 120 in view and highlighted; line numbers are not
  copied with the code, a click on one links to its line; the page never scrolls
  sideways;
- under prefers-color-scheme: dark the page takes other, dark colours;
- with --xref, the cross-references: a reference (its title the declaration's kind and
  line) leads to a declaration of its name and history goes back; Enter on a declared
  name opens the references panel, count first (the first thousand listed, then a
  button for more), and a listed reference opens its line;
  a declaration from symbols.js is found with the search box and opened by keyboard;
- no page logs an error or throws (console, failed loads, exceptions).

--fixture DIR writes a small site by hand into DIR, following the page shape that
src/document/site_assets.h describes and with the stylesheet and script in
src/document/assets, and checks that; for use before the program writes sites.

Needs Debian's chromium and python3-websocket (scripts/install-deps.sh --html5).
Exits 0 when every check passes, 1 when one fails, 2 when the browser cannot be run.
"""

import argparse
import html
import json
import pathlib
import re
import sys
import time
import urllib.parse

import websocket

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parent))
from check_document import Browser, VIEWPORT  # noqa: E402

ROOT = pathlib.Path(__file__).resolve().parents[2]
INCLUDE_LINE = re.compile(r"[{(]\*?\$I(NCLUDE)?\s", re.I)
MAX_SHOWN = 50
PANEL_STEP = 1000


class SiteBrowser(Browser):
    """A Browser that keeps the errors a page reports and waits for navigations."""

    def __init__(self):
        super().__init__()
        self.errors = []

    def _note(self, message):
        method = message.get("method")
        params = message.get("params", {})
        if method == "Runtime.exceptionThrown":
            details = params.get("exceptionDetails", {})
            text = details.get("exception", {}).get("description") or details.get("text")
            self.errors.append(f"exception: {text}")
        elif method == "Runtime.consoleAPICalled" and params.get("type") in ("error", "assert"):
            values = [a.get("value", a.get("description", "")) for a in params.get("args", [])]
            self.errors.append("console: " + " ".join(map(str, values)))
        elif method == "Log.entryAdded" and params.get("entry", {}).get("level") == "error":
            entry = params["entry"]
            self.errors.append(f"log: {entry.get('text')} {entry.get('url', '')}".strip())
        return message

    def call(self, method, **params):
        call_id = next(self.ids)
        self.socket.send(json.dumps({"id": call_id, "method": method, "params": params}))
        while True:
            message = self._note(json.loads(self.socket.recv()))
            if message.get("id") == call_id:
                if "error" in message:
                    raise RuntimeError(f"{method}: {message['error']}")
                return message.get("result", {})

    def wait_for_event(self, method, timeout=30):
        self.socket.settimeout(timeout)
        try:
            while True:
                message = self._note(json.loads(self.socket.recv()))
                if message.get("method") == method:
                    return message.get("params", {})
        except websocket.WebSocketTimeoutException:
            return None
        finally:
            self.socket.settimeout(600)

    def start(self):
        for domain in ("Page", "Runtime", "Log"):
            self.call(domain + ".enable")

    def open(self, url):
        self.call("Page.navigate", url=url)
        return self.wait_for_event("Page.loadEventFired") is not None

    def navigate_by(self, script):
        """Runs `script`, which should start a navigation, and waits for its page."""
        self.evaluate(script)
        return self.wait_for_event("Page.loadEventFired", timeout=20) is not None

    def key(self, key, code, key_code):
        for kind in ("rawKeyDown", "keyUp"):
            self.call("Input.dispatchKeyEvent", type=kind, key=key, code=code,
                      windowsVirtualKeyCode=key_code, nativeVirtualKeyCode=key_code)

    def wait_until(self, expression, timeout=5):
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            try:
                value = self.evaluate(expression)
            except RuntimeError as error:
                # The page may be between two documents (going back, following a link):
                # ask again once the new one stands.
                if "navigated or closed" not in str(error) and "context" not in str(error):
                    raise
                value = None
            if value:
                return value
            time.sleep(0.05)
        return None

    def location(self):
        return self.evaluate("decodeURIComponent(location.pathname)")


def read_file_list(site):
    shared = next(site.glob("*/files.js"), None)
    if shared is None:
        return []
    text = shared.read_text(encoding="utf-8")
    return json.loads(re.fullmatch(r"\s*window\.lexiformSiteFiles\s*=\s*(\[.*\])\s*;\s*",
                                   text, re.S).group(1))


def ranked(entries, query):
    """The search box's order for `query`; see Rank in site.js."""
    query = query.strip().lower().replace("\\", "/")
    found = []
    for order, (url, path) in enumerate(entries):
        lower = path.lower()
        name = lower[lower.rfind("/") + 1:]
        stem = name[:name.rfind(".")] if name.rfind(".") > 0 else name
        if "/" in query:
            rank = 0 if lower == query or lower.endswith("/" + query) else (
                2 if query in lower else -1)
        elif query in (name, stem):
            rank = 0
        elif name.startswith(query):
            rank = 1
        elif query in name:
            rank = 2
        else:
            rank = 3 if query in lower else -1
        if rank >= 0:
            found.append((rank, len(path), order, url))
    return [url for *_, url in sorted(found)]


def page_with_links(site):
    """The first page, in path order, with a uses link and an include link, else the
    first with either."""
    either = None
    for page in sorted(site.rglob("*.html")):
        text = page.read_text(encoding="utf-8", errors="replace")
        if 'class="xref' not in text:
            continue
        kinds = {bool(INCLUDE_LINE.search(html.unescape(re.sub(r"<[^>]*>", "", line))))
                 for line in text.split("\n") if 'class="xref' in line}
        if len(kinds) == 2:
            return page
        either = either or page
    return either


def page_with_line(site, number, first=None):
    for page in ([first] if first else []) + sorted(site.rglob("*.html")):
        if page and f'id="L{number}"' in page.read_text(encoding="utf-8", errors="replace"):
            return page
    return None


IN_VIEW = """(() => {
  const element = document.getElementById(%s);
  if (!element) return false;
  const box = element.getBoundingClientRect();
  return box.top >= 0 && box.bottom <= window.innerHeight;
})()"""


class Checks:
    def __init__(self, browser, site):
        self.browser = browser
        self.site = site.resolve()
        self.failures = 0

    def expect(self, passed, what, detail=""):
        print(("ok    " if passed else "FAIL  ") + what + (f": {detail}" if detail else ""))
        self.failures += 0 if passed else 1
        return passed

    def at(self, page):
        return self.browser.location() == str(page)

    def no_errors(self, where):
        errors, self.browser.errors = self.browser.errors, []
        self.expect(not errors, f"no error on the console ({where})", "; ".join(errors[:5]))

    def index(self):
        index = self.site / "index.html"
        self.expect(self.browser.open(index.as_uri()), "the index loads")
        self.expect(self.browser.evaluate("document.compatMode") == "CSS1Compat",
                    "the index renders in standards mode")
        self.expect(self.browser.evaluate("document.querySelectorAll('li.file a').length") > 0,
                    "the index lists files")

    def expand_folder(self):
        """Closes a folder if all are open, then opens it with a click on its summary;
        returns the href of its first file."""
        shown = self.browser.evaluate("""(() => {
          const folder = [...document.querySelectorAll('details.folder')]
            .find(d => d.querySelector(':scope > ul > li.file a')) || null;
          if (!folder) return null;
          folder.open = false;
          window.checkFolder = folder;
          const link = folder.querySelector(':scope > ul > li.file a');
          const hidden = !link.checkVisibility();
          folder.querySelector(':scope > summary').click();
          return [hidden, link.checkVisibility(), link.getAttribute('href')];
        })()""")
        if not self.expect(shown is not None, "the index has a folder with files"):
            return None
        self.expect(shown[0] and shown[1], "a click on a closed folder shows its files",
                    f"hidden before: {shown[0]}, shown after: {shown[1]}")
        return shown[2]

    def open_file(self, href):
        page = self.browser.evaluate(
            "decodeURIComponent(new URL(checkFolder.querySelector(':scope > ul > li.file a')"
            ".href).pathname)")
        opened = self.browser.navigate_by(
            "checkFolder.querySelector(':scope > ul > li.file a').click()")
        self.expect(opened and self.browser.location() == page,
                    "a click on a file opens its page", href)
        self.expect(self.browser.evaluate("document.querySelectorAll('pre.code .line').length") > 0,
                    "the page shows numbered lines")
        back = self.browser.evaluate("""[...document.querySelectorAll('nav.crumbs a')]
          .some(a => new URL(a.href).pathname.endsWith('/index.html'))""")
        self.expect(back, "the breadcrumb links to the index")
        self.no_errors("index and a page")

    def search(self, query, expected_page):
        entries = read_file_list(self.site)
        if not self.expect(entries, "the site has a file list"):
            return
        if query is None:
            # Part of the name of the last file in the list.
            url, path = entries[-1]
            name = path[path.rfind("/") + 1:]
            query = name[1:-1] if len(name) > 3 else name
            expected_page = url
        order = ranked(entries, query)
        expected_urls = [str(self.site / urllib.parse.unquote(u)) for u in order[:MAX_SHOWN]]
        target = str(self.site / urllib.parse.unquote(expected_page))
        self.browser.evaluate("document.querySelector('.search-box').focus()")
        self.browser.call("Input.insertText", text=query)
        shown = self.browser.wait_until("""(() => {
          const items = document.querySelectorAll('.search-results [role=option]:not(.symbol) a');
          return items.length ? [...items].map(a => decodeURIComponent(new URL(a.href).pathname))
                              : null;
        })()""")
        self.expect(shown == expected_urls, f"searching {query!r} lists the files in rank order",
                    f"{len(shown or [])} shown, {len(order)} match"
                    + ("" if shown == expected_urls else f"; first shown {(shown or [])[:3]},"
                       f" expected {expected_urls[:3]}"))
        if not self.expect(target in (shown or []), f"the search lists {expected_page}"):
            return
        for _ in range(shown.index(target)):
            self.browser.key("ArrowDown", "ArrowDown", 40)
        selected = self.browser.evaluate("""(() => {
          const box = document.querySelector('.search-box');
          const option = document.getElementById(box.getAttribute('aria-activedescendant'));
          return option && option.getAttribute('aria-selected') === 'true'
            && box.getAttribute('aria-expanded') === 'true'
            ? decodeURIComponent(new URL(option.querySelector('a').href).pathname) : null;
        })()""")
        self.expect(selected == target, "the arrow keys select the file", str(selected))
        self.browser.key("Escape", "Escape", 27)
        closed = self.browser.evaluate(
            "document.querySelectorAll('.search-results [role=option]').length === 0")
        self.expect(closed, "Escape closes the list")
        self.browser.key("ArrowDown", "ArrowDown", 40)
        for _ in range(shown.index(target)):
            self.browser.key("ArrowDown", "ArrowDown", 40)
        self.browser.call("Input.dispatchKeyEvent", type="rawKeyDown", key="Enter",
                          code="Enter", windowsVirtualKeyCode=13)
        loaded = self.browser.wait_for_event("Page.loadEventFired", timeout=20)
        self.expect(loaded is not None and self.browser.location() == target,
                    "Enter opens the selected file", self.browser.location())
        self.no_errors("search")

    def follow_links(self, page, required):
        """Follows a uses link and an include link of `page`: both must be there when
        `required`, else those that are (a site of sources without a uses clause or an
        include directive has none)."""
        if page is None:
            if required:
                self.expect(False, "the site has a page with links between files")
            else:
                print("skip  no page of the site links to another")
            return
        self.browser.open(page.as_uri())
        links = self.browser.evaluate("""(() => {
          const include = /[{(]\\*?\\$I(NCLUDE)?\\s/i;
          const kinds = {};
          for (const a of document.querySelectorAll('pre.code a.xref')) {
            const line = a.closest('.line');
            const kind = line && include.test(line.textContent) ? 'include' : 'uses';
            if (!kinds[kind]) kinds[kind] = [a.getAttribute('href'),
                                             decodeURIComponent(new URL(a.href).pathname),
                                             decodeURIComponent(new URL(a.href).hash.slice(1))];
          }
          return kinds;
        })()""")
        for kind in ("uses", "include"):
            if kind not in links:
                if required:
                    self.expect(False, f"{page.relative_to(self.site)} has a {kind} link")
                else:
                    print(f"skip  {page.relative_to(self.site)} has no {kind} link")
                continue
            href, target, fragment = links[kind]
            self.browser.open(page.as_uri())
            opened = self.browser.navigate_by(f"""[...document.querySelectorAll('a.xref')]
              .find(a => a.getAttribute('href') === {json.dumps(href)}).click()""")
            ok = opened and self.browser.location() == target
            if ok and fragment:
                ok = self.browser.evaluate(IN_VIEW % json.dumps(fragment))
            self.expect(ok, f"the {kind} link opens its file", href)
        choice = self.browser.evaluate("""(() => {
          const a = document.querySelector('a.xref.choice');
          if (!a) return null;
          const plain = document.querySelector('a.xref:not(.choice)');
          const style = e => getComputedStyle(e).textDecorationStyle;
          return [a.title, style(a), plain ? style(plain) : null];
        })()""")
        if choice is not None:
            self.expect(bool(choice[0]) and choice[1] != choice[2],
                        "a link to a choice has a title and looks different", str(choice))
        self.no_errors("links between files")

    def declaration_and_back(self, pages):
        """Follows a reference (an <a> without a class in the code) to its declaration, then goes back."""
        for page in pages:
            self.browser.open(page.as_uri())
            href = self.browser.evaluate("""(() => {
              const a = document.querySelector('pre.code a:not([class])[href*="#s"]');
              return a ? [a.getAttribute('href'), a.textContent, a.title] : null;
            })()""")
            if href:
                break
        else:
            self.expect(False, "a page links a name to its declaration")
            return
        reference, name, title = href
        self.expect(re.fullmatch(r"[a-z ]+, line \d+", title) is not None,
                    "a reference's title gives its declaration's kind and line", title)
        start = self.browser.evaluate("location.href")
        self.browser.evaluate(f"""[...document.querySelectorAll('pre.code a:not([class])')]
          .find(a => a.getAttribute('href') === {json.dumps(reference)}).click()""")
        landed = self.browser.wait_until(f"""(() => {{
          const target = location.hash && document.getElementById(location.hash.slice(1));
          return target && location.href !== {json.dumps(start)}
            ? [target.tagName, target.className, target.textContent] : null;
        }})()""")
        self.expect(landed is not None and landed[1].split() == ["decl"]
                    and landed[2].lower() == name.lower(),
                    f"the reference {name!r} leads to its declaration", str(landed))
        # Later, so that the evaluation returns before the page goes.
        self.browser.evaluate("setTimeout(() => history.back(), 0)")
        back = self.browser.wait_until(f"location.href === {json.dumps(start)}")
        self.expect(bool(back), "going back returns to the reference's page")
        self.no_errors("declaration and back")

    def references_panel(self, pages):
        """Opens the panel of the declaration that the first page with one refers to most
        often, sees more when it lists only some, and follows one."""
        for page in pages:
            self.browser.open(page.as_uri())
            found = self.browser.evaluate("""(() => {
              const uses = {};
              for (const a of document.querySelectorAll('pre.code a:not(.xref):not(.decl)')) {
                const href = a.getAttribute('href');
                uses[href] = (uses[href] || 0) + 1;
              }
              let decl = null;
              for (const d of document.querySelectorAll('pre.code a.decl')) {
                if ((uses['#' + d.id] || 0) > (decl ? uses['#' + decl.id] : 0)) decl = d;
              }
              if (!decl) return null;
              decl.scrollIntoView();
              decl.focus();
              return decl.textContent;
            })()""")
            if found:
                break
        else:
            self.expect(False, "a page has a declaration that it refers to")
            return
        self.browser.key("Enter", "Enter", 13)
        listed = self.browser.wait_until("""(() => {
          const panel = document.querySelector('.xref-panel:not([hidden])');
          const links = panel ? panel.querySelectorAll('a.ref-line') : [];
          return links.length ? [panel.querySelector('.xref-count').textContent, links.length,
                                 links[0].getAttribute('href'), links[0].textContent] : null;
        })()""")
        if not self.expect(listed is not None, f"Enter on {found!r} opens its references panel"):
            return
        count, shown, href, text = listed
        total = re.match(r"(\d+) references? in \d+ files?\.", count)
        self.expect(total is not None and int(total.group(1)) >= shown,
                    "the panel gives the count first", count)
        self.expect(found.lower() in text.lower(), "a listed reference shows its line's text",
                    text)
        if total and int(total.group(1)) > PANEL_STEP:
            self.expect(shown == PANEL_STEP, f"the panel shows the first {PANEL_STEP}", str(shown))
            more = self.browser.evaluate("""(() => {
              const button = document.querySelector('.xref-panel .xref-more');
              if (!button) return null;
              button.click();
              return true;
            })()""")
            after = self.browser.wait_until(
                "document.querySelectorAll('.xref-panel a.ref-line').length > %d && "
                "document.querySelectorAll('.xref-panel a.ref-line').length" % PANEL_STEP)
            self.expect(more and after == min(int(total.group(1)), 2 * PANEL_STEP),
                        "a button shows more", str(after))
        self.browser.evaluate("document.querySelector('.xref-panel a.ref-line').click()")
        line = href.rsplit("#", 1)[1]
        arrived = self.browser.wait_until(f"""location.hash === '#{line}' &&
          document.readyState === 'complete' && document.getElementById('{line}') &&
          document.getElementById('{line}').textContent""")
        self.expect(bool(arrived) and found.lower() in str(arrived).lower(),
                    "following a listed reference opens its line", str(arrived))
        self.no_errors("references panel")

    def symbol_search(self):
        """Finds a declaration with the search box and opens it by keyboard."""
        shared = next(self.site.glob("*/symbols.js"), None)
        if not self.expect(shared is not None, "the site has a symbol list"):
            return
        text = shared.read_text(encoding="utf-8")
        symbols = json.loads(re.fullmatch(r'\s*lexiformData\("s",\s*(\[.*\])\);\s*', text,
                                          re.S).group(1).replace(",\n]", "\n]"))
        if not self.expect(symbols, "the symbol list names declarations"):
            return
        name, _, page, anchor = next((s for s in symbols if "." in s[0]), symbols[0])
        files = read_file_list(self.site)
        target = [str(self.site / urllib.parse.unquote(files[page][0])), f"s{anchor}"]
        self.browser.open((self.site / "index.html").as_uri())
        self.browser.evaluate("document.querySelector('.search-box').focus()")
        self.browser.call("Input.insertText", text=name)
        shown = self.browser.wait_until("""(() => {
          const items = [...document.querySelectorAll('.search-results [role=option] a')];
          return items.some(a => a.closest('.symbol'))
            ? items.map(a => [decodeURIComponent(new URL(a.href).pathname),
                              new URL(a.href).hash.slice(1)]) : null;
        })()""")
        if not self.expect(shown is not None and target in shown,
                           f"searching {name!r} lists the declaration", str(shown)[:200]):
            return
        for _ in range(shown.index(target)):
            self.browser.key("ArrowDown", "ArrowDown", 40)
        self.browser.key("Enter", "Enter", 13)
        arrived = self.browser.wait_until(f"""decodeURIComponent(location.pathname) ===
          {json.dumps(target[0])} && location.hash === '#{target[1]}' &&
          document.readyState === 'complete' &&
          document.getElementById('{target[1]}').textContent""", timeout=10)
        self.expect(bool(arrived) and name.lower().endswith(str(arrived).lower()),
                    f"Enter opens the declaration of {name!r}", str(arrived))
        self.no_errors("symbol search")

    def line(self, page, number):
        if not self.expect(page is not None, f"the site has a page with line {number}"):
            return
        line_id = f"L{number}"
        self.browser.open(page.as_uri() + "#" + line_id)
        time.sleep(0.2)
        self.expect(self.browser.evaluate(IN_VIEW % json.dumps(line_id)),
                    f"{page.relative_to(self.site)}#{line_id} shows line {number}")
        target = self.browser.evaluate(f"""(() => {{
          const line = document.getElementById('{line_id}');
          const other = line.previousElementSibling || line.nextElementSibling;
          return [getComputedStyle(line).backgroundColor,
                  other ? getComputedStyle(other).backgroundColor : null,
                  getComputedStyle(line, '::before').content];
        }})()""")
        self.expect(target[0] != target[1], "the line is highlighted", str(target[:2]))
        self.expect(target[2] not in ("none", "normal", ""),
                    "the stylesheet numbers the lines", target[2])
        copied = self.browser.evaluate("""(() => {
          const code = document.querySelector('pre.code code');
          const range = document.createRange();
          range.selectNodeContents(code);
          const selection = window.getSelection();
          selection.removeAllRanges();
          selection.addRange(range);
          const text = selection.toString();
          selection.removeAllRanges();
          // A selection leaves out the code's last line end.
          const trimmed = t => t.replace(/\\n+$/, '');
          return [trimmed(text) === trimmed(code.textContent), text.slice(0, 40)];
        })()""")
        self.expect(copied[0], "copying the code copies no line numbers", repr(copied[1]))
        point = self.browser.evaluate(f"""(() => {{
          const line = document.getElementById('L{number - 1}');
          const box = line.getBoundingClientRect();
          return [box.left + 4, box.top + box.height / 2];
        }})()""")
        for kind in ("mousePressed", "mouseReleased"):
            self.browser.call("Input.dispatchMouseEvent", type=kind, x=point[0], y=point[1],
                              button="left", clickCount=1)
        hash_now = self.browser.wait_until(f"location.hash === '#L{number - 1}'", timeout=2)
        self.expect(hash_now, "a click on a line's number links to that line")
        widths = self.browser.evaluate(
            "[document.documentElement.scrollWidth, document.documentElement.clientWidth]")
        self.expect(widths[0] <= widths[1], "the page does not scroll sideways", str(widths))
        self.no_errors("line")

    def dark_theme(self):
        script = """[getComputedStyle(document.documentElement).backgroundColor,
                     getComputedStyle(document.querySelector('pre.code') || document.body)
                       .backgroundColor,
                     getComputedStyle(document.querySelector('.k') || document.body).color]"""

        def scheme(value):
            self.browser.call("Emulation.setEmulatedMedia",
                              features=[{"name": "prefers-color-scheme", "value": value}])
            return self.browser.evaluate(script)

        light, dark = scheme("light"), scheme("dark")
        scheme("light")
        rgb = [int(v) for v in re.findall(r"\d+", dark[0])[:3]]
        self.expect(all(a != b for a, b in zip(light, dark)) and sum(rgb) < 3 * 80,
                    "dark theme under prefers-color-scheme", f"light {light}, dark {dark}")


# The hand-made site of --fixture.

FIXTURE_SHARED = "_lexiform"


def fixture_assets():
    """site.css and site.js as the program writes them: its own asset files."""
    assets = ROOT / "src/document/assets"
    return {name: (assets / name).read_text(encoding="utf-8") for name in ("site.css", "site.js")}


def url_of(path):
    return urllib.parse.quote(path, safe="/-._~")


def page_html(title, root, body):
    return f"""<!DOCTYPE html>
<html lang="en">
<head>
<meta charset="utf-8">
<meta name="viewport" content="width=device-width, initial-scale=1">
<title>{html.escape(title)}</title>
<link rel="stylesheet" href="{root}{FIXTURE_SHARED}/site.css">
<script src="{root}{FIXTURE_SHARED}/site.js" defer></script>
</head>
<body data-root="{root}" data-shared="{root}{FIXTURE_SHARED}/">
{body}</body>
</html>
"""


SEARCH_FORM = ('<form class="search" role="search"><input type="search" class="search-box" '
               'placeholder="Go to file" aria-label="Go to file">'
               '<ul class="search-results"></ul></form>\n')


def fixture_sources():
    """path -> list of lines of marked-up code (token classes and links)."""
    def xref(frm, to, text, others=None):
        depth = frm.count("/")
        href = html.escape("../" * depth + url_of(to) + ".html")
        if others:
            return (f'<a class="xref choice" href="{href}" title="Also: '
                    f'{html.escape(", ".join(others))}">{text}</a>')
        return f'<a class="xref" href="{href}">{text}</a>'

    unit1 = [
        '<span class="k">unit</span> unit1<span class="o">;</span>',
        '<span class="k">interface</span>',
        '<span class="k">uses</span> ' + xref("a/unit1.pp", "b/unit2.pp", "unit2")
        + '<span class="o">,</span> '
        + xref("a/unit1.pp", "b/sysutils.pp", "sysutils", ["c/sysutils.pp"])
        + '<span class="o">;</span>',
        '<span class="d">{$I ' + xref("a/unit1.pp", "a/inc/defs.inc", "inc/defs.inc")
        + '}</span>',
        '<span class="c">// ' + "a long comment that runs on and on " * 8 + '</span>',
    ]
    unit1 += [f'  x{n} <span class="o">:=</span> <span class="n">{n}</span><span class="o">;'
              f'</span> <span class="s">\'&lt;/script&gt; &amp; text\'</span>'
              for n in range(len(unit1) + 1, 151)]
    simple = lambda name: [f'<span class="k">unit</span> {name}<span class="o">;</span>',
                           '<span class="k">end</span><span class="o">.</span>']
    return {
        "a/unit1.pp": unit1,
        "a/inc/defs.inc": ['<span class="d">{$DEFINE X}</span>'],
        "b/unit2.pp": simple("unit2"),
        "b/sysutils.pp": simple("sysutils"),
        "c/sysutils.pp": simple("sysutils"),
        "main.pas": ['<span class="k">program</span> main<span class="o">;</span>'],
        'we ird "#%.pas': simple("weird"),
        "n\u00e3o.pas": simple("nao"),
    }


def crumbs(path):
    parts = path.split("/")
    root = "../" * (len(parts) - 1)
    items = [f'<li><a href="{root}index.html">site</a></li>']
    for i in range(len(parts) - 1):
        folder = "/".join(parts[:i + 1])
        items.append(f'<li><a href="{root}index.html#{html.escape(url_of("d-" + folder))}">'
                     f'{html.escape(parts[i])}</a></li>')
    items.append(f'<li aria-current="page">{html.escape(parts[-1])}</li>')
    return f'<nav class="crumbs" aria-label="Folders"><ol>{"".join(items)}</ol></nav>\n'


def index_tree(paths, folder=""):
    files = sorted(p for p in paths if "/" not in p[len(folder):])
    folders = sorted({p[len(folder):].split("/")[0] for p in paths if "/" in p[len(folder):]})
    items = []
    for name in folders:
        inner = folder + name + "/"
        below = [p for p in paths if p.startswith(inner)]
        items.append(f'<li><details class="folder" id="d-{html.escape(inner[:-1])}"'
                     f'{" open" if name != "c" else ""}><summary>{html.escape(name)} '
                     f'<span class="count">{len(below)} files</span></summary>\n'
                     f'{index_tree(below, inner)}</details></li>')
    for path in files:
        items.append(f'<li class="file"><a href="{html.escape(url_of(path))}.html">'
                     f'{html.escape(path[len(folder):])}</a> <span class="size">1 KB</span></li>')
    return "<ul>\n" + "\n".join(items) + "\n</ul>\n"


def write_fixture(folder):
    folder.mkdir(parents=True, exist_ok=True)
    shared = folder / FIXTURE_SHARED
    shared.mkdir(exist_ok=True)
    for name, text in fixture_assets().items():
        (shared / name).write_text(text, encoding="utf-8")
    sources = fixture_sources()
    entries = [[url_of(path) + ".html", path] for path in sources]
    (shared / "files.js").write_text(
        "window.lexiformSiteFiles = [\n" + ",\n".join(json.dumps(e) for e in entries)
        + "\n];\n", encoding="utf-8")
    # No declarations: the search finds files alone.
    (shared / "xref.js").write_text('lexiformData("x",{"kinds":[],"refs":[0],"lines":[0]});\n',
                                    encoding="utf-8")
    (shared / "symbols.js").write_text('lexiformData("s",[\n]);\n', encoding="utf-8")
    used_by = {"b/unit2.pp": ["a/unit1.pp"], "a/inc/defs.inc": ["a/unit1.pp"]}
    for path, lines in sources.items():
        root = "../" * path.count("/")
        code = "\n".join(f'<span class="line" id="L{n}">{line}</span>'
                         for n, line in enumerate(lines, 1))
        users = "".join(f'<li><a href="{root}{url_of(u)}.html">{html.escape(u)}</a></li>'
                        for u in used_by.get(path, []))
        section = (f'<section class="used-by"><h2>Used by</h2><ul>{users}</ul></section>\n'
                   if users else "")
        body = (crumbs(path) + SEARCH_FORM + f"<h1>{html.escape(path)}</h1>\n"
                + f'<pre class="code"><code>{code}</code></pre>\n' + section)
        page = folder / (path + ".html")
        page.parent.mkdir(parents=True, exist_ok=True)
        page.write_text(page_html(path, root, body), encoding="utf-8")
    body = (SEARCH_FORM + "<h1>site</h1>\n" + '<nav class="tree">' + index_tree(list(sources))
            + "</nav>\n" + f'<p class="totals">{len(sources)} files</p>\n')
    (folder / "index.html").write_text(page_html("site", "", body), encoding="utf-8")


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("site", nargs="?", type=pathlib.Path)
    parser.add_argument("--fixture", type=pathlib.Path, metavar="DIR")
    parser.add_argument("--page", help="page (from the site's top) to follow links from")
    parser.add_argument("--search", help="text to type into the search box")
    parser.add_argument("--expect-page", help="page URL (from the top) to open from it")
    parser.add_argument("--panel-page",
                        help="with --xref, the page (from the top) to open a panel on")
    parser.add_argument("--xref", action="store_true",
                        help="also check the cross-references: a reference to its declaration "
                        "and back, a references panel, a declaration found by search")
    arguments = parser.parse_args()
    if arguments.fixture:
        write_fixture(arguments.fixture)
        arguments.site = arguments.fixture
        arguments.search = arguments.search or "S"
        arguments.expect_page = arguments.expect_page or "we%20ird%20%22%23%25.pas.html"
    if arguments.site is None or (arguments.search is None) != (arguments.expect_page is None):
        parser.error("give a SITE or --fixture DIR; --search and --expect-page go together")
    site = arguments.site.resolve()

    try:
        browser = SiteBrowser()
    except (OSError, RuntimeError) as error:
        print(f"check_site.py: {error}", file=sys.stderr)
        return 2
    try:
        browser.call("Emulation.setDeviceMetricsOverride", width=VIEWPORT["width"],
                     height=VIEWPORT["height"], deviceScaleFactor=1, mobile=False)
        browser.start()
        checks = Checks(browser, site)
        checks.index()
        href = checks.expand_folder()
        if href is not None:
            checks.open_file(href)
        checks.browser.open((site / "index.html").as_uri())
        checks.search(arguments.search, arguments.expect_page)
        link_page = site / arguments.page if arguments.page else page_with_links(site)
        checks.follow_links(link_page, required=arguments.page is not None)
        line_page = page_with_line(site, 120, link_page)
        if line_page is not None or arguments.page is not None:
            checks.line(line_page, 120)
        else:
            print("skip  no page of the site has line 120")
        checks.dark_theme()
        checks.no_errors("theme")
        if arguments.xref:
            pages = sorted(site.rglob("*.html"))
            checks.declaration_and_back(pages)
            panel_page = [site / arguments.panel_page] if arguments.panel_page else []
            checks.references_panel(panel_page + pages)
            checks.symbol_search()
    finally:
        browser.close()
    print(f"{site}: {checks.failures} checks failed")
    return 1 if checks.failures else 0


if __name__ == "__main__":
    sys.exit(main())
