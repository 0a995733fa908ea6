# shellcheck shell=bash
# shellcheck disable=SC2154  # bin and out are the caller's
# Shared by the compare_*.sh benchmarks (sourced, not run). The caller sets
# `bin` (the build's bin/ folder) and `out` (a scratch folder), then fills
# `files` and `bytes` with collect_files; the timers read all four.

# collect_files FOLDER FIND-TESTS...: the regular files directly in FOLDER
# that pass the find tests (e.g. -name '*.rtf'), sorted, as absolute paths
# (the tools run inside `out`), into `files`, and their total size into
# `bytes`. A missing folder gives no files.
collect_files() {
  local folder f
  files=()
  bytes=0
  folder=$(cd "$1" 2>/dev/null && pwd) || return 0
  shift
  mapfile -t files < <(find "$folder" -maxdepth 1 -type f \( "$@" \) | sort)
  for f in "${files[@]}"; do bytes=$((bytes + $(stat -c %s "$f"))); done
}

# Prints one result line: name, seconds, failures.
report() {
  awk -v name="$1" -v s="$2" -v n="${#files[@]}" -v b="$bytes" -v f="$3" 'BEGIN {
    if (s <= 0) s = 1e-9
    printf "%-28s %6d docs %9.2f MB %8.3f s %10.1f docs/s %8.2f MB/s  failures %d\n",
           name, n, b / 1e6, s, n / s, b / 1e6 / s, f }'
}

# Seconds from one `date +%s.%N` to another.
seconds_between() {
  awk -v a="$1" -v b="$2" 'BEGIN { print b - a }'
}

# Runs a command over every file; $1 = name, $2 = what follows the file
# ("" for nothing), rest = command before the file. Every tool writes to
# standard output and runs inside `out`: nothing may land beside the sources
# (unrtf, for one, drops the pictures it finds into the current folder).
time_tool() {
  local name=$1 tail=$2
  shift 2
  local failures=0 start end f
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
  report "$name" "$(seconds_between "$start" "$end")" "$failures"
}

# One quillon-engine process per file, text only.
engine_cli() {
  local failures=0 start end f
  start=$(date +%s.%N)
  for f in "${files[@]}"; do
    "$bin/quillon-engine" --convert "$f" "$out/$(basename "$f").engine.txt" 2 2>/dev/null ||
      failures=$((failures + 1))
  done
  end=$(date +%s.%N)
  report "quillon-engine --convert 2" "$(seconds_between "$start" "$end")" "$failures"
}

# ---------------------------------------------------------------- fidelity
# The fidelity mode of the compare scripts: every document of `files` is
# converted by quillon-engine (text only, UTF-8) and by each tool, and the
# texts are scored against each other by word-count F1 (bench `word_f1`),
# one row per document, the pairs side by side: quillon against each tool
# (with its recall in brackets, the share of the tool's words that quillon
# has too), then each tool against each other tool as a yardstick of how
# much the tools agree among themselves. A last row gives the means.
#
# fidelity_table KIND NAME=FUNCTION...: FUNCTION FILE writes the tool's text
# of FILE to standard output; it runs inside `out`.
fidelity_table() {
  local kind=$1
  shift
  local names=(quillon) funcs=(quillon_text) tool_entry f b i j
  for tool_entry in "$@"; do
    names+=("${tool_entry%%=*}")
    funcs+=("${tool_entry#*=}")
  done
  for f in "${files[@]}"; do
    b=$(basename "$f")
    for i in "${!funcs[@]}"; do
      (cd "$out" && "${funcs[$i]}" "$f") >"$out/$b.${names[$i]}.txt" 2>/dev/null </dev/null ||
        true
    done
  done
  local pairs=()
  for ((i = 1; i < ${#names[@]}; i++)); do pairs+=("0 $i"); done
  for ((i = 1; i < ${#names[@]}; i++)); do
    for ((j = i + 1; j < ${#names[@]}; j++)); do pairs+=("$i $j"); done
  done
  echo "== fidelity: $kind, ${#files[@]} documents, word-count F1" \
    "(quillon's recall against the tool in brackets)"
  {
    local line pair a c score
    line="document"
    for pair in "${pairs[@]}"; do
      read -r a c <<<"$pair"
      line+=$'\t'"${names[$a]}~${names[$c]}"
    done
    echo "$line"
    for f in "${files[@]}"; do
      b=$(basename "$f")
      line="$b"
      for pair in "${pairs[@]}"; do
        read -r a c <<<"$pair"
        # The tool's text is the reference, quillon's (or the first tool's)
        # the candidate.
        score=$("$bin/word_f1" "$out/$b.${names[$c]}.txt" "$out/$b.${names[$a]}.txt")
        line+=$'\t'"${score%% *}"
        if [ "$a" -eq 0 ]; then
          read -r _ _ recall _ <<<"$score"
          line+=" ($recall)"
        fi
      done
      echo "$line"
    done
  } | awk -F'\t' '
    NR == 1 { n = NF; for (i = 1; i <= NF; i++) head[i] = $i; printrow(); next }
    { printrow(); for (i = 2; i <= NF; i++) { split($i, part, " "); sum[i] += part[1]
        if (part[2] != "") { gsub(/[()]/, "", part[2]); rsum[i] += part[2]; hasr[i] = 1 } }
      rows++ }
    END {
      line = sprintf("%-44s", "mean")
      for (i = 2; i <= n; i++) {
        cell = sprintf("%.3f", rows ? sum[i] / rows : 0)
        if (hasr[i]) cell = cell sprintf(" (%.3f)", rsum[i] / rows)
        line = line sprintf("  %-18s", cell)
      }
      print line
    }
    function printrow(   line, i) {
      line = sprintf("%-44s", substr($1, 1, 44))
      for (i = 2; i <= NF; i++) line = line sprintf("  %-18s", $i)
      print line
    }'
}

# The engine's text of a document: text only, in UTF-8.
quillon_text() {
  local text
  text=$(mktemp -p "$out")
  QUILLON_ANSI_CODEPAGE=65001 "$bin/quillon-engine" --convert "$1" "$text" 2 &&
    cat "$text"
  rm -f "$text"
}

# The comparison tools as the fidelity mode runs them: plain text, no line
# wrapping where the tool can be told, UTF-8 where it can be told.
pandoc_text() { pandoc -f "$pandoc_from" -t plain --wrap=none "$1"; }
docx2txt_text() { docx2txt "$1" -; }
html2text_text() { html2text -nobs -width 100000 "$1"; }
unrtf_text() { unrtf --text "$1" | grep -v '^###'; }
antiword_text() { antiword -m UTF-8.txt -w 0 "$1"; }
catdoc_text() { catdoc -d utf-8 -w "$1"; }

# Of NAME=FUNCTION, only the tools installed here.
installed_tools() {
  local tool_entry
  for tool_entry in "$@"; do
    command -v "${tool_entry%%=*}" >/dev/null && printf '%s\n' "$tool_entry"
  done
}
