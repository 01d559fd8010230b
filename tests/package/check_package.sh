#!/usr/bin/env bash
# The Debian package as a system receives it: built by CPack from BUILD_DIR (or the package
# given), unpacked into a temporary root, its files checked with the tools the desktop itself
# uses (desktop-file-validate, appstreamcli, update-mime-database, man) and its programs run.
#
# Usage: check_package.sh BUILD_DIR [PACKAGE.deb]   (BRONDEL_DEB in the environment also names
# the package to check; CI sets it to the package of the Release build).
set -euo pipefail

build="$1"
deb="${2:-${BRONDEL_DEB:-}}"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}
# Runs a validator; any output from it is a finding, as is a non-zero exit.
quiet_or_fail() {
  local what="$1"
  shift
  local output
  if ! output="$("$@" 2>&1)"; then
    fail "$what: $output"
  elif [ -n "$output" ]; then
    fail "$what reports: $output"
  fi
}

if [ -z "$deb" ]; then
  cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work/package" >"$work/cpack.log" 2>&1 ||
    { cat "$work/cpack.log" >&2; echo "FAIL: cpack could not build the package" >&2; exit 1; }
  deb="$(echo "$work"/package/*.deb)"
fi
[ -f "$deb" ] || { echo "FAIL: no package at $deb" >&2; exit 1; }
echo "Checking $deb"

# --- The control fields ---
field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = brondel ] || fail "package name is '$(field Package)'"
[ "$(field Section)" = sound ] || fail "section is '$(field Section)'"
[ -n "$(field Maintainer)" ] || fail "no maintainer"
[ -n "$(field Description)" ] || fail "no description"
depends="$(field Depends)"
for library in libqt6widgets6 libfluidsynth3 librtmidi6 libc6; do
  [[ "$depends" == *"$library"* ]] || fail "Depends lacks $library: $depends"
done
# MIDI files are written by our own code: no MIDI file library (nor glib with it) is pulled in.
[[ "$depends" != *libsmf* ]] || fail "Depends names libsmf: $depends"

# --- The files ---
root="$work/root"
dpkg-deb -x "$deb" "$root"
app_id=io.github.brondel.brondel
share="$root/usr/share"
for file in usr/bin/brondel usr/bin/brondel-tool \
  "usr/share/applications/$app_id.desktop" \
  "usr/share/icons/hicolor/scalable/apps/$app_id.svg" \
  "usr/share/mime/packages/$app_id.xml" \
  "usr/share/metainfo/$app_id.metainfo.xml" \
  usr/share/man/man1/brondel.1.gz usr/share/man/man1/brondel-tool.1.gz \
  usr/share/brondel/examples/pop_beat.ckf usr/share/brondel/examples/ballad.ckf \
  usr/share/brondel/examples/waltz.z00 usr/share/doc/brondel/copyright; do
  [ -f "$root/$file" ] || fail "missing /$file"
done
for program in brondel brondel-tool; do
  [ -x "$root/usr/bin/$program" ] || fail "/usr/bin/$program is not executable"
done

# --- Desktop entry, icon and AppStream metadata ---
desktop="$share/applications/$app_id.desktop"
quiet_or_fail "desktop-file-validate" desktop-file-validate "$desktop"
exec_line="$(sed -n 's/^Exec=//p' "$desktop")"
[ -x "$root/usr/bin/${exec_line%% *}" ] || fail "Exec=$exec_line names no packaged program"
[ "$(sed -n 's/^Icon=//p' "$desktop")" = "$app_id" ] || fail "Icon= is not $app_id"

metainfo="$share/metainfo/$app_id.metainfo.xml"
appstream="$(appstreamcli validate --no-net --pedantic "$metainfo" 2>&1)" ||
  fail "appstreamcli: $appstream"
if grep -qE '^[EWIP]: ' <<<"$appstream"; then fail "appstreamcli reports: $appstream"; fi
grep -q "<launchable type=\"desktop-id\">$app_id.desktop</launchable>" "$metainfo" ||
  fail "the metainfo does not launch $app_id.desktop"

for xml in "$metainfo" "$share/mime/packages/$app_id.xml" \
  "$share/icons/hicolor/scalable/apps/$app_id.svg"; do
  quiet_or_fail "xmllint ${xml#"$root"}" xmllint --noout "$xml"
done

# --- File types: the database that update-mime-database builds from the package's file ---
mkdir -p "$work/mime/packages"
cp "$share/mime/packages/$app_id.xml" "$work/mime/packages/"
quiet_or_fail "update-mime-database" env XDG_DATA_DIRS="$work" update-mime-database "$work/mime"
grep -q '^[0-9]*:application/x-casio-ckf:\*\.ckf$' "$work/mime/globs2" || fail "no glob for .ckf"
grep -q '^[0-9]*:application/x-casio-z00:\*\.z00$' "$work/mime/globs2" || fail "no glob for .z00"
# The .ckf rule: byte 0x0B at offset 23, written as ">23=", a length of 1 (00 01) and the byte.
magic="$(od -An -v -tx1 "$work/mime/magic" | tr -d ' \n')"
grep -aq 'application/x-casio-ckf' "$work/mime/magic" && [[ "$magic" == *3e32333d00010b* ]] ||
  fail "no magic rule for the .ckf type byte"

# --- Manual pages: render without warnings; brondel-tool's lists every command of its help ---
for page in brondel brondel-tool; do
  file="$root/usr/share/man/man1/$page.1.gz"
  if ! LC_ALL=C MANWIDTH=100 man --warnings -l "$file" >"$work/$page.txt" 2>"$work/$page.err"; then
    fail "man cannot render $page.1"
  fi
  [ -s "$work/$page.err" ] && fail "man warns about $page.1: $(cat "$work/$page.err")"
  grep -q "^NAME" "$work/$page.txt" && grep -q "^       $page - " "$work/$page.txt" ||
    fail "$page.1 has no NAME line for $page"
done
for key in Ctrl+O Ctrl+Shift+S Ctrl+Q; do
  grep -qF "$key" "$work/brondel.txt" || fail "brondel.1 does not name the shortcut $key"
done
tool="$root/usr/bin/brondel-tool"
help="$("$tool" --help)" || fail "the packaged brondel-tool --help fails"
commands="$(sed -n '/^Commands:/,/^$/s/^  \([a-z-]*\) .*/\1/p' <<<"$help")"
[ -n "$commands" ] || fail "brondel-tool --help lists no commands"
for command in $commands; do
  usage="$("$tool" "$command" --help | sed -n 's/^Usage: brondel-tool //p')"
  grep -qxF -- "       $usage" "$work/brondel-tool.txt" ||
    fail "brondel-tool.1 lacks '$usage' (brondel-tool $command --help)"
done

# --- The packaged programs and examples work together ---
"$tool" check "$share/brondel/examples" >"$work/check.txt" 2>&1 ||
  fail "brondel-tool check on the installed examples: $(cat "$work/check.txt")"
# draw needs Qt's offscreen platform and its SVG module from the packages the package depends on.
for picture in var1.png var1.svg; do
  env -u DISPLAY "$tool" draw "$share/brondel/examples/pop_beat.ckf" Var1 -o "$work/$picture" \
    >"$work/draw.txt" 2>&1 || fail "brondel-tool draw $picture: $(cat "$work/draw.txt")"
  [ -s "$work/draw.txt" ] && fail "brondel-tool draw $picture printed: $(cat "$work/draw.txt")"
done
[ "$(head -c 4 "$work/var1.png" | tail -c 3)" = PNG ] || fail "draw wrote no PNG"
grep -q "<svg" "$work/var1.svg" || fail "draw wrote no SVG"

if [ "$failures" -ne 0 ]; then
  echo "$failures problem(s) in $deb" >&2
  exit 1
fi
echo "Package sound: $(field Package) $(field Version), $(dpkg-deb -c "$deb" | wc -l) entries"
