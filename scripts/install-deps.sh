#!/usr/bin/env bash
# Installs what a fresh Debian 12 machine lacks to build and test Lexiform.
# Idempotent: packages already present are not touched, apt runs only when needed.
#   scripts/install-deps.sh            build and native test tools, and the packaging tools
#   scripts/install-deps.sh --windows  also the mingw-w64 cross compiler and Wine
#   scripts/install-deps.sh --program  only what building the program needs
#   scripts/install-deps.sh --html5    also the HTML5 checkers (html5lib, the Nu HTML
#                                      Checker with a Java runtime), headless Chromium
#                                      and the FPC sources they check documents of,
#                                      and the Free Pascal compiler
# The flags may be combined. The Nu HTML Checker comes from npm into build/tools, inside
# the work tree, never globally, without its install script (which would fetch a Java
# runtime of its own): scripts/check-html5.sh finds it there and runs it with Debian's.
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(cmake ninja-build g++)
testing=(clang clang-format libgtest-dev libgmock-dev libbenchmark-dev dpkg-dev)
want_html5=no
want_locales=no
[[ "${1:-}" == "--program" ]] || packages+=("${testing[@]}")
for flag in "$@"; do
  case "$flag" in
  --program) ;;
  --windows)
    # The 32-bit program is built everywhere; where the machine cannot run 32-bit
    # code, its tests run on the 64-bit build under the 64-bit Wine.
    packages+=(g++-mingw-w64-i686 g++-mingw-w64-x86-64 wine wine32:i386 wine64 locales)
    want_locales=yes
    ;;
  --html5)
    packages+=(python3-html5lib python3-websocket default-jre-headless chromium)
    # scripts/test-html5.sh documents the FPC sources' rtl/objpas folder.
    [[ -d ${FPC_ROOT:-/usr/share/fpcsrc/3.2.2} ]] || packages+=(fpc-source)
    # The cross-references' test project is compiled and run to learn how the compiler
    # binds its names.
    command -v fpc >/dev/null || packages+=(fp-compiler fp-units-rtl)
    # A Node.js from elsewhere may bring its own npm and conflict with Debian's.
    command -v npm >/dev/null || packages+=(nodejs npm)
    want_html5=yes
    ;;
  *)
    echo "install-deps.sh: unknown flag $flag" >&2
    exit 2
    ;;
  esac
done

missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$package")
  fi
done

sudo=""
[[ $(id -u) -ne 0 ]] && sudo="sudo"
if [[ ${#missing[@]} -gt 0 ]]; then
  if printf '%s\n' "${missing[@]}" | grep -q ':i386$'; then
    if ! dpkg --print-foreign-architectures | grep -qx i386; then
      $sudo dpkg --add-architecture i386
    fi
  fi
  echo "Installing: ${missing[*]}"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}" >/dev/null
fi

# Wine takes the ANSI code page from the locale it runs under: the Windows tests of
# names run under these three (code pages 1252, 1251 and 932).
if [[ $want_locales == yes ]]; then
  for locale in en_US ru_RU ja_JP; do
    if ! locale -a | grep -qix "$locale.utf-\?8"; then
      $sudo localedef -i "$locale" -f UTF-8 "$locale.UTF-8"
    fi
  done
fi

if [[ $want_html5 == yes && ! -f build/tools/node_modules/vnu-jar/build/dist/vnu.jar ]]; then
  echo "Installing: vnu-jar (npm, into build/tools)"
  mkdir -p build/tools
  npm install --prefix build/tools --no-save --no-audit --no-fund --ignore-scripts vnu-jar >/dev/null
fi
