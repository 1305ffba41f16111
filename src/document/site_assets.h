#pragma once

#include <string>
#include <string_view>
#include <vector>

// The shared files of a code site: the stylesheet and script every page loads, and the
// list of files that the search box looks through. They live once, in the site's shared
// folder; pages name them relative to their own place.
//
// Note [site markup]
// The script and the stylesheet rely on this shape of every page and of the index:
// - <body data-root="R">, R the relative way from the page to the site's top ("" for the
//   index, "../" one folder down, ...); the shared folder is R + the shared folder name,
//   which pages also give as <body data-shared="R_lexiform/"> (the name may differ when a
//   source folder takes it).
// - <form class="search" role="search"> holding <input type="search" class="search-box">
//   and an empty <ul class="search-results">; the script fills the list, and loads the
//   file list by adding <script src="{shared}files.js"> on first use (no fetch: pages
//   work from file://).
// - Pages: <nav class="crumbs">, then <pre class="code"><code> with one
//   <span class="line" id="L<N>">...</span> per line (numbers shown by the stylesheet,
//   not copied with the code), then an optional <section class="used-by">.
// - The index: nested <details class="folder" id="d-<path>" open><summary>...</summary>
//   <ul>...</ul></details>, one <li class="file"> per page; usable without the script.
// - Token classes are those of the HTML5 document (k, c, d, n, s, o, a); links between
//   files are <a class="xref" href="...">, a choice among several also has class
//   "choice" and a title naming the others.
// - Cross-references: a declared name is <a class="decl" id="s<N>" href="...">, N
//   counting the page's declarations from 1 in text order, its href leading to its
//   counterpart (or to itself); a click on it opens the references panel (an
//   <aside class="xref-panel"> the script adds). A name that refers to a declaration is
//   <a href="page.html#s<N>" title="kind, line L"> (no class), an uncertain one of
//   class "u". <main data-page="P"> gives the page's place in files.js; the panel's and
//   the symbol search's data are scripts in the shared folder (Note [xref data]).
// Details the shared files also rely on:
// - Every page's <head> loads <link rel="stylesheet" href="{shared}site.css"> and
//   <script src="{shared}site.js" defer></script> (the script also works at the end of
//   <body>); files.js assigns window.lexiformSiteFiles = [[url, path], ...], the url from
//   the site's top, which the script prefixes with data-root.
// - The stylesheet numbers lines with a counter: a page's code holds every line, in
//   order from L1, as one span.line, so that the shown numbers and the ids agree.
// - The breadcrumb may be a list, <nav class="crumbs"><ol><li><a href="R index.html">..
//   with the page's own name as <li aria-current="page">; its folders link to
//   index.html#d-<path>, and the script opens the closed folders around such a target.
// - Muted small texts (sizes, line and file counts, states, totals) carry the class
//   "size", "lines", "count", "state" or "totals"; entries that are not pages carry
//   "missing" or "unreadable".
namespace lexiform {

struct SiteAsset {
  std::string_view name; // within the shared folder
  std::string_view text;
};

// The stylesheet ("site.css") and the script ("site.js").
const std::vector<SiteAsset>& SiteStaticAssets();

struct SiteSearchEntry {
  std::string url;  // the page's URL from the site's top, percent-encoded, '/' separated
  std::string path; // the source's path as shown (UTF-8), e.g. "unix/classes.pp"
};

// Appends `text` as a JSON string that is also safe within a script element: "<" and
// ">" escaped, and bytes that are not UTF-8 as U+FFFD.
void AppendJsonString(std::string& json, std::string_view text);

// The contents of "files.js": a script that hands the list to the page script, in the
// order given.
std::string SiteSearchData(const std::vector<SiteSearchEntry>& files);

} // namespace lexiform
