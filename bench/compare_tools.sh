#!/usr/bin/env bash
# Converts one folder of documents with the engine (in process and one
# quillon-engine process per file) and, in the same run, with `unrtf --text`
# and `pandoc -t plain`, and prints documents per second and MB per second.
# With --fidelity it scores the texts instead (word-count F1 of each
# document against each tool, see bench/lib.sh).
#
#   bench/compare_tools.sh [--fidelity] [FOLDER] [BUILD_DIR]
# FOLDER defaults to ../shared/corpus/rtf, BUILD_DIR to build.
set -u
fidelity=
if [ "${1:-}" = --fidelity ]; then
  fidelity=1
  shift
fi
here=$(cd "$(dirname "$0")/.." && pwd)
folder=$(cd "${1:-$here/../shared/corpus/rtf}" && pwd) || exit 1
build=$(cd "${2:-$here/build}" && pwd) || exit 1
bin=$build/bin

# shellcheck source=bench/lib.sh
. "$here/bench/lib.sh"

collect_files "$folder" -name '*.rtf'
if [ ${#files[@]} -eq 0 ]; then
  echo "No .rtf files in $folder" >&2
  exit 1
fi
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT

if [ -n "$fidelity" ]; then
  pandoc_from=rtf
  mapfile -t tools < <(installed_tools unrtf=unrtf_text pandoc=pandoc_text)
  fidelity_table rtf "${tools[@]}"
  exit 0
fi

echo "== in process (bench_engine_convert, 3 rounds)"
"$bin/bench_engine_convert" "$folder" --repeat 3
echo
echo "== one process per document, same folder, same run"
engine_cli
if command -v unrtf >/dev/null; then time_tool "unrtf --text" "" unrtf --text; fi
if command -v pandoc >/dev/null; then time_tool "pandoc -t plain" "" pandoc -f rtf -t plain; fi
