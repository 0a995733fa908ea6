#!/usr/bin/env bash
# Sets up, builds and runs Quillon.
#
#   ./quillon.sh run [ARGS...]   set up, build, run quillon (default: convert the samples)
#   ./quillon.sh test            set up, build, run every test
#   ./quillon.sh bench [NAME]    set up (with the comparison tools), build, run the benchmarks
#   ./quillon.sh build           set up and build only
#   ./quillon.sh screenshots     set up, build, render every window into build/screenshots/
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
  xvfb xauth shared-mime-info xdg-utils fonts-dejavu-core x11-utils
  libatspi2.0-dev at-spi2-core dbus-daemon
)
bench_packages=(antiword catdoc unrtf pandoc docx2txt html2text hyperfine)

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
  *)
    echo "usage: $0 run [ARGS...] | test | bench [NAME] | build | screenshots" >&2
    exit 2
    ;;
esac
