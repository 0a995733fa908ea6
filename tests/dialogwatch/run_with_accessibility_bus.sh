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
# Programs started before the bus has its name would miss it.
for _ in $(seq 100); do
  dbus-send --session --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus \
    org.freedesktop.DBus.NameHasOwner string:org.a11y.Bus 2>/dev/null | grep -q "boolean true" && break
  sleep 0.1
done
status=0
"$@" || status=$?
exit "$status"
