#!/usr/bin/env bash
# Starts the program with a simulated Kavo5 logger attached:
#   scripts/demo.sh BUILD_DIR [program args]
# kavo5-sim runs in the background on a pseudo-terminal reached through a
# link in a temporary folder; the program gets "--port LINK" for this run
# only (the port in the settings file stays as it is). The simulator is
# stopped when the program exits.
#
# QUORVEL_NO_DEMO=1 starts the program alone, for a real logger on the
# port chosen in "File" -> "Options".
set -u
build="$1"; shift
program="$build/bin/quorvel"
sim="$build/bin/kavo5-sim"

if [ "${QUORVEL_NO_DEMO:-0}" != 0 ] || [ ! -x "$sim" ]; then
  [ -x "$sim" ] || echo "kavo5-sim not built: starting without a simulated logger" >&2
  exec "$program" "$@"
fi

tmp=$(mktemp -d "${TMPDIR:-/tmp}/quorvel-demo.XXXXXX")
link="$tmp/ttyKavo5"
sim_pid=
cleanup() {
  if [ -n "$sim_pid" ]; then
    kill "$sim_pid" 2>/dev/null
    wait "$sim_pid" 2>/dev/null
  fi
  rm -rf "$tmp"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

"$sim" --link "$link" --flights 3 --samples 3000 ${QUORVEL_SIM_ARGS:-} >"$tmp/sim.out" 2>"$tmp/sim.err" &
sim_pid=$!

# Wait until the simulator has made its terminal.
for _ in $(seq 1 50); do
  [ -e "$link" ] && break
  if ! kill -0 "$sim_pid" 2>/dev/null; then
    echo "kavo5-sim did not start:" >&2
    cat "$tmp/sim.err" >&2
    sim_pid=
    exit 1
  fi
  sleep 0.1
done
if [ ! -e "$link" ]; then
  echo "kavo5-sim made no terminal at $link" >&2
  exit 1
fi

echo "Simulated Kavo5 logger at $link: \"Data\" -> \"Read data\", then \"Connect\" and \"Read Data\"." >&2
"$program" --port "$link" "$@"
rc=$?
exit $rc
