#!/usr/bin/env bash
# check_release_files.sh SOURCE_DIR VERSION MAGTOOL WINDOWS_E2E NODE
# The release files as `cmake --workflow --preset dist` leaves them in
# SOURCE_DIR/build/dist: every file and nothing else, the sums, the archives'
# contents, the Windows program's resources (icon, version information,
# manifest) and no debug information, the program from the zip under Wine,
# the Debian package through lintian with nothing overridden, and the
# one-file browser edition opened from disk in chromium.
set -uo pipefail
src=$1 version=$2 magtool=$3 windows_e2e=$4 node=$5
dist=$src/build/dist
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
step() { echo; echo "== $*"; }

for tool in sha256sum cmake x86_64-w64-mingw32-objdump strings lintian dpkg-deb python3; do
  command -v "$tool" >/dev/null || { echo "FAIL: $tool is missing (sh tools/setup.sh installs it)"; exit 1; }
done
[ -d "$dist" ] || { echo "FAIL: no $dist: run cmake --workflow --preset dist first"; exit 1; }
work=$(mktemp -d /tmp/qv_release.XXXXXX)
trap '[ "$failures" -eq 0 ] && rm -rf "$work" || echo "files kept in $work"' EXIT

deb=quorvaline_${version}_amd64.deb
win=quorvaline-${version}-windows-x64
web=quorvaline-${version}-web
page=quorvaline-${version}.html

step "files"
printf '%s\n' "$deb" "$win.zip" "$web.zip" "$page" SHA256SUMS | sort > "$work/expected"
(cd "$dist" && ls -1) | sort > "$work/present"
diff "$work/expected" "$work/present" || fail "build/dist holds other files than these (- expected, + present)"
ls -l "$dist"

step "sums"
(cd "$dist" && sha256sum --strict -c SHA256SUMS) || fail "SHA256SUMS does not match the files"
[ "$(wc -l < "$dist/SHA256SUMS")" -eq 4 ] || fail "SHA256SUMS does not cover the four files"

step "archives"
(cd "$work" && cmake -E tar xf "$dist/$win.zip" && cmake -E tar xf "$dist/$web.zip") || fail "unpacking the zips"
(cd "$work" && find "$win" "$web" -type f | sort) > "$work/unpacked"
printf '%s\n' "$web/index.html" "$web/index.js" "$web/index.wasm" "$win/README.txt" "$win/quorvaline.exe" |
  sort | diff - "$work/unpacked" || fail "the zips hold other files (- expected, + unpacked)"

step "the Windows program"
exe=$work/$win/quorvaline.exe
readme=$work/$win/README.txt
headers=$(x86_64-w64-mingw32-objdump -h "$exe")
grep -q ' \.rsrc ' <<< "$headers" || fail "no resource section"
grep -q ' \.debug' <<< "$headers" && fail "debug sections left in the program"
x86_64-w64-mingw32-objdump -t "$exe" | grep -q '^\[' && fail "symbols left in the program"
echo "$(stat -c %s "$exe") bytes"
for text in FileDescription 'The Quorvaline Charts' ProductVersion "$version" quorvaline.exe; do
  strings -el "$exe" | grep -qF -- "$text" || fail "no version information \"$text\""
done
grep -qF 'PerMonitorV2' "$exe" && grep -qF 'true/pm' "$exe" || fail "no manifest with per-monitor DPI awareness"
python3 - "$exe" "$src/dist/icons/256x256/quorvaline.png" "$src/dist/icons/16x16/quorvaline.png" <<'PY' || fail "the icons are not in the program"
import sys
exe = open(sys.argv[1], 'rb').read()
for png in sys.argv[2:]:
    if open(png, 'rb').read() not in exe:
        sys.exit(f"{png} is not in the program")
PY

step "README.txt"
for text in 'F1 ... F12' 'Escape' 'PgUp' 'FLASHING' 'MIT License' 'Permission is hereby granted'; do
  grep -qF -- "$text" "$readme" || fail "README.txt lacks \"$text\""
done
[ "$(grep -c $'\r$' "$readme")" -eq "$(wc -l < "$readme")" ] || fail "README.txt does not end its lines as Windows does"

step "the program from the zip under Wine"
QV_EXE=$exe sh "$src/tests/wine/under_wine.sh" "$src/build/windows" 800x600x24 "$windows_e2e" \
  --gtest_filter='WindowsEditionUnderWine.TitleIntro*'
status=$?
[ "$status" -eq 0 ] || fail "the zip's program under Wine (status $status)"

step "the Debian package"
dpkg-deb -c "$dist/$deb" | grep -q 'lintian/overrides' && fail "the package overrides lintian"
lintian --no-override --fail-on error,warning --display-info "$dist/$deb" 2>&1 | grep -v 'running with root privileges'
[ "${PIPESTATUS[0]}" -eq 0 ] || fail "lintian reports errors or warnings"

step "the one-file browser edition from disk"
grep -q '<script src=' "$dist/$page" && fail "the page loads a script file"
"$node" "$src/tests/dist/single_page.mjs" --page "$dist/$page" --magtool "$magtool" \
  --node-modules "$src/build/node/node_modules" || fail "the page from file://"

echo
if [ "$failures" -ne 0 ]; then echo "$failures check(s) failed"; exit 1; fi
echo "release files checked"
