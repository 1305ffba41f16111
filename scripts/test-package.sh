#!/usr/bin/env bash
# Makes the packages from built trees and checks what they hold: the Debian package
# (from a Linux build) is unpacked into a scratch root with dpkg -x, and the program
# it installs converts an example and answers --version; the .zip (from the mingw32
# build, when given) must hold lexiform.exe, README.md and LICENSE.
#
# Usage: scripts/test-package.sh [linux-build [mingw32-build]]   (default build/ci)
set -euo pipefail
cd "$(dirname "$0")/.."

linux_build=${1:-build/ci}
windows_build=${2:-}
version=$(sed -n 's/^project(.* VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)

scratch=$(mktemp -d "${TMPDIR:-/tmp}/lexiform-package.XXXXXX")
trap 'rm -rf "$scratch"' EXIT
failures=0
fail() {
  echo "test-package: $*" >&2
  failures=$((failures + 1))
}

rm -f "$linux_build"/lexiform_*.deb
(cd "$linux_build" && cpack -G DEB >"$scratch/cpack.log" 2>&1) || {
  cat "$scratch/cpack.log" >&2
  exit 1
}
deb=$(echo "$linux_build"/lexiform_*.deb)
[[ -f $deb ]] || { echo "test-package: cpack made no .deb" >&2; exit 1; }

depends=$(dpkg-deb -f "$deb" Depends)
for library in libc6 libstdc++6; do
  [[ $depends == *"$library"* ]] || fail "Depends lacks $library: $depends"
done
[[ $(dpkg-deb -f "$deb" Version) == "$version" ]] || fail "the package's version is not $version"

root=$scratch/root
dpkg -x "$deb" "$root"
for file in usr/bin/lexiform usr/share/man/man1/lexiform.1 usr/share/doc/lexiform/README.md \
  usr/share/doc/lexiform/copyright; do
  [[ -f $root/$file ]] || fail "the package lacks /$file"
done
grep -q "^\.TH LEXIFORM 1 .*lexiform $version" "$root/usr/share/man/man1/lexiform.1" ||
  fail "the manual page does not name version $version"
if command -v groff >/dev/null; then
  warnings=$(groff -man -ww -z "$root/usr/share/man/man1/lexiform.1" 2>&1)
  [[ -z $warnings ]] || fail "the manual page does not format cleanly: $warnings"
fi

# The installed program, run as a user would: its configuration in a home of its own.
program=$root/usr/bin/lexiform
export HOME=$scratch/home XDG_CONFIG_HOME=
[[ $("$program" --version) == "lexiform $version" ]] || fail "--version does not say $version"
mkdir -p "$scratch/work"
(cd "$scratch/work" && "$program" "$OLDPWD/examples/Geometry.pas" geometry >console) ||
  fail "the installed program failed on an example"
grep -q '<pre>' "$scratch/work/geometry.html" || fail "the document holds no converted text"
grep -q '     Processed files: 1$' "$scratch/work/console" || fail "no summary on the console"
[[ ! -e $root/usr/bin/lexiform.ini ]] ||
  fail "the installed program wrote its configuration into its system folder"
[[ -f $HOME/.config/lexiform/lexiform.ini ]] ||
  fail "the installed program wrote no configuration into the user's home"

if [[ -n $windows_build ]]; then
  rm -f "$windows_build"/lexiform-*-win32.zip
  (cd "$windows_build" && cpack -G ZIP >"$scratch/cpack-zip.log" 2>&1) || {
    cat "$scratch/cpack-zip.log" >&2
    exit 1
  }
  zip=$(echo "$windows_build"/lexiform-"$version"-win32.zip)
  [[ -f $zip ]] || { echo "test-package: cpack made no .zip" >&2; exit 1; }
  listing=$(python3 -m zipfile -l "$zip" | awk 'NR > 1 { print $1 }' | sort | tr '\n' ' ')
  [[ $listing == "LICENSE README.md lexiform.exe " ]] || fail "the .zip holds: $listing"
fi

if ((failures > 0)); then
  echo "test-package: $failures problem(s)" >&2
  exit 1
fi
echo "test-package: the packages hold what they should, and the installed program runs"
