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
