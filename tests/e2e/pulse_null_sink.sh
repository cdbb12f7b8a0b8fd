#!/usr/bin/env bash
# Runs a command beside a private PulseAudio daemon whose one output is a null sink, and records what
# that sink plays.
#
#   pulse_null_sink.sh COMMAND [ARGS...]
#
# Everything of the daemon lives in a new temporary directory: its socket, runtime and state
# directories and a HOME of its own, so the user's sound set-up is neither used nor touched. It loads
# only the native protocol on that socket (anonymous access, no network) and the null sink "nullsink"
# (s16le, 44100 Hz, stereo), the default sink. parec records nullsink.monitor, raw s16le 44100 Hz
# stereo, into a file that grows in real time while the command runs. The command gets
#   PULSE_SERVER, PULSE_COOKIE, PULSE_CLIENTCONFIG   the private daemon, for libpulse clients (Wine)
#   PAPYRANT_AUDIO_RECORDING                         the recording
# or, when the daemon or the recorder cannot start, PAPYRANT_AUDIO_UNAVAILABLE with the reason; the
# command runs either way. Afterwards the recorder and the daemon are stopped and the directory is
# removed (PAPYRANT_AUDIO_KEEP=1 keeps it and prints where). Exits with the command's exit code.
set -uo pipefail
[ $# -gt 0 ] || { echo "usage: pulse_null_sink.sh COMMAND [ARGS...]" >&2; exit 2; }

dir=$(mktemp -d "${TMPDIR:-/tmp}/papyrant-pulse.XXXXXX") || exit 1
daemon_pid=""
recorder_pid=""

finish() {
  [ -n "$recorder_pid" ] && kill "$recorder_pid" 2>/dev/null
  [ -n "$daemon_pid" ] && kill "$daemon_pid" 2>/dev/null
  [ -n "$recorder_pid" ] && wait "$recorder_pid" 2>/dev/null
  [ -n "$daemon_pid" ] && wait "$daemon_pid" 2>/dev/null
  if [ "${PAPYRANT_AUDIO_KEEP:-}" = 1 ]; then
    echo "pulse_null_sink: kept $dir" >&2
  else
    rm -rf "$dir"
  fi
}
trap finish EXIT
trap 'exit 143' TERM
trap 'exit 130' INT

unavailable() {
  echo "pulse_null_sink: $1; running without audio output" >&2
  export PAPYRANT_AUDIO_UNAVAILABLE="$1"
  unset PULSE_SERVER PULSE_COOKIE PULSE_CLIENTCONFIG PAPYRANT_AUDIO_RECORDING
}

# Waits up to 5 s for a command to succeed, while the daemon runs.
wait_for() {
  local i
  for i in $(seq 100); do
    "$@" && return 0
    kill -0 "$daemon_pid" 2>/dev/null || return 1
    sleep 0.05
  done
  return 1
}

recorder_connected() { [ -n "$(pactl list short source-outputs 2>/dev/null)" ]; }

start() {
  command -v pulseaudio >/dev/null || { unavailable "pulseaudio is not installed"; return; }
  command -v parec >/dev/null || { unavailable "parec is not installed"; return; }
  mkdir -p "$dir/home" "$dir/run" "$dir/state"
  printf 'autospawn = no\n' >"$dir/client.conf"
  export PULSE_SERVER="unix:$dir/native" PULSE_COOKIE="$dir/cookie" PULSE_CLIENTCONFIG="$dir/client.conf"

  # Without a display and with an unreachable session bus the daemon neither launches a D-Bus daemon
  # nor publishes itself anywhere.
  env -u DISPLAY HOME="$dir/home" XDG_RUNTIME_DIR="$dir/run" PULSE_RUNTIME_PATH="$dir/run" \
      PULSE_STATE_PATH="$dir/state" DBUS_SESSION_BUS_ADDRESS="unix:path=$dir/no-bus" \
    pulseaudio -n --daemonize=no --use-pid-file=no --exit-idle-time=-1 --disallow-exit \
      --log-target="file:$dir/daemon.log" \
      -L "module-native-protocol-unix socket=$dir/native auth-anonymous=1" \
      -L "module-null-sink sink_name=nullsink format=s16le rate=44100 channels=2" \
      </dev/null >/dev/null 2>&1 &
  daemon_pid=$!
  if ! wait_for pactl info >/dev/null 2>&1; then
    local why
    why=$(grep '^E:' "$dir/daemon.log" 2>/dev/null | tail -n 1)
    unavailable "the PulseAudio daemon did not start${why:+ ($why)}"
    return
  fi
  pactl set-default-sink nullsink >/dev/null 2>&1

  parec --device=nullsink.monitor --format=s16le --rate=44100 --channels=2 --raw --latency-msec=10 \
    >"$dir/output.raw" 2>"$dir/parec.log" </dev/null &
  recorder_pid=$!
  # The null sink renders its first block, 2 s of silence, when it is created, and the recorder hears
  # nothing until that block has played; a suspend and resume restarts the sink at the recorder's
  # latency. After that the sink plays silence all the time, so a live recording grows at once.
  wait_for recorder_connected
  pactl suspend-sink nullsink 1 >/dev/null 2>&1
  pactl suspend-sink nullsink 0 >/dev/null 2>&1
  if ! wait_for test -s "$dir/output.raw"; then
    unavailable "parec records nothing ($(tail -n 1 "$dir/parec.log" 2>/dev/null))"
    return
  fi
  export PAPYRANT_AUDIO_RECORDING="$dir/output.raw"
}

start
"$@"
