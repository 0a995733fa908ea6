#!/bin/bash
# Times the .doc conversion of a folder three ways in the same run: our
# reader in one process, our reader one process per file, and antiword and
# catdoc one process per file (as they are used). Text goes to /dev/null.
# With --fidelity it scores the texts instead (word-count F1 of each
# document against antiword and catdoc, see bench/lib.sh).
#
# Usage: bench/compare_doc.sh [--fidelity] [BUILD_DIR] [FOLDER] [PASSES]
set -u
fidelity=
if [ "${1:-}" = --fidelity ]; then
  fidelity=1
  shift
fi
here=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$here/build}
folder=${2:-$here/../shared/corpus/doc}
passes=${3:-5}
if [ -n "$fidelity" ]; then
  bin=$build/bin
  out=$(mktemp -d)
  trap 'rm -rf "$out"' EXIT
  # shellcheck source=bench/lib.sh
  . "$here/bench/lib.sh"
  collect_files "$folder" -name '*.doc'
  mapfile -t tools < <(installed_tools antiword=antiword_text catdoc=catdoc_text)
  fidelity_table doc "${tools[@]}"
  exit 0
fi
bench=$build/bin/bench_doc_reader
if [ ! -x "$bench" ]; then
  echo "build bench_doc_reader first ($bench)" >&2
  exit 1
fi
files=("$folder"/*.doc)
bytes=$(cat "${files[@]}" | wc -c)
echo "folder: $folder (${#files[@]} files, $bytes bytes), $passes passes"

"$bench" "$folder" $((passes * 4))

per_file() {  # label, command...
  local label=$1
  shift
  local fails=0 start end
  start=$(date +%s.%N)
  for ((p = 0; p < passes; p++)); do
    for f in "${files[@]}"; do
      "$@" "$f" >/dev/null 2>&1 || fails=$((fails + 1))
    done
  done
  end=$(date +%s.%N)
  awk -v l="$label" -v s="$start" -v e="$end" -v n="${#files[@]}" -v p="$passes" \
    -v b="$bytes" -v f="$fails" 'BEGIN {
      t = e - s; printf "%-28s %7.1f documents/s %7.2f MB/s  (%d failed runs of %d)\n",
      l, n * p / t, b * p / t / 1e6, f, n * p }'
}

per_file "quillon, process per file" "$bench" --one
command -v antiword >/dev/null && per_file "antiword" antiword
command -v catdoc >/dev/null && per_file "catdoc" catdoc
