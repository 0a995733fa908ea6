#!/usr/bin/env bash
# The message catalogs against the texts of the program.
#
#   catalogs.sh check  BUILD_DIR   fails when a catalog lacks a text of the
#                                  program, or holds a fuzzy or untranslated one
#   catalogs.sh update BUILD_DIR   merges new texts into every catalog (to be
#                                  translated by hand), and writes the template
#                                  BUILD_DIR/quillon.pot
#
# The texts are those passed to Tr / TrFormat / TrNoop in the sources and the
# texts of the forms (taken from the code that AUTOUIC generated in
# BUILD_DIR). Shortcuts are not translated.
set -euo pipefail
shopt -s nullglob

mode=${1:?usage: catalogs.sh check|update BUILD_DIR}
build=${2:?usage: catalogs.sh check|update BUILD_DIR}
here=$(cd "$(dirname "$0")" && pwd)
source_dir=$(dirname "$here")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

(cd "$source_dir" &&
  find app util jobs watch support platform engine automation dialogwatch wordcnv docengine \
    fileio charset \
    \( -name '*.cpp' -o -name '*.h' \) -not -path 'app/gui/tools/*' | LC_ALL=C sort) >"$work/files"
find "$build" -path '*_autogen/include/ui_*.h' | LC_ALL=C sort >"$work/forms"
if [ ! -s "$work/forms" ]; then
  echo "catalogs.sh: no generated form code under $build (build first)" >&2
  exit 2
fi

(cd "$source_dir" &&
  xgettext --from-code=UTF-8 --language=C++ --no-location --sort-output -k -kTr -kTrFormat \
    -kTrNoop -o "$work/code.pot" -f "$work/files")
xgettext --from-code=UTF-8 --language=C++ --no-location --sort-output -k -ktranslate:2 \
  -o "$work/forms-all.pot" -f "$work/forms"
sed -i 's/charset=CHARSET/charset=UTF-8/' "$work/code.pot" "$work/forms-all.pot"
# Shortcut texts ("Ctrl+A", "F5", "Del") keep their English key names.
msggrep --invert-match --msgid -E -e '^((Ctrl|Alt|Shift|Meta)\+.*|F[0-9]+|Del|Ins)$' \
  -o "$work/forms.pot" "$work/forms-all.pot"
msgcat --use-first --sort-output -o "$work/quillon.pot" "$work/code.pot" "$work/forms.pot"

status=0
case "$mode" in
  check)
    for po in "$here"/*.po; do
      code=$(basename "$po" .po)
      if ! msgcmp --use-untranslated "$po" "$work/quillon.pot" 2>"$work/cmp"; then
        echo "catalog $code lacks texts of the program:" >&2
        cat "$work/cmp" >&2
        status=1
      fi
      stats=$(LC_ALL=C msgfmt --statistics -o /dev/null "$po" 2>&1)
      echo "$code: $stats"
      if grep -Eq 'fuzzy|untranslated' <<<"$stats"; then
        echo "catalog $code has fuzzy or untranslated texts" >&2
        status=1
      fi
    done
    ;;
  update)
    cp "$work/quillon.pot" "$build/quillon.pot"
    for po in "$here"/*.po; do
      msgmerge --quiet --update --backup=none --no-fuzzy-matching --sort-output "$po" "$build/quillon.pot"
    done
    ;;
  *)
    echo "catalogs.sh: unknown mode $mode" >&2
    exit 2
    ;;
esac
exit $status
