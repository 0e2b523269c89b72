#!/usr/bin/env bash
# check_package.sh SOURCE_DIR BUILD_DIR VERSION
# Builds the Debian package of a release build and checks it the way Debian
# and a desktop would. QV_TEST_DISPLAY=:N picks the X display for the run
# (default: a free one between :200 and :899).
set -uo pipefail
src=$1 build=$2 version=$3
id=org.quorvaline.charts
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
step() { echo; echo "== $*"; }

for tool in cpack dpkg-deb lintian desktop-file-validate appstreamcli man identify readelf Xvfb xdotool xprop; do
  command -v "$tool" >/dev/null || { echo "FAIL: $tool is missing (sh tools/setup.sh installs it)"; exit 1; }
done

work=$(mktemp -d /tmp/qv_package.XXXXXX)
xvfb_pid="" program_pid=""
cleanup() {
  [ -n "$program_pid" ] && kill "$program_pid" 2>/dev/null
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
  wait 2>/dev/null
  if [ "$failures" -eq 0 ]; then rm -rf "$work"; else echo "files kept in $work"; fi
}
trap cleanup EXIT

step "cpack"
if [ "$(realpath "$build")" = "$(realpath "$src/build/release")" ]; then
  pkgdir=$src/build/package
  (cd "$src" && cpack --preset deb) > "$work/cpack.log" 2>&1 || { cat "$work/cpack.log"; fail "cpack --preset deb"; exit 1; }
else
  pkgdir=$build/package
  cpack --config "$build/CPackConfig.cmake" -B "$pkgdir" > "$work/cpack.log" 2>&1 || { cat "$work/cpack.log"; fail "cpack"; exit 1; }
fi
deb=$pkgdir/quorvaline_${version}_amd64.deb
[ -f "$deb" ] || { fail "no $deb"; exit 1; }
echo "$deb"

step "file list"
dpkg-deb -c "$deb" | awk '{print $1, $2, $6}' | sort -k3 > "$work/contents"
awk '$1 !~ /^d/ {print $3}' "$work/contents" > "$work/files"
expected=(./usr/games/quorvaline
  ./usr/share/applications/$id.desktop
  ./usr/share/doc/quorvaline/README.md.gz
  ./usr/share/doc/quorvaline/changelog.gz
  ./usr/share/doc/quorvaline/copyright
  ./usr/share/man/man6/quorvaline.6.gz
  ./usr/share/metainfo/$id.metainfo.xml)
for size in 16 22 24 32 48 64 128 256; do expected+=(./usr/share/icons/hicolor/${size}x${size}/apps/quorvaline.png); done
printf '%s\n' "${expected[@]}" | sort > "$work/expected"
diff "$work/expected" "$work/files" || fail "the package's files differ from the list above (- expected, + packaged)"
grep -q '^-rwxr-xr-x root/root ./usr/games/quorvaline$' "$work/contents" || fail "the program is not root-owned 0755"
bad=$(awk '$1 !~ /^[dl]/ && $3 != "./usr/games/quorvaline" && ($1 != "-rw-r--r--" || $2 != "root/root")' "$work/contents")
[ -z "$bad" ] || fail "files that are not root-owned 0644: $bad"
bad=$(awk '$1 ~ /^d/ && ($1 != "drwxr-xr-x" || $2 != "root/root")' "$work/contents")
[ -z "$bad" ] || fail "folders that are not root-owned 0755: $bad"

step "control"
dpkg-deb -f "$deb" Package Version Architecture Section Installed-Size Depends | tee "$work/control"
grep -qx "Package: quorvaline" "$work/control" || fail "package name"
grep -qx "Version: $version" "$work/control" || fail "version is not $version"
grep -qx "Architecture: amd64" "$work/control" || fail "architecture"
grep -qx "Section: games" "$work/control" || fail "section"
grep -q '^Depends:.*libsdl2-2\.0-0' "$work/control" || fail "Depends does not name SDL2's runtime package"

step "lintian"
# Nothing is overridden: whatever lintian finds counts.
lintian --no-override --fail-on error,warning --display-info "$deb" 2>&1 | grep -v 'running with root privileges' | tee "$work/lintian.log"
[ "${PIPESTATUS[0]}" -eq 0 ] || fail "lintian reports errors or warnings"

root=$work/root
mkdir -p "$root"
dpkg-deb -x "$deb" "$root"

# Installed-Size as dpkg counts it: a KiB per started KiB of each file, one
# for each folder and link.
installed=$(sed -n 's/^Installed-Size: //p' "$work/control")
counted=$(find "$root" -mindepth 1 \( -type f -printf '%s\n' -o -printf '1024\n' \) |
          awk '{ k += int(($1 + 1023) / 1024) } END { print k }')
echo "Installed-Size $installed KiB, files $counted KiB"
[ -n "$installed" ] && [ "$installed" -ge $((counted * 95 / 100)) ] && [ "$installed" -le $((counted * 105 / 100 + 4)) ] ||
  fail "Installed-Size $installed KiB, the files take $counted KiB"

step "desktop entry"
out=$(desktop-file-validate "$root/usr/share/applications/$id.desktop" 2>&1) || fail "desktop-file-validate"
[ -z "$out" ] || { echo "$out"; fail "desktop-file-validate has remarks"; }
grep -qx 'Exec=quorvaline' "$root/usr/share/applications/$id.desktop" || fail "Exec is not the installed program"
grep -qx 'Icon=quorvaline' "$root/usr/share/applications/$id.desktop" || fail "Icon is not the installed icon"
grep -qx 'StartupWMClass=quorvaline' "$root/usr/share/applications/$id.desktop" || fail "StartupWMClass is not quorvaline"

step "AppStream"
appstreamcli validate --no-net --pedantic "$root/usr/share/metainfo/$id.metainfo.xml" || fail "appstreamcli validate"
grep -q "<release version=\"$version\"" "$root/usr/share/metainfo/$id.metainfo.xml" || fail "no AppStream release $version"
grep -q 'flash full-screen' "$root/usr/share/metainfo/$id.metainfo.xml" || fail "no photosensitivity warning in AppStream"

step "manual page"
MANWIDTH=80 man --warnings -l "$root/usr/share/man/man6/quorvaline.6.gz" > "$work/man.txt" 2> "$work/man.err" || fail "man -l"
[ -s "$work/man.err" ] && { cat "$work/man.err"; fail "man reports formatting warnings"; }
for text in 'QUORVALINE(6)' 'KEYS AND BUTTONS' 'EXIT STATUS' '255' 'SDL_VIDEODRIVER' 'SDL_AUDIODRIVER' 'flash' "quorvaline $version"; do
  grep -q -- "$text" "$work/man.txt" || fail "the manual page lacks \"$text\""
done
head -12 "$work/man.txt"
# Every file the manual page sends the reader to is in the package.
for named in $(zcat "$root/usr/share/man/man6/quorvaline.6.gz" | grep -o '/usr/share/[^ ]*' | sort -u); do
  [ -e "$root$named" ] || fail "the manual page names $named, which the package lacks"
done
grep -q 'README.md.gz' "$work/man.txt" || fail "the manual page does not name the README"

step "changelog and copyright"
changelog_version=$(zcat "$root/usr/share/doc/quorvaline/changelog.gz" | dpkg-parsechangelog -l- -S Version 2>&1)
[ "$changelog_version" = "$version" ] || fail "changelog version $changelog_version, package $version"
head -1 "$root/usr/share/doc/quorvaline/copyright" | grep -q '^Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/' ||
  fail "copyright is not machine-readable"

step "icons"
for size in 16 22 24 32 48 64 128 256; do
  got=$(identify -format '%w %h %[channels]' "$root/usr/share/icons/hicolor/${size}x${size}/apps/quorvaline.png" 2>&1)
  case "$got" in "$size $size srgba"*) ;; *) fail "icon ${size}x${size} is '$got'" ;; esac
done

step "stripped program"
sections=$(readelf -S -W "$root/usr/games/quorvaline")
grep -q ' \.symtab ' <<< "$sections" && fail "the program still has a symbol table"
grep -q ' \.comment ' <<< "$sections" && fail "the program still has a .comment section"
readelf -d "$root/usr/games/quorvaline" | grep -q 'BIND_NOW\|FLAGS.*NOW' || fail "the program is not linked with -z now"
# Debian's hardening flags: fortified libc calls and the stack protector.
symbols=$(readelf --dyn-syms -W "$root/usr/games/quorvaline")
grep -q ' __[a-z]*printf_chk@' <<< "$symbols" || fail "no fortified libc calls"
grep -q ' __stack_chk_fail@' <<< "$symbols" || fail "no stack protector"

step "cmake --install with another prefix"
cmake --install "$build" --prefix "$work/other/opt/qv" --strip > "$work/install.log" 2>&1 || { cat "$work/install.log"; fail "cmake --install"; }
(cd "$work/other/opt/qv" && find . \( -type f -o -type l \) | sort) > "$work/installed"
sed 's|^\./usr/|./|' "$work/files" | sort > "$work/packaged"
diff "$work/packaged" "$work/installed" || fail "cmake --install lays out other files than the package"
cmp "$work/other/opt/qv/games/quorvaline" "$root/usr/games/quorvaline" || fail "the stripped install and the package differ"

step "the installed program under Xvfb"
display=${QV_TEST_DISPLAY:-}
if [ -z "$display" ]; then
  for attempt in $(seq 20); do
    n=$((200 + RANDOM % 700))
    [ -e "/tmp/.X$n-lock" ] || { display=:$n; break; }
  done
fi
Xvfb "$display" -screen 0 800x600x24 -nolisten tcp -noreset > "$work/xvfb.log" 2>&1 &
xvfb_pid=$!
for i in $(seq 100); do DISPLAY=$display xdotool getmouselocation > /dev/null 2>&1 && break; sleep 0.1; done
DISPLAY=$display SDL_AUDIODRIVER=dummy "$root/usr/games/quorvaline" > "$work/program.log" 2>&1 &
program_pid=$!
window=""
for i in $(seq 150); do
  window=$(DISPLAY=$display xdotool search --name 'CODED BY TARVOSKELD' 2>/dev/null | head -1)
  [ -n "$window" ] && break
  sleep 0.1
done
if [ -z "$window" ]; then
  fail "no window of the installed program on $display"
else
  title=$(DISPLAY=$display xdotool getwindowname "$window")
  echo "window $window: $title"
  [ "$title" = "CODED BY TARVOSKELD :-)" ] || fail "window title '$title'"
  # Docks match the window to the desktop entry by its class.
  wm_class=$(DISPLAY=$display xprop -id "$window" WM_CLASS 2>&1)
  echo "$wm_class"
  grep -q '"quorvaline"' <<< "$wm_class" || fail "the window's class is not quorvaline: $wm_class"
  # Escape leaves the intro, and again (after the hand-over) ends the program.
  status=""
  for i in $(seq 30); do
    DISPLAY=$display xdotool keydown Escape; sleep 0.15; DISPLAY=$display xdotool keyup Escape
    sleep 1
    if ! kill -0 "$program_pid" 2>/dev/null; then
      wait "$program_pid"; status=$?; program_pid=""
      break
    fi
  done
  [ "$status" = "0" ] || fail "the installed program did not end with status 0 on Escape (status '${status:-still running}')"
  echo "exit status ${status:-none}"
fi

echo
if [ "$failures" -ne 0 ]; then echo "$failures check(s) failed"; exit 1; fi
echo "package checks passed"
