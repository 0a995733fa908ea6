#!/bin/sh
# Starts the program without parameters on a private X server and waits for
# its main window to appear there under the program's caption.
#   window_caption_xvfb.sh BIN_DIR
set -eu
bin_dir=$1
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
mkdir -p "$scratch/home" "$scratch/runtime"
chmod 700 "$scratch/runtime"
export QUILLON_HOME="$scratch/home" XDG_RUNTIME_DIR="$scratch/runtime"
exec xvfb-run -a -s "-screen 0 1280x1024x24" sh -c '
  "$1/quillon" &
  pid=$!
  tries=0
  while [ $tries -lt 150 ]; do
    if xwininfo -root -tree | grep -q "\"Quillon 4.0 Build210604\""; then
      kill "$pid"
      wait "$pid" 2>/dev/null || true
      echo "window shown: Quillon 4.0 Build210604"
      exit 0
    fi
    tries=$((tries + 1))
    sleep 0.1
  done
  kill "$pid" 2>/dev/null || true
  echo "no window captioned Quillon 4.0 Build210604 appeared" >&2
  xwininfo -root -tree >&2
  exit 1' sh "$bin_dir"
