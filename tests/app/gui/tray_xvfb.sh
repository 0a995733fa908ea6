#!/bin/sh
# Runs the tray checks on a private X server with a tray host (trayer).
#   tray_xvfb.sh CHECK_PROGRAM
set -eu
check=$1
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
mkdir -p "$scratch/runtime"
chmod 700 "$scratch/runtime"
export XDG_RUNTIME_DIR="$scratch/runtime" QT_QPA_PLATFORM=xcb
exec xvfb-run -a -s "-screen 0 1280x1024x24" sh -c '
  trayer --edge top --align right --widthtype request --height 24 --SetDockType true &
  tray=$!
  status=0
  "$1" || status=$?
  kill "$tray" 2>/dev/null || true
  wait "$tray" 2>/dev/null || true
  exit $status' sh "$check"
