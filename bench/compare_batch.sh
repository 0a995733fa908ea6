#!/usr/bin/env bash
# One `quillon` command-line batch per set of documents against the
# single-format tools run once per file (as scripts use them), in the same
# run, side by side: documents per second and the batch's speed as a
# multiple of the fastest tool's.
#
# Sets: the corpus's .rtf, .docx, .html and .doc folders, then big documents
# built here: two .doc files from bench_doc_reader --write-big (1.5 and
# 0.9 MB of text) and, when pandoc is installed, the same texts as .docx,
# .rtf and .html.
#
#   bench/compare_batch.sh [BUILD_DIR] [CORPUS_DIR] [PASSES]
# BUILD_DIR defaults to build, CORPUS_DIR to ../shared/corpus, PASSES (the
# best of that many runs of each timer is kept) to 3.
set -u
# shellcheck disable=SC2154  # files and bytes are filled by collect_files (bench/lib.sh)
here=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$here/build}" && pwd) || exit 1
corpus=$(cd "${2:-$here/../shared/corpus}" && pwd) || exit 1
passes=${3:-3}
bin=$build/bin
for program in quillon quillon-engine bench_doc_reader; do
  if [ ! -x "$bin/$program" ]; then
    echo "build $program first ($bin/$program)" >&2
    exit 1
  fi
done
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
# shellcheck source=bench/lib.sh
. "$here/bench/lib.sh"

# The batch runs with its own settings and runtime folders, without a
# display, so nothing of the user's session is touched or waited on.
mkdir -p "$out/home" "$out/run" "$out/batch"
chmod 700 "$out/run"

# best_of "SECONDS FAILURES"...: the fastest run.
best_of() { printf '%s\n' "$@" | sort -g | head -n1; }

# Prints the seconds of one batch over `files` (one folder, so one mask) and
# its failures (the batch's exit code counts its errors).
time_batch() {
  local start end folder
  folder=$(dirname "${files[0]}")
  rm -rf "$out/batch"/*
  start=$(date +%s.%N)
  env -u DISPLAY -u WAYLAND_DISPLAY QUILLON_HOME="$out/home" XDG_RUNTIME_DIR="$out/run" \
    "$bin/quillon" /f:2 /d:"$out/batch" "$folder/*.$1" >/dev/null 2>&1 </dev/null
  local failures=$?
  end=$(date +%s.%N)
  echo "$(seconds_between "$start" "$end") $failures"
}

# Prints the seconds of one tool run once per file of `files`, and its
# failures; $1 = what follows the file ("" for nothing), rest = the command.
time_per_file() {
  local tail=$1 start end f tool_failures=0
  shift
  start=$(date +%s.%N)
  for f in "${files[@]}"; do
    # No text out counts as a failure too (catdoc, for one, exits 0 with
    # nothing on documents it does not understand).
    if [ -n "$tail" ]; then
      (cd "$out" && "$@" "$f" "$tail") >"$out/tool.txt" 2>/dev/null </dev/null &&
        [ -s "$out/tool.txt" ] || tool_failures=$((tool_failures + 1))
    else
      (cd "$out" && "$@" "$f") >"$out/tool.txt" 2>/dev/null </dev/null &&
        [ -s "$out/tool.txt" ] || tool_failures=$((tool_failures + 1))
    fi
  done
  end=$(date +%s.%N)
  echo "$(seconds_between "$start" "$end") $tool_failures"
}

row() {  # label seconds failures
  awk -v l="$1" -v s="$2" -v n="${#files[@]}" -v f="$3" 'BEGIN {
    if (s <= 0) s = 1e-9
    printf "  %-24s %8.3f s %9.1f docs/s  failures %d\n", l, s, n / s, f }'
}

# compare SET EXTENSION TOOL=COMMAND...: COMMAND is "TAIL|program args".
compare() {
  local set=$1 ext=$2 entry name tool_command tail seconds runs=() p best_tool='' best_seconds='' any_tool='' any_seconds='' batch batch_failures failures
  shift 2
  [ ${#files[@]} -gt 0 ] || return 0
  echo "== $set: ${#files[@]} documents, $(awk -v b="$bytes" 'BEGIN { printf "%.2f", b / 1e6 }') MB"
  for ((p = 0; p < passes; p++)); do runs+=("$(time_batch "$ext")"); done
  read -r batch batch_failures <<<"$(best_of "${runs[@]}")"
  row "quillon batch" "$batch" "$batch_failures"
  for entry in "$@"; do
    name=${entry%%=*}
    tool_command=${entry#*=}
    command -v "$name" >/dev/null 2>&1 || continue
    tail=${tool_command%%|*}
    runs=()
    # shellcheck disable=SC2086  # the command's words
    for ((p = 0; p < passes; p++)); do runs+=("$(time_per_file "$tail" ${tool_command#*|})"); done
    read -r seconds failures <<<"$(best_of "${runs[@]}")"
    row "$name (per file)" "$seconds" "$failures"
    if [ -z "$any_seconds" ] || awk -v a="$seconds" -v b="$any_seconds" 'BEGIN { exit !(a < b) }'; then
      any_seconds=$seconds
      any_tool="$name, which failed on $failures"
    fi
    # The yardstick is the fastest tool that fails on no more documents
    # than the batch does.
    [ "$failures" -le "$batch_failures" ] || continue
    if [ -z "$best_seconds" ] || awk -v a="$seconds" -v b="$best_seconds" 'BEGIN { exit !(a < b) }'; then
      best_seconds=$seconds
      best_tool=$name
    fi
  done
  if [ -n "$best_tool" ]; then
    awk -v t="$best_tool" -v a="$best_seconds" -v b="$batch" 'BEGIN {
      printf "  batch against %s: %.2fx\n", t, a / b }'
  else
    echo "  no tool converted as many documents as the batch"
    awk -v t="$any_tool" -v a="$any_seconds" -v b="$batch" 'BEGIN {
      printf "  batch against the fastest tool (%s): %.2fx\n", t, a / b }'
  fi
}

collect_files "$corpus/rtf" -name '*.rtf'
compare "corpus .rtf" rtf "unrtf=|unrtf --text" "pandoc=|pandoc -f rtf -t plain"
collect_files "$corpus/docx" -name '*.docx'
compare "corpus .docx" docx "docx2txt=-|docx2txt" "pandoc=|pandoc -f docx -t plain"
collect_files "$corpus/html" -name '*.html'
compare "corpus .html" html "html2text=|html2text" "pandoc=|pandoc -f html -t plain"
collect_files "$corpus/doc" -name '*.doc'
compare "corpus .doc" doc "catdoc=|catdoc" "antiword=|antiword"

# Big documents.
mkdir -p "$out/big"
"$bin/bench_doc_reader" --write-big "$out/big/big1.doc" 1.5 >/dev/null
"$bin/bench_doc_reader" --write-big "$out/big/big2.doc" 0.9 >/dev/null
collect_files "$out/big" -name '*.doc'
compare "big .doc" doc "catdoc=|catdoc" "antiword=|antiword"
if command -v pandoc >/dev/null; then
  for kind in docx rtf html; do
    mkdir -p "$out/big-$kind"
    for doc in big1 big2; do
      QUILLON_ANSI_CODEPAGE=65001 "$bin/quillon-engine" --convert "$out/big/$doc.doc" \
        "$out/big/$doc.txt" 2 >/dev/null 2>&1
      pandoc -f markdown -t "$kind" -s -o "$out/big-$kind/$doc.$kind" "$out/big/$doc.txt" \
        >/dev/null 2>&1 </dev/null
    done
  done
  collect_files "$out/big-docx" -name '*.docx'
  compare "big .docx" docx "docx2txt=-|docx2txt" "pandoc=|pandoc -f docx -t plain"
  collect_files "$out/big-rtf" -name '*.rtf'
  compare "big .rtf" rtf "unrtf=|unrtf --text" "pandoc=|pandoc -f rtf -t plain"
  collect_files "$out/big-html" -name '*.html'
  compare "big .html" html "html2text=|html2text" "pandoc=|pandoc -f html -t plain"
fi
