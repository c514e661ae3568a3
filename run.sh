#!/usr/bin/env bash
# Builds Quorvane (when needed), starts the local directory service and voice server on
# loopback and then the program. Arguments go to the program (see --help).
set -euo pipefail
cd "$(dirname "$0")"
./scripts/install-deps

build=build/run
export CCACHE_BASEDIR="$PWD"
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DQUORVANE_TESTS=OFF -DQUORVANE_BENCH=OFF >/dev/null
cmake --build "$build" --target quorvane quorvane-directory sonaro-server

program="$build/src/ui/quorvane"
data="${XDG_DATA_HOME:-$HOME/.local/share}"
service_data="$data/quorvane-directory"
listen="${QUORVANE_DIRECTORY_LISTEN:-127.0.0.1:8080}"
voice_listen="${QUORVANE_VOICE_LISTEN:-127.0.0.1:12011}"
voice_data="$data/sonaro-server"
# The directory signs voice tickets with this key and makes it, with its .pub, on first use; the
# voice server checks them with the .pub.
ticket_key="$service_data/keys/ticket.key"

service_pid=""
voice_pid=""
cleanup() {
  for pid in $voice_pid $service_pid; do
    kill "$pid" 2>/dev/null || true; wait "$pid" 2>/dev/null || true
  done
}
trap cleanup EXIT

answers() { (exec 3<>"/dev/tcp/${1%:*}/${1#*:}") 2>/dev/null; }
# Waits (up to 5 s) for a server we started to print its "listening on" line into that file.
listening() { for _ in $(seq 50); do grep -q '^listening on ' "$1" 2>/dev/null && return 0; sleep 0.1; done; return 1; }

# The directory service: one per machine; a running one is used as it is.
if ! answers "$listen"; then
  mkdir -p "$service_data"
  "$build/server/directory/quorvane-directory" --listen "$listen" \
    --db "$service_data/directory.db" --files "$service_data/files" \
    --mail-dir "$service_data/mail" --ticket-key "$ticket_key" \
    >"$service_data/listening" 2>>"$service_data/service.log" &
  service_pid=$!
  listening "$service_data/listening" || echo "the directory service did not start; see $service_data/service.log" >&2
  echo "directory service on $listen; mail it sends is in $service_data/mail/" >&2
fi

# The voice server, which checks logins with that directory service's ticket key.
if ! answers "$voice_listen"; then
  mkdir -p "$voice_data"
  "$build/server/voice/sonaro-server" --listen "$voice_listen" \
    --ticket-public-key "$ticket_key.pub" \
    >"$voice_data/listening" 2>>"$voice_data/server.log" &
  voice_pid=$!
  listening "$voice_data/listening" || echo "the voice server did not start; see $voice_data/server.log" >&2
  echo "voice server on $voice_listen; its log is $voice_data/server.log" >&2
fi

# Without a display, the program runs on a virtual one (or set QT_QPA_PLATFORM=offscreen).
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
  xvfb-run -a -s "-screen 0 1280x800x24" "$program" "$@"
else
  "$program" "$@"
fi
