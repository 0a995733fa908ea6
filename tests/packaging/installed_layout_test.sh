#!/usr/bin/env bash
# Installs the build into a scratch prefix and runs the installed program from
# an unrelated working folder, in a world of its own (state folder, runtime
# folder, no display): it must find its engine server, its converter program,
# its catalogs, its help page and its samples below the prefix alone.
#
#   installed_layout_test.sh BUILD_DIR SOURCE_DIR
set -uo pipefail

build=$1
source_dir=$2
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
prefix=$scratch/prefix
failures=0

fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

if ! cmake --install "$build" --prefix "$prefix" >"$scratch/install.log" 2>&1; then
  cat "$scratch/install.log" >&2
  echo "FAIL: cmake --install" >&2
  exit 1
fi
# The build tree must not be reachable from the installed program.
mv "$prefix" "$scratch/moved"
prefix=$scratch/moved

for file in bin/quillon libexec/quillon/quillon-engine libexec/quillon/wordcnv.dll; do
  [ -x "$prefix/$file" ] || fail "$file is not an installed program"
done
for file in share/quillon/help.htm share/quillon/License.txt share/quillon/plugin.bas \
  share/quillon/locale/de/LC_MESSAGES/default.mo share/quillon/locale/fr/LC_MESSAGES/default.mo \
  share/applications/quillon.desktop share/icons/hicolor/scalable/apps/quillon.svg \
  share/icons/hicolor/48x48/apps/quillon.png share/man/man1/quillon.1.gz \
  share/bash-completion/completions/quillon lib/systemd/user/quillon-watch.service \
  share/doc/quillon/copyright; do
  [ -s "$prefix/$file" ] || fail "$file is missing or empty"
done

# Each PNG icon is as large as the folder it lies in says.
for png in "$prefix"/share/icons/hicolor/*x*/apps/quillon.png; do
  size=$(basename "$(dirname "$(dirname "$png")")")
  # Width and height are the big-endian words at bytes 16 and 20.
  dims=$(od -An -tu1 -j16 -N8 "$png" | awk '{printf "%dx%d", $3*256+$4, $7*256+$8}')
  [ "$dims" = "$size" ] || fail "$png is $dims"
done

desktop-file-validate "$prefix/share/applications/quillon.desktop" || fail "desktop entry rejected"
# The unit was written at install time, for the prefix of the installation.
grep -qx "ExecStart=$scratch/prefix/bin/quillon /min" "$prefix/lib/systemd/user/quillon-watch.service" ||
  fail "the unit does not start $scratch/prefix/bin/quillon"
# The manual page is installed compressed, as man finds it.
gzip -dc "$prefix/share/man/man1/quillon.1.gz" | cmp -s - "$source_dir/packaging/quillon.1" ||
  fail "the installed manual page is not packaging/quillon.1"

# A world of its own, away from the build and the source.
mkdir -p "$scratch/home" "$scratch/run" "$scratch/work/out"
chmod 700 "$scratch/run"
cd "$scratch/work" || exit 1
run() {
  env -u DISPLAY -u WAYLAND_DISPLAY QUILLON_HOME="$scratch/home" XDG_RUNTIME_DIR="$scratch/run" \
    LANG=C.UTF-8 LC_ALL=C.UTF-8 "$@"
}
program=$prefix/bin/quillon

version=$(run "$program" --version) || fail "--version failed"
grep -q "^Quillon 4.0" <<<"$version" || fail "--version printed: $version"

# The German catalog: a line of --help in English, then as de.po has it.
english="run the plug-in macros (plugin.bas) with each conversion"
german=$(awk -v id="msgid \"$english\"" '$0 == id { getline; sub(/^msgstr "/, ""); sub(/"$/, ""); print }' \
  "$source_dir/locale/de.po")
[ -n "$german" ] || fail "de.po lacks the help line"
run env LANGUAGE= "$program" --help | grep -qF "$english" || fail "--help lacks the English line"
run env LANGUAGE=de "$program" --help | grep -qF "$german" || fail "--help in German lacks: $german"

# "/?" without a display names the help page it would open.
run "$program" "/?" 2>"$scratch/help.err"
grep -qF "file://$prefix/share/quillon/help.htm#Faq" "$scratch/help.err" ||
  fail "/? named: $(cat "$scratch/help.err")"

# The samples, through the installed engine server.
run "$program" /f:2 /d:"$scratch/work/out" /s \
  "$prefix/share/quillon/samples/*.doc;*.docx;*.rtf;*.htm;*.html" 2>"$scratch/convert.err"
code=$?
[ $code -eq 0 ] || fail "converting the samples ended with $code: $(cat "$scratch/convert.err")"
samples=$(cd "$prefix/share/quillon/samples" && find . -type f | sort)
for sample in $samples; do
  text=$scratch/work/out/${sample%.*}.txt
  [ -s "$text" ] || fail "no text of $sample (looked for $text)"
done
[ -n "$samples" ] || fail "no samples installed"

# A dBase table goes through the installed converter program first: one
# character field NAME of 10 bytes, one record.
{
  printf '\x03\x79\x01\x01\x01\x00\x00\x00\x41\x00\x0b\x00'
  printf '\x00%.0s' {1..20}
  printf 'NAME\x00\x00\x00\x00\x00\x00\x00C\x00\x00\x00\x00\x0a\x00'
  printf '\x00%.0s' {1..14}
  printf '\x0d Quillon   \x1a'
} >"$scratch/work/names.dbf"
run "$program" /f:2 "$scratch/work/names.dbf" 2>"$scratch/dbf.err" ||
  fail "the dBase table failed: $(cat "$scratch/dbf.err")"
grep -q "Quillon" "$scratch/work/names.txt" 2>/dev/null || fail "the dBase table's text lacks its record"

# The plug-in macro module is read from share/quillon: a run with /plugin
# reports nothing missing.
run "$program" /plugin /f:2 /d:"$scratch/work/plugin" "$prefix/share/quillon/samples/letter.rtf" \
  2>"$scratch/plugin.err" || fail "the /plugin run failed: $(cat "$scratch/plugin.err")"
[ -s "$scratch/work/plugin/letter.txt" ] || fail "the /plugin run wrote no text"

if [ $failures -ne 0 ]; then
  echo "$failures failures" >&2
  exit 1
fi
echo "the installed layout works from $prefix"
