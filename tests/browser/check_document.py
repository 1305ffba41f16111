#!/usr/bin/python3
"""Opens an HTML5 document of Lexiform in headless Chromium and checks it as a reader
uses it:

    tests/browser/check_document.py DOCUMENT [--source FILE]... [--expect TEXT]...
                                    [--screenshot PNG]

- the page renders in standards mode (document.compatMode is "CSS1Compat");
- the page itself never scrolls sideways, however long a line is;
- following the index link of the last file, and a link to the last line of the first
  file, brings the target into view;
- under prefers-color-scheme: dark the page takes other, dark colours;
- the n-th --source is the source of the n-th section: selecting that section's code
  gives the source's text (read as UTF-8, else windows-1252, less a byte-order mark),
  without line numbers;
- every --expect text is shown on the page.

Needs Debian's chromium and python3-websocket (scripts/install-deps.sh --html5).
Exits 0 when every check passes, 1 when one fails, 2 when the browser cannot be run.
"""

import argparse
import base64
import itertools
import json
import os
import pathlib
import re
import shutil
import subprocess
import sys
import tempfile
import time
import urllib.request

import websocket

VIEWPORT = {"width": 900, "height": 500}


class Browser:
    """A headless Chromium with one page, driven over the DevTools protocol."""

    def __init__(self):
        chromium = shutil.which("chromium") or shutil.which("chromium-browser")
        if chromium is None:
            raise RuntimeError("chromium not found: run scripts/install-deps.sh --html5")
        self.profile = tempfile.mkdtemp(prefix="lexiform-chromium-")
        self.process = subprocess.Popen(
            [chromium, "--headless=new", "--no-sandbox", "--disable-gpu",
             "--no-first-run", "--no-default-browser-check", "--remote-debugging-port=0",
             "--remote-allow-origins=*", f"--user-data-dir={self.profile}", "about:blank"],
            stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
        port = self._devtools_port()
        # Large documents (tens of MB) take a while to load and lay out.
        self.socket = websocket.create_connection(self._page_socket_url(port), timeout=600)
        self.ids = itertools.count(1)

    def _devtools_port(self):
        deadline = time.monotonic() + 30
        for line in self.process.stderr:
            match = re.search(r"DevTools listening on ws://[^:]+:(\d+)/", line)
            if match:
                return int(match.group(1))
            if time.monotonic() > deadline:
                break
        raise RuntimeError("chromium did not start its DevTools server")

    @staticmethod
    def _page_socket_url(port):
        for _ in range(50):
            with urllib.request.urlopen(f"http://127.0.0.1:{port}/json/list") as answer:
                pages = [t for t in json.load(answer) if t.get("type") == "page"]
            if pages:
                return pages[0]["webSocketDebuggerUrl"]
            time.sleep(0.1)
        raise RuntimeError("chromium has no page")

    def call(self, method, **params):
        call_id = next(self.ids)
        self.socket.send(json.dumps({"id": call_id, "method": method, "params": params}))
        while True:
            message = json.loads(self.socket.recv())
            if message.get("id") == call_id:
                if "error" in message:
                    raise RuntimeError(f"{method}: {message['error']}")
                return message.get("result", {})

    def wait_for_event(self, method):
        while True:
            message = json.loads(self.socket.recv())
            if message.get("method") == method:
                return message.get("params", {})

    def evaluate(self, expression):
        result = self.call("Runtime.evaluate", expression=expression, returnByValue=True,
                           awaitPromise=True)
        if "exceptionDetails" in result:
            raise RuntimeError(f"script failed: {result['exceptionDetails']}")
        return result["result"].get("value")

    def open(self, url):
        self.call("Page.enable")
        self.call("Page.navigate", url=url)
        self.wait_for_event("Page.loadEventFired")

    def close(self):
        try:
            self.socket.close()
        finally:
            self.process.terminate()
            self.process.wait(timeout=10)
            shutil.rmtree(self.profile, ignore_errors=True)


def source_text(path):
    data = pathlib.Path(path).read_bytes()
    data = data.split(b"\0", 1)[0]
    try:
        text = data.decode("utf-8")
    except UnicodeDecodeError:
        text = data.decode("cp1252", errors="replace")
    text = text.removeprefix("\ufeff")
    return text.replace("\r\n", "\n").replace("\r", "\n")


IN_VIEW = """(id => {
  const box = document.getElementById(id).getBoundingClientRect();
  return box.top >= 0 && box.top < window.innerHeight;
})(%s)"""


class Checks:
    def __init__(self, browser):
        self.browser = browser
        self.failures = 0

    def expect(self, passed, what, detail=""):
        print(("ok    " if passed else "FAIL  ") + what + (f": {detail}" if detail else ""))
        self.failures += 0 if passed else 1

    def standards_mode(self):
        mode = self.browser.evaluate("document.compatMode")
        self.expect(mode == "CSS1Compat", "standards mode", mode)

    def no_sideways_page_scroll(self):
        widths = self.browser.evaluate(
            "[document.documentElement.scrollWidth, document.documentElement.clientWidth]")
        self.expect(widths[0] <= widths[1], "the page does not scroll sideways",
                    f"scrollWidth {widths[0]}, clientWidth {widths[1]}")

    def follow(self, what, link_script):
        """Clicks the link that `link_script` finds, after scrolling to the top."""
        target = self.browser.evaluate(f"""(() => {{
          window.scrollTo(0, 0);
          const link = {link_script};
          return link ? decodeURIComponent(link.hash.slice(1)) : null;
        }})()""")
        if target is None:
            self.expect(False, what, "no such link")
            return
        before = self.browser.evaluate(IN_VIEW % json.dumps(target))
        self.browser.evaluate(f"({link_script}).click()")
        time.sleep(0.2)
        after = self.browser.evaluate(IN_VIEW % json.dumps(target))
        note = " (in view before already: the page is too short to tell)" if before else ""
        self.expect(after, what, "#" + target + note)

    def links(self):
        self.follow("index link brings its file into view",
                    "[...document.querySelectorAll('#index a[href^=\"#\"]')].pop()")
        self.follow("line link brings its line into view", """(() => {
            const made = document.getElementById('check-line-link');
            if (made) return made;
            const lines = document.querySelectorAll('section')[0].querySelectorAll('.line');
            if (lines.length === 0) return null;
            const a = document.createElement('a');
            a.id = 'check-line-link';
            a.href = '#' + lines[lines.length - 1].id;
            document.body.prepend(a);
            return a;
          })()""")

    def colours(self):
        script = ("[getComputedStyle(document.documentElement).backgroundColor,"
                  " getComputedStyle(document.querySelector('pre') || document.body).color]")
        scheme = lambda value: self.browser.call(
            "Emulation.setEmulatedMedia",
            features=[{"name": "prefers-color-scheme", "value": value}])
        scheme("light")
        light = self.browser.evaluate(script)
        scheme("dark")
        dark = self.browser.evaluate(script)
        scheme("light")
        rgb = [int(v) for v in re.findall(r"\d+", dark[0])[:3]]
        self.expect(light != dark and sum(rgb) < 3 * 80, "dark theme under prefers-color-scheme",
                    f"light {light}, dark {dark}")

    def copied_code(self, sources):
        for number, path in enumerate(sources):
            copied = self.browser.evaluate(f"""(() => {{
              const code = document.querySelectorAll('section pre code')[{number}];
              if (!code) return null;
              const range = document.createRange();
              range.selectNodeContents(code);
              const selection = window.getSelection();
              selection.removeAllRanges();
              selection.addRange(range);
              return selection.toString();
            }})()""")
            expected = source_text(path)
            detail = path
            if copied is not None and copied != expected:
                at = next((i for i, (a, b) in enumerate(zip(copied, expected)) if a != b),
                          min(len(copied), len(expected)))
                detail += f": first difference at {at}: {copied[at:at + 40]!r}"
                detail += f" instead of {expected[at:at + 40]!r}"
            self.expect(copied == expected, f"copying section {number + 1} gives its source",
                        detail)

    def shown_texts(self, texts):
        shown = self.browser.evaluate("document.body.innerText")
        for text in texts:
            self.expect(text in shown, "the page shows " + repr(text))

    def screenshot(self, path):
        data = self.browser.call("Page.captureScreenshot", format="png")["data"]
        pathlib.Path(path).write_bytes(base64.b64decode(data))


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("document")
    parser.add_argument("--source", action="append", default=[])
    parser.add_argument("--expect", action="append", default=[])
    parser.add_argument("--screenshot")
    arguments = parser.parse_args()

    try:
        browser = Browser()
    except (OSError, RuntimeError) as error:
        print(f"check_document.py: {error}", file=sys.stderr)
        return 2
    try:
        browser.call("Emulation.setDeviceMetricsOverride", width=VIEWPORT["width"],
                     height=VIEWPORT["height"], deviceScaleFactor=1, mobile=False)
        browser.open(pathlib.Path(arguments.document).resolve().as_uri())
        checks = Checks(browser)
        checks.standards_mode()
        checks.no_sideways_page_scroll()
        checks.links()
        checks.colours()
        checks.copied_code(arguments.source)
        checks.shown_texts(arguments.expect)
        if arguments.screenshot:
            browser.evaluate("window.scrollTo(0, 0)")
            checks.screenshot(arguments.screenshot)
    finally:
        browser.close()
    print(f"{arguments.document}: {checks.failures} checks failed")
    return 1 if checks.failures else 0


if __name__ == "__main__":
    sys.exit(main())
