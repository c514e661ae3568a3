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
  # Its database and mail hold passwords: the folder is the service's alone.
  mkdir -p "$service_data" && chmod 700 "$service_data"
  "$build/server/directory/quorvane-directory" --listen "$listen" \
    --db "$service_data/directory.db" --files "$service_data/files" \
    --mail-dir "$service_data/mail" --ticket-key "$ticket_key" \
    >"$service_data/listening" 2>>"$service_data/service.log" &
  service_pid=$!
  listening "$service_data/listening" || echo "the directory service did not start; see $service_data/service.log" >&2
  echo "directory service on $listen; mail it sends is in $service_data/mail/" >&2
fi

# The voice server speaks TLS: on first use a local certificate authority (its key 0600 in a
# 0700 folder) and a certificate for the local server, which the program's Server.ini trusts.
make_voice_certificates() {
  local ca="$voice_data/ca" tls="$voice_data/tls" host="${voice_listen%:*}" san
  if [ -s "$ca/ca.pem" ] && [ -s "$tls/server.pem" ] && [ -s "$tls/server.key" ]; then return 0; fi
  san="IP:127.0.0.1,DNS:localhost"
  if [[ "$host" =~ ^[0-9.]+$ ]]; then
    [ "$host" = 127.0.0.1 ] || san="IP:$host,$san"
  else
    san="DNS:$host,$san"
  fi
  (
    umask 077
    mkdir -p "$ca" "$tls"
    chmod 700 "$ca" "$tls"
    openssl ecparam -name prime256v1 -genkey -noout -out "$ca/ca.key"
    openssl req -x509 -new -key "$ca/ca.key" -sha256 -days 3650 \
      -subj "/CN=Quorvane local voice authority" \
      -addext "basicConstraints=critical,CA:TRUE" -addext "keyUsage=critical,keyCertSign,cRLSign" \
      -out "$ca/ca.pem"
    openssl ecparam -name prime256v1 -genkey -noout -out "$tls/server.key"
    openssl req -new -key "$tls/server.key" -subj "/CN=$host" -out "$tls/server.csr"
    printf 'basicConstraints=CA:FALSE\nkeyUsage=critical,digitalSignature\nextendedKeyUsage=serverAuth\nsubjectAltName=%s\n' \
      "$san" >"$tls/server.ext"
    openssl x509 -req -in "$tls/server.csr" -CA "$ca/ca.pem" -CAkey "$ca/ca.key" \
      -CAcreateserial -days 825 -sha256 -extfile "$tls/server.ext" -out "$tls/server.pem" 2>/dev/null
    rm -f "$tls/server.csr" "$tls/server.ext"
  )
  chmod 600 "$ca/ca.key" "$tls/server.key"
}

# The program trusts that authority through VoiceCaFile in its server settings.
trust_voice_authority() {
  local root="${QUORVANE_HOME:-$data/quorvane}" ini
  while [ $# -gt 0 ]; do
    case "$1" in
      --home) [ $# -gt 1 ] && root="$2"; shift ;;
      --home=*) root="${1#--home=}" ;;
    esac
    shift
  done
  mkdir -p "$root"
  ini="$root/Server.ini"
  [ -f "$root/Server1.ini" ] && ini="$root/Server1.ini"
  grep -qi '^VoiceCaFile=' "$ini" 2>/dev/null && return 0
  if grep -qi '^\[Server\]' "$ini" 2>/dev/null; then
    sed -i "0,/^\[[Ss]erver\]/s||&\nVoiceCaFile=$voice_data/ca/ca.pem|" "$ini"
  else
    printf '[Server]\nVoiceCaFile=%s\n' "$voice_data/ca/ca.pem" >>"$ini"
  fi
}

# The voice server, which checks logins with that directory service's ticket key.
mkdir -p "$voice_data" && chmod 700 "$voice_data"
make_voice_certificates
trust_voice_authority "$@"
if ! answers "$voice_listen"; then
  "$build/server/voice/sonaro-server" --listen "$voice_listen" \
    --ticket-public-key "$ticket_key.pub" \
    --certificate "$voice_data/tls/server.pem" --private-key "$voice_data/tls/server.key" \
    --forums "$PWD/server/voice/forums.conf" \
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
