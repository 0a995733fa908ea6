#!/usr/bin/env bash
# Converts the .docx folder and the .html folder with the engine (in process
# and one quillon-engine process per file) and, in the same run, with
# `docx2txt`, `html2text` and `pandoc -t plain`, and prints documents per
# second and MB per second for each.
#
#   bench/compare_docx_html.sh [CORPUS_DIR] [BUILD_DIR]
# CORPUS_DIR defaults to ../shared/corpus (its docx/ and html/ folders),
# BUILD_DIR to build.
set -u
here=$(cd "$(dirname "$0")/.." && pwd)
corpus=${1:-$here/../shared/corpus}
build=${2:-$here/build}
bin=$build/bin
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT

# Prints one result line: name, seconds, failures.
report() {
  awk -v name="$1" -v s="$2" -v n="${#files[@]}" -v b="$bytes" -v f="$3" 'BEGIN {
    if (s <= 0) s = 1e-9
    printf "%-28s %6d docs %9.2f MB %8.3f s %10.1f docs/s %8.2f MB/s  failures %d\n",
           name, n, b / 1e6, s, n / s, b / 1e6 / s, f }'
}

# Runs a command over every file; $1 = name, $2 = what follows the file
# ("" for nothing), rest = command before the file. Every tool writes to
# standard output: nothing may land beside the sources.
time_tool() {
  local name=$1 tail=$2
  shift 2
  local failures=0 start end
  start=$(date +%s.%N)
  for f in "${files[@]}"; do
    if [ -n "$tail" ]; then
      (cd "$out" && "$@" "$f" "$tail") >"$out/$(basename "$f").txt" 2>/dev/null </dev/null ||
        failures=$((failures + 1))
    else
      (cd "$out" && "$@" "$f") >"$out/$(basename "$f").txt" 2>/dev/null </dev/null ||
        failures=$((failures + 1))
    fi
  done
  end=$(date +%s.%N)
  report "$name" "$(awk -v a="$start" -v b="$end" 'BEGIN { print b - a }')" "$failures"
}

engine_cli() {
  local failures=0 start end
  start=$(date +%s.%N)
  for f in "${files[@]}"; do
    "$bin/quillon-engine" --convert "$f" "$out/$(basename "$f").engine.txt" 2 2>/dev/null ||
      failures=$((failures + 1))
  done
  end=$(date +%s.%N)
  report "quillon-engine --convert 2" "$(awk -v a="$start" -v b="$end" 'BEGIN { print b - a }')" "$failures"
}

for kind in docx html; do
  folder=$corpus/$kind
  mapfile -t files < <(find "$folder" -maxdepth 1 -type f \( -name '*.docx' -o -name '*.htm' -o -name '*.html' \) | sort)
  if [ ${#files[@]} -eq 0 ]; then
    echo "No documents in $folder" >&2
    continue
  fi
  bytes=0
  for f in "${files[@]}"; do bytes=$((bytes + $(stat -c %s "$f"))); done
  echo "=== $kind: $folder"
  echo "== in process (bench_engine_convert, 3 rounds)"
  "$bin/bench_engine_convert" "$folder" --repeat 3
  echo "== one process per document, same folder, same run"
  if [ -x "$bin/quillon-engine" ]; then engine_cli; fi
  if [ "$kind" = docx ]; then
    if command -v docx2txt >/dev/null; then time_tool "docx2txt" - docx2txt; fi
    if command -v pandoc >/dev/null; then time_tool "pandoc -t plain" "" pandoc -f docx -t plain; fi
  else
    if command -v html2text >/dev/null; then time_tool "html2text" "" html2text; fi
    if command -v pandoc >/dev/null; then time_tool "pandoc -t plain" "" pandoc -f html -t plain; fi
  fi
  echo
done
