#!/usr/bin/env bash
# Builds Quorvane (when needed), starts the local directory service on loopback and then the
# program. Arguments go to the program (see --help).
set -euo pipefail
cd "$(dirname "$0")"
./scripts/install-deps

build=build/run
export CCACHE_BASEDIR="$PWD"
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DQUORVANE_TESTS=OFF -DQUORVANE_BENCH=OFF >/dev/null
cmake --build "$build" --target quorvane quorvane-directory

program="$build/src/ui/quorvane"
data="${XDG_DATA_HOME:-$HOME/.local/share}"
service_data="$data/quorvane-directory"
listen="${QUORVANE_DIRECTORY_LISTEN:-127.0.0.1:8080}"

service_pid=""
cleanup() {
  if [ -n "$service_pid" ]; then kill "$service_pid" 2>/dev/null || true; wait "$service_pid" 2>/dev/null || true; fi
}
trap cleanup EXIT

# The directory service: one per machine; a running one is used as it is.
if ! (exec 3<>"/dev/tcp/${listen%:*}/${listen#*:}") 2>/dev/null; then
  mkdir -p "$service_data"
  "$build/server/directory/quorvane-directory" --listen "$listen" \
    --db "$service_data/directory.db" --files "$service_data/files" \
    --mail-dir "$service_data/mail" 2>>"$service_data/service.log" &
  service_pid=$!
  for _ in $(seq 50); do
    (exec 3<>"/dev/tcp/${listen%:*}/${listen#*:}") 2>/dev/null && break
    sleep 0.1
  done
  echo "directory service on $listen; mail it sends is in $service_data/mail/" >&2
fi

# Without a display, the program runs on a virtual one (or set QT_QPA_PLATFORM=offscreen).
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
  xvfb-run -a -s "-screen 0 1280x800x24" "$program" "$@"
else
  "$program" "$@"
fi
