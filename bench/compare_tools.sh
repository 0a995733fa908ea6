#!/usr/bin/env bash
# Converts one folder of documents with the engine (in process and one
# quillon-engine process per file) and, in the same run, with `unrtf --text`
# and `pandoc -t plain`, and prints documents per second and MB per second.
#
#   bench/compare_tools.sh [FOLDER] [BUILD_DIR]
# FOLDER defaults to ../shared/corpus/rtf, BUILD_DIR to build.
set -u
here=$(cd "$(dirname "$0")/.." && pwd)
folder=$(cd "${1:-$here/../shared/corpus/rtf}" && pwd) || exit 1
build=$(cd "${2:-$here/build}" && pwd) || exit 1
bin=$build/bin

mapfile -t files < <(find "$folder" -maxdepth 1 -type f -name '*.rtf' | sort)
if [ ${#files[@]} -eq 0 ]; then
  echo "No .rtf files in $folder" >&2
  exit 1
fi
bytes=0
for f in "${files[@]}"; do bytes=$((bytes + $(stat -c %s "$f"))); done
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
# unrtf drops the pictures it finds into the current folder.
cd "$out" || exit 1

# Prints one result line: name, seconds, failures.
report() {
  awk -v name="$1" -v s="$2" -v n="${#files[@]}" -v b="$bytes" -v f="$3" 'BEGIN {
    printf "%-28s %6d docs %9.2f MB %8.3f s %10.1f docs/s %8.2f MB/s  failures %d\n",
           name, n, b / 1e6, s, n / s, b / 1e6 / s, f }'
}

# Runs a command over every file; $1 = name, rest = command before the file.
time_tool() {
  local name=$1
  shift
  local failures=0 start end
  start=$(date +%s.%N)
  for f in "${files[@]}"; do
    "$@" "$f" >"$out/$(basename "$f").txt" 2>/dev/null || failures=$((failures + 1))
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

echo "== in process (bench_engine_convert, 3 rounds)"
"$bin/bench_engine_convert" "$folder" --repeat 3
echo
echo "== one process per document, same folder, same run"
engine_cli
if command -v unrtf >/dev/null; then time_tool "unrtf --text" unrtf --text; fi
if command -v pandoc >/dev/null; then time_tool "pandoc -t plain" pandoc -f rtf -t plain; fi
