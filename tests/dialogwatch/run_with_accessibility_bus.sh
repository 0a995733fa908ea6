#!/bin/sh
# Runs a program under a private X server, a private D-Bus session and the
# desktop's accessibility bus, so that other programs' windows and their
# controls can be seen as a desktop session shows them.
#   run_with_accessibility_bus.sh PROGRAM [ARGS...]
set -eu
if [ -z "${QUILLON_INSIDE_ACCESSIBILITY_BUS:-}" ]; then
  export QUILLON_INSIDE_ACCESSIBILITY_BUS=1
  exec xvfb-run -a -s "-screen 0 1024x768x24 -nolisten tcp" \
    dbus-run-session -- "$0" "$@"
fi
/usr/libexec/at-spi-bus-launcher --launch-immediately &
launcher=$!
trap 'kill "$launcher" 2>/dev/null || true' EXIT
status=0
"$@" || status=$?
exit "$status"
