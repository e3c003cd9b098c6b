#!/usr/bin/env bash
# with_servers.sh STATE_DIR COMMAND [ARGS...]
#
# Runs COMMAND with the loopback test servers of test_server.py (a
# self-signed certificate made here by openssl, in STATE_DIR) and passes
# their ports in ZV_HTTP_PORT and ZV_HTTPS_PORT. The servers are stopped by
# pid when COMMAND ends, also on INT/TERM; they also end by themselves when
# this script is gone or after two idle minutes.
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
state=$1
shift
mkdir -p "$state"

openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj /CN=127.0.0.1 \
  -addext subjectAltName=IP:127.0.0.1 \
  -keyout "$state/key.pem" -out "$state/cert.pem" >"$state/openssl.log" 2>&1 ||
  { cat "$state/openssl.log" >&2; exit 1; }

rm -f "$state/ports"
python3 "$here/test_server.py" --cert "$state/cert.pem" --key "$state/key.pem" \
  --ports "$state/ports" </dev/null &
server=$!
child=
stop() {
  [[ -n $child ]] && kill "$child" 2>/dev/null
  kill "$server" 2>/dev/null || true
  wait "$server" 2>/dev/null || true
}
trap stop EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

for ((i = 0; i < 200; i++)); do
  [[ -s $state/ports ]] && break
  kill -0 "$server" 2>/dev/null || { echo "with_servers.sh: the test server did not start" >&2; exit 1; }
  sleep 0.05
done
[[ -s $state/ports ]] || { echo "with_servers.sh: no ports from the test server" >&2; exit 1; }
read -r ZV_HTTP_PORT ZV_HTTPS_PORT <"$state/ports"
export ZV_HTTP_PORT ZV_HTTPS_PORT

# A proxy from the environment must not take the loopback requests.
unset http_proxy https_proxy HTTP_PROXY HTTPS_PROXY all_proxy ALL_PROXY

# In the background, so INT/TERM are handled at once.
"$@" &
child=$!
rc=0
wait "$child" || rc=$?
child=
exit "$rc"
