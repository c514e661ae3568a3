#!/usr/bin/env bash
# Builds Quorvane (when needed) and starts it. Arguments go to the program (see --help).
set -euo pipefail
cd "$(dirname "$0")"
./scripts/install-deps

build=build/run
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DQUORVANE_TESTS=OFF -DQUORVANE_BENCH=OFF >/dev/null
cmake --build "$build" --target quorvane

program="$build/src/ui/quorvane"
# Without a display, the program runs on a virtual one (or set QT_QPA_PLATFORM=offscreen).
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
  exec xvfb-run -a -s "-screen 0 1280x800x24" "$program" "$@"
fi
exec "$program" "$@"
