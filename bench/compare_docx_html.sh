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
fidelity=
if [ "${1:-}" = --fidelity ]; then
  fidelity=1
  shift
fi
here=$(cd "$(dirname "$0")/.." && pwd)
corpus=${1:-$here/../shared/corpus}
build=${2:-$here/build}
bin=$build/bin
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
# shellcheck source=bench/lib.sh
. "$here/bench/lib.sh"

for kind in docx html; do
  folder=$corpus/$kind
  collect_files "$folder" -name '*.docx' -o -name '*.htm' -o -name '*.html'
  if [ ${#files[@]} -eq 0 ]; then
    echo "No documents in $folder" >&2
    continue
  fi
  if [ -n "$fidelity" ]; then
    pandoc_from=$kind
    if [ "$kind" = docx ]; then
      mapfile -t tools < <(installed_tools pandoc=pandoc_text docx2txt=docx2txt_text)
    else
      mapfile -t tools < <(installed_tools pandoc=pandoc_text html2text=html2text_text)
    fi
    fidelity_table "$kind" "${tools[@]}"
    echo
    continue
  fi
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
