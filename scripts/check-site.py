#!/usr/bin/python3
"""Checks a code site that Lexiform wrote (`-site`) as a whole:

    scripts/check-site.py SITE [--html5lib-sample N] [--vnu-sample N] [--vnu-jar JAR]

1. every page parses without a single error under html5lib (Debian's python3-html5lib),
   all pages by default, or N of them spread evenly over the sorted list (the index
   always among them);
2. the index links every page, and every page links back to the index;
3. every link, stylesheet and script of every page leads to a file of the site, and a
   link with a fragment to an id that the target page holds (URLs percent-decoded); no
   page holds an id twice; no link leaves the site;
4. every page's <body data-root> leads to the site's top and its data-shared folder holds
   files.js, whose list names every page once and nothing else;
5. every reference (a link to "#s<N>", without a class or of class "u") leads to a
   declaration (an a.decl) of the same name, with
   an id s<N>;
6. with --expect-link PAGE:NAME=TARGET, the page PAGE links the name NAME (an a.xref or
   a reference whose text holds it as a word) to the page TARGET;
7. with --vnu-sample N, N pages (the index and pages spread evenly) pass the Nu HTML
   Checker as scripts/check-html5.sh runs it (vnu.jar with Debian's Java).

Exits 0 when every check passes, 1 when one fails, 2 when it cannot check.
"""

import argparse
import html.parser
import json
import multiprocessing
import os
import pathlib
import posixpath
import re
import subprocess
import sys
import urllib.parse

ROOT = pathlib.Path(__file__).resolve().parent.parent
DEFAULT_VNU_JAR = ROOT / "build/tools/node_modules/vnu-jar/build/dist/vnu.jar"
SHOWN_PER_KIND = 20


class Problems:
    def __init__(self):
        self.counts = {}

    def add(self, kind, text):
        count = self.counts.get(kind, 0) + 1
        self.counts[kind] = count
        if count <= SHOWN_PER_KIND:
            print(f"{kind}: {text}")
        elif count == SHOWN_PER_KIND + 1:
            print(f"{kind}: ... (more not shown)")

    def total(self):
        return sum(self.counts.values())


class PageLinks(html.parser.HTMLParser):
    """The ids, the URLs (links, stylesheets, scripts) and the body's data-* of a page."""

    def __init__(self):
        super().__init__(convert_charrefs=True)
        self.ids = []
        self.urls = []
        self.body = {}
        self.xrefs = []  # [href, text] of each a.xref
        self.references = []  # [href, text, uncertain] of each link to a declaration
        self.declarations = {}  # id -> text of each a.decl
        self.in_link = None  # the text of the link being read goes here

    def handle_starttag(self, tag, attrs):
        attributes = dict(attrs)
        classes = (attributes.get("class") or "").split()
        if tag == "a" and "xref" in classes:
            self.xrefs.append([attributes.get("href") or "", ""])
            self.in_link = self.xrefs[-1]
        elif (tag == "a" and classes in ([], ["u"])
              and re.search(r"#s[0-9]+$", attributes.get("href") or "")):
            self.references.append([attributes.get("href") or "", "", "u" in classes])
            self.in_link = self.references[-1]
        elif tag == "a" and "decl" in classes:
            self.in_link = [attributes.get("id"), ""]
            self.declarations[attributes.get("id")] = self.in_link
        if attributes.get("id") is not None:
            self.ids.append(attributes["id"])
        if tag == "body":
            self.body = attributes
        url_attribute = {"a": "href", "link": "href", "script": "src", "img": "src"}.get(tag)
        if url_attribute and attributes.get(url_attribute) is not None:
            self.urls.append((tag, attributes[url_attribute]))

    handle_startendtag = handle_starttag

    def handle_endtag(self, tag):
        if tag == "a":
            self.in_link = None

    def handle_data(self, data):
        if self.in_link is not None:
            self.in_link[1] += data


def read_page(path):
    parser = PageLinks()
    parser.feed(path.read_bytes().decode("utf-8", errors="replace"))
    parser.close()
    return parser


def spread_sample(items, count, first=None):
    """`count` items spread evenly over `items`, `first` (if given) among them."""
    rest = [item for item in items if item != first]
    chosen = [first] if first is not None else []
    wanted = max(0, count - len(chosen))
    if wanted >= len(rest):
        return chosen + rest
    step = len(rest) / wanted if wanted else 0
    return chosen + [rest[int(i * step)] for i in range(wanted)]


def page_parse_errors(page):
    import html5lib

    parser = html5lib.HTMLParser(strict=False)
    with open(page, "rb") as document:
        parser.parse(document)
    return [f"{line}:{column}: {code} {data}" for (line, column), code, data in parser.errors]


def html5lib_errors(pages, site, jobs, problems):
    with multiprocessing.Pool(jobs) as pool:
        for page, errors in zip(pages, pool.imap(page_parse_errors, pages, chunksize=4)):
            for error in errors:
                problems.add("html5lib", f"{page.relative_to(site)}:{error}")
    print(f"html5lib: parsed {len(pages)} pages")


def vnu_errors(pages, jar, problems):
    if not jar.is_file():
        problems.add("vnu", f"no vnu.jar at {jar}: run scripts/install-deps.sh --html5")
        return
    result = subprocess.run(["java", "-jar", str(jar), "--errors-only", "--format", "gnu"]
                            + [str(page) for page in pages],
                            stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
    for line in result.stdout.splitlines():
        problems.add("vnu", line)
    if result.returncode != 0 and not result.stdout.strip():
        problems.add("vnu", f"exit status {result.returncode}")
    print(f"vnu: checked {len(pages)} pages")


def resolve(site, page, url, problems):
    """The file a relative URL of `page` names, and its fragment; None for a link that
    leaves the site or names no file."""
    parts = urllib.parse.urlsplit(url)
    where = f"{page.relative_to(site)}: {url!r}"
    if parts.scheme or parts.netloc:
        problems.add("link", f"{where} leaves the site")
        return None
    if parts.query:
        problems.add("link", f"{where} has a query")
    fragment = urllib.parse.unquote(parts.fragment) if parts.fragment else None
    if parts.path == "":
        return page, fragment
    if parts.path.startswith("/"):
        problems.add("link", f"{where} is absolute")
        return None
    relative = urllib.parse.unquote_to_bytes(parts.path)
    start = os.fsencode(page.parent.relative_to(site).as_posix())
    joined = posixpath.normpath(posixpath.join(start, relative))
    if joined == b".." or joined.startswith(b"../"):
        problems.add("link", f"{where} leaves the site")
        return None
    target = site / os.fsdecode(joined)
    if not target.is_file():
        problems.add("link", f"{where} names no file ({os.fsdecode(joined)})")
        return None
    return target, fragment


def check_expected_links(site, read, expected, problems):
    """Each PAGE:NAME=TARGET: PAGE has an a.xref or a link to a declaration whose text
    holds NAME as a whole word (letter case ignored) and that leads to TARGET (paths from
    the site's top)."""
    for item in expected:
        match = re.fullmatch(r"([^:]+):([^=]+)=(.+)", item)
        if not match:
            problems.add("expected link", f"{item!r} is not PAGE:NAME=TARGET")
            continue
        page, name, target = site / match.group(1), match.group(2), site / match.group(3)
        word = re.compile(r"(?<![\w.])" + re.escape(name) + r"(?![\w.])", re.I)
        if page not in read:
            problems.add("expected link", f"no page {match.group(1)}")
            continue
        found = []
        links = read[page].xrefs + [[href, text] for href, text, _ in read[page].references]
        for href, text in links:
            if word.search(text):
                resolved = resolve(site, page, href, Problems())
                found.append(href)
                if resolved and resolved[0] == target:
                    break
        else:
            problems.add("expected link", f"{match.group(1)}: {name} leads to {sorted(set(found))[:5] or 'nothing'}"
                         f", not {match.group(3)}")
    if expected:
        print(f"expected links: {len(expected)} checked")


def check_references(site, read, problems):
    """Every reference leads to an a.decl of the same name (letter case ignored); every
    a.decl has an id of the form s<N>."""
    declarations = references = uncertain = 0
    for page, links in read.items():
        where = page.relative_to(site)
        for id_, _ in links.declarations.values():
            declarations += 1
            if not re.fullmatch(r"s[1-9][0-9]*", id_ or ""):
                problems.add("declaration", f"{where}: id {id_!r}")
        for href, text, unsure in links.references:
            references += 1
            uncertain += unsure
            resolved = resolve(site, page, href, Problems())
            if resolved is None or resolved[1] is None:
                problems.add("reference", f"{where}: {text!r} links to {href!r}, no declaration")
                continue
            target, fragment = resolved
            declared = read.get(target, PageLinks()).declarations.get(fragment)
            if declared is None:
                problems.add("reference", f"{where}: {text!r} links to {href!r}, where no "
                             "declaration has that id")
            elif declared[1].lower() != text.lower():
                problems.add("reference", f"{where}: {text!r} links to {href!r}, which "
                             f"declares {declared[1]!r}")
    share = f", {100 * uncertain / references:.1f}% uncertain" if references else ""
    print(f"cross-references: {declarations} declarations, {references} references{share}")


def files_list(shared_folder, problems):
    path = shared_folder / "files.js"
    try:
        text = path.read_text(encoding="utf-8")
    except (OSError, UnicodeDecodeError) as error:
        problems.add("files.js", f"{path}: {error}")
        return None
    match = re.fullmatch(r"\s*window\.lexiformSiteFiles\s*=\s*(\[.*\])\s*;\s*", text, re.S)
    try:
        entries = json.loads(match.group(1)) if match else None
    except json.JSONDecodeError as error:
        entries = None
        problems.add("files.js", f"{path}: {error}")
    if not isinstance(entries, list) or not all(
            isinstance(e, list) and len(e) == 2 and all(isinstance(f, str) for f in e)
            for e in entries):
        problems.add("files.js", f"{path}: not a list of [url, path] pairs")
        return None
    return entries


def check_file_list(site, shared_folder, pages, index, problems):
    entries = files_list(shared_folder, problems)
    if entries is None:
        return
    named = []
    for url, shown in entries:
        target = site / os.fsdecode(urllib.parse.unquote_to_bytes(url))
        if urllib.parse.urlsplit(url).scheme or not target.is_file():
            problems.add("files.js", f"{url!r} ({shown!r}) names no page")
        named.append(target.resolve())
    expected = {page.resolve() for page in pages if page != index}
    for page in sorted(expected - set(named)):
        problems.add("files.js", f"{page.relative_to(site.resolve())} is not in the list")
    if len(named) != len(set(named)):
        problems.add("files.js", "a page is listed more than once")
    print(f"files.js: {len(entries)} files")


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("site", type=pathlib.Path)
    parser.add_argument("--html5lib-sample", type=int, default=None, metavar="N",
                        help="parse N pages with html5lib (default: all)")
    parser.add_argument("--expect-link", action="append", default=[],
                        metavar="PAGE:NAME=TARGET",
                        help="PAGE (from the top) links NAME to the page TARGET")
    parser.add_argument("--jobs", type=int, default=os.cpu_count() or 1, metavar="N",
                        help="html5lib parses in N processes (default: one per core)")
    parser.add_argument("--vnu-sample", type=int, default=0, metavar="N",
                        help="check N pages with the Nu HTML Checker (default: none)")
    parser.add_argument("--vnu-jar", type=pathlib.Path,
                        default=pathlib.Path(os.environ.get("VNU_JAR", DEFAULT_VNU_JAR)))
    arguments = parser.parse_args()

    site = arguments.site
    index = site / "index.html"
    if not index.is_file():
        print(f"check-site.py: no index.html in {site}", file=sys.stderr)
        return 2
    try:
        import html5lib  # noqa: F401
    except ImportError:
        print("check-site.py: html5lib is missing: run scripts/install-deps.sh --html5",
              file=sys.stderr)
        return 2
    pages = sorted(site.rglob("*.html"))
    problems = Problems()

    read = {page: read_page(page) for page in pages}
    ids = {}
    for page, links in read.items():
        ids[page] = set(links.ids)
        if len(ids[page]) != len(links.ids):
            seen = set()
            twice = {i for i in links.ids if i in seen or seen.add(i)}
            problems.add("id", f"{page.relative_to(site)}: ids twice: {sorted(twice)[:5]}")

    shared_folders = set()
    linked_from_index = set()
    link_count = 0
    for page, links in read.items():
        where = page.relative_to(site)
        links_to_index = False
        for tag, url in links.urls:
            link_count += 1
            resolved = resolve(site, page, url, problems)
            if resolved is None:
                continue
            target, fragment = resolved
            if fragment and target.suffix == ".html" and fragment not in ids.get(target, ()):
                problems.add("fragment", f"{where}: {url!r}: no id {fragment!r} in "
                             f"{target.relative_to(site)}")
            if tag == "a" and target == index:
                links_to_index = True
            if tag == "a" and page == index:
                linked_from_index.add(target)
        if page != index and not links_to_index:
            problems.add("index", f"{where} has no link back to index.html")
        root = links.body.get("data-root")
        shared = links.body.get("data-shared")
        if root is None or shared is None:
            problems.add("body", f"{where}: <body> lacks data-root or data-shared")
            continue
        depth = len(where.parts) - 1
        if root != "../" * depth:
            problems.add("body", f"{where}: data-root {root!r} does not lead to the top")
        folder = (page.parent / urllib.parse.unquote(shared)).resolve()
        if not shared.startswith(root) or not (folder / "files.js").is_file():
            problems.add("body", f"{where}: data-shared {shared!r} holds no files.js")
        else:
            shared_folders.add(folder)
    for page in pages:
        if page != index and page not in linked_from_index:
            problems.add("index", f"index.html does not link {page.relative_to(site)}")
    print(f"links: {len(pages)} pages, {link_count} links and resources")

    if len(shared_folders) > 1:
        problems.add("body", f"more than one shared folder: {sorted(map(str, shared_folders))}")
    for folder in shared_folders:
        check_file_list(site, folder, pages, index, problems)

    check_expected_links(site, read, arguments.expect_link, problems)
    check_references(site, read, problems)

    sample = pages if arguments.html5lib_sample is None else spread_sample(
        pages, arguments.html5lib_sample, index)
    html5lib_errors(sample, site, max(1, arguments.jobs), problems)
    if arguments.vnu_sample > 0:
        vnu_errors(spread_sample(pages, arguments.vnu_sample, index), arguments.vnu_jar,
                   problems)

    summary = ", ".join(f"{kind} {count}" for kind, count in sorted(problems.counts.items()))
    print(f"{site}: {problems.total()} problems" + (f" ({summary})" if summary else ""))
    return 1 if problems.total() else 0


if __name__ == "__main__":
    sys.exit(main())
