#!/usr/bin/env bash
# Sets up, builds and runs Quillon.
#
#   ./quillon.sh run [ARGS...]   set up, build, run quillon (default: convert the samples)
#   ./quillon.sh test            set up, build, run every test
#   ./quillon.sh bench [NAME]    set up (with the comparison tools), build, run the benchmarks
#   ./quillon.sh build           set up and build only
#   ./quillon.sh screenshots     set up, build, render every window into build/screenshots/
#   ./quillon.sh package         set up (with the packaging tools), build, make the Debian
#                                package build/package/quillon_VERSION_ARCH.deb and check
#                                it with lintian
#   ./quillon.sh fuzz [TARGET] [SECONDS]
#                                set up clang, build the fuzz targets into build-fuzz/, run
#                                each one (or TARGET) for SECONDS (default 20) on the corpus
#
# As root, missing Debian packages are installed; otherwise the one
# apt-get line that installs them is printed and the script stops.
set -euo pipefail

top=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
build_dir=${QUILLON_BUILD_DIR:-$top/build}

packages=(
  build-essential cmake ninja-build pkg-config gettext
  qt6-base-dev qt6-qpa-plugins libgl-dev
  libzip-dev libpugixml-dev libgumbo-dev libicu-dev libgsf-1-dev libwpd-dev librevenge-dev
  libwps-dev libshp-dev
  libxcb1-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  xvfb xauth shared-mime-info xdg-utils fonts-dejavu-core x11-utils desktop-file-utils trayer
  libatspi2.0-dev at-spi2-core dbus-daemon
  groff-base librsvg2-bin
)
bench_packages=(antiword catdoc unrtf pandoc docx2txt html2text hyperfine)
fuzz_packages=(clang libclang-rt-14-dev)
package_packages=(dpkg-dev lintian)

missing_packages() {
  local p
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || printf '%s ' "$p"
  done
}

install_packages() {
  local missing
  missing=$(missing_packages "$@")
  [ -z "$missing" ] && return 0
  if [ "$(id -u)" -ne 0 ]; then
    echo "Missing packages. Install them with:" >&2
    echo "  sudo apt-get install -y $missing" >&2
    exit 1
  fi
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  # shellcheck disable=SC2086
  apt-get install -y -qq --no-install-recommends $missing
}

build() {
  local werror=OFF
  [ -n "${CI:-}" ] && werror=ON
  cmake -S "$top" -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DQUILLON_WERROR=$werror >/dev/null
  cmake --build "$build_dir" -j"$(nproc)"
}

cmd=${1:-run}
[ $# -gt 0 ] && shift
case "$cmd" in
  build)
    install_packages "${packages[@]}"
    build
    ;;
  run)
    install_packages "${packages[@]}"
    build
    if [ $# -eq 0 ]; then
      out=${QUILLON_SAMPLES_OUT:-$build_dir/samples-out}
      mkdir -p "$out"
      set -- /d:"$out" /s "$build_dir/bin/samples/*.doc;*.docx;*.rtf;*.htm;*.html"
      echo "Converting the samples into $out"
    fi
    exec "$build_dir/bin/quillon" "$@"
    ;;
  test)
    install_packages "${packages[@]}"
    build
    cd "$build_dir"
    exec ctest --output-on-failure -j"$(nproc)" --timeout 600 "$@"
    ;;
  bench)
    install_packages "${packages[@]}" "${bench_packages[@]}"
    build
    if [ $# -gt 0 ]; then
      exec "$build_dir/bin/$1" "${@:2}"
    fi
    for b in "$build_dir"/bin/bench_*; do
      [ -x "$b" ] && "$b"
    done
    ;;
  screenshots)
    install_packages "${packages[@]}"
    build
    out=$build_dir/screenshots
    rm -rf "$out"
    mkdir -p "$out"
    xvfb-run -a -s "-screen 0 1280x1024x24" "$build_dir/bin/quillon_screenshots" "$out"
    ;;
  package)
    install_packages "${packages[@]}" "${package_packages[@]}"
    build
    rm -rf "$build_dir/package"
    (cd "$build_dir" && cpack -G DEB)
    debs=("$build_dir"/package/quillon_*.deb)
    # Errors fail the command; warnings are shown.
    lintian --fail-on error --tag-display-limit 0 "${debs[@]}"
    echo "Package: ${debs[*]}"
    ;;
  fuzz)
    install_packages "${packages[@]}" "${fuzz_packages[@]}"
    fuzz_dir=$top/build-fuzz
    CC=clang CXX=clang++ cmake -S "$top" -B "$fuzz_dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
      -DQUILLON_BUILD_FUZZ=ON -DQUILLON_BUILD_TESTS=OFF -DQUILLON_BUILD_BENCH=OFF >/dev/null
    targets=(fuzz_rtf fuzz_docx fuzz_doc fuzz_html fuzz_text fuzz_wordperfect fuzz_macro_parser
             fuzz_profile fuzz_watch_list fuzz_wordcnv)
    [ $# -gt 0 ] && targets=("$1")
    seconds=${2:-20}
    cmake --build "$fuzz_dir" -j"$(nproc)" --target "${targets[@]}"
    corpus=$(cd "$top/.." && pwd)/shared/corpus
    for t in "${targets[@]}"; do
      # Seeds: the corpus documents of the target's kind; findings land in
      # build-fuzz/findings/TARGET/, the grown corpus in build-fuzz/corpus/TARGET/.
      seeds=$fuzz_dir/corpus/$t
      mkdir -p "$seeds" "$fuzz_dir/findings/$t"
      # Leaks inside libgsf (.doc) are suppressed by function name, which
      # needs whole stacks through the library (about half the speed).
      unwind=
      [ "$t" = fuzz_doc ] && unwind=fast_unwind_on_malloc=0
      case $t in
        fuzz_rtf) kinds=rtf ;; fuzz_docx) kinds=docx ;; fuzz_doc) kinds=doc ;;
        fuzz_html) kinds="html htm" ;; fuzz_wordperfect) kinds="wpd wp" ;;
        fuzz_text) kinds="txt tsv md" ;; fuzz_wordcnv) kinds="dbf wk1 wk3 wks 123" ;;
        *) kinds= ;;
      esac
      [ "$t" = fuzz_macro_parser ] && cp -n "$top/plugin.bas" "$seeds/" 2>/dev/null
      [ "$t" = fuzz_profile ] && printf '[Tarvell\\Quillon]\r\nLanguage=en\r\nCreate Log File=1\r\n' >"$seeds/set.ini"
      [ "$t" = fuzz_watch_list ] && printf 'record count2=2\r\n1\r\n/home/a/in\r\nSame File Path\r\n<-draft->*.doc;*.rtf\r\nYes\r\nUnicode Text(*.txt)\r\n0\r\n/tmp/b\r\n/tmp/out\r\n*.*\r\nNo\r\nText Only(*.txt)\r\n' >"$seeds/watcher.ini"
      for k in $kinds; do
        find "$corpus" -type f -iname "*.$k" -size -512k -exec cp -n {} "$seeds/" \; 2>/dev/null || true
      done
      echo "== $t for ${seconds}s"
      # A child process runs the inputs, so that an input that asks the libraries
      # for more memory than the engine's cap allows is saved and the run goes
      # on (the engine turns such an input into one failed file); a crash still
      # ends the run.
      stamp=$(mktemp)
      rc=0
      ASAN_OPTIONS=$unwind${ASAN_OPTIONS:+${unwind:+:}$ASAN_OPTIONS} \
        LSAN_OPTIONS=suppressions=$top/fuzz/lsan.supp${LSAN_OPTIONS:+:$LSAN_OPTIONS} \
        "$fuzz_dir/bin/$t" -fork=1 -ignore_ooms=1 -max_total_time="$seconds" -rss_limit_mb=2048 \
        -malloc_limit_mb=2048 -timeout=10 -artifact_prefix="$fuzz_dir/findings/$t/" "$seeds" || rc=$?
      # The fork mode ends with the code of its last failed input even where
      # it went on past it: a run whose only new findings are out-of-memory
      # inputs passes; anything else (a crash, a leak, a hang) fails it.
      found=$(find "$fuzz_dir/findings/$t" -type f -newer "$stamp")
      rm -f "$stamp"
      if [ "$rc" -ne 0 ]; then
        if [ -z "$found" ] || printf '%s\n' "$found" | grep -qv '/oom-[^/]*$'; then
          echo "== $t failed (exit code $rc); findings in $fuzz_dir/findings/$t/" >&2
          exit "$rc"
        fi
        echo "== $t: only out-of-memory inputs (kept in $fuzz_dir/findings/$t/)"
      fi
    done
    ;;
  *)
    echo "usage: $0 run [ARGS...] | test | bench [NAME] | build | screenshots | package |" \
      "fuzz [TARGET] [SECONDS]" >&2
    exit 2
    ;;
esac
