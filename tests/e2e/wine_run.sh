#!/usr/bin/env bash
# Runs a Windows program (a cross-built test) under Wine and exits with its exit code.
#
#   wine_run.sh PROGRAM.exe [ARGS...]
#   wine_run.sh --prepare            creates the prefix and exits
#
# The prefix is $PAPYRANT_WINEPREFIX, by default "wineprefix" in the build directory (the parent of the
# program's bin directory). Without a DISPLAY a private Xvfb is started for the run. Wine's output goes
# to a file and is printed afterwards: reading it through a pipe would wait for Wine's background
# processes. PAPYRANT_WINE_TIMEOUT (seconds, default 300) bounds the run. With
# PAPYRANT_WINE_AUDIO=null-sink the program plays into a private PulseAudio null sink whose output is
# recorded (see pulse_null_sink.sh).
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
. "$here/wine_env.sh"

if [ "${1:-}" = "--prepare" ]; then
  prefix=${PAPYRANT_WINEPREFIX:?PAPYRANT_WINEPREFIX must be set with --prepare}
  shift
else
  program=${1:?usage: wine_run.sh PROGRAM.exe [ARGS...]}
  [ -f "$program" ] || { echo "wine_run: no such program: $program" >&2; exit 2; }
  build_dir=$(cd "$(dirname "$program")/.." && pwd)
  prefix=${PAPYRANT_WINEPREFIX:-$build_dir/wineprefix}
fi

wine_env_prefix "$prefix"
wine_env_lock
wine_env_xvfb || exit 1
trap wine_env_finish EXIT
wine_env_create || exit 1
[ $# -eq 0 ] && exit 0

audio=()
[ "${PAPYRANT_WINE_AUDIO:-}" = null-sink ] && audio=("$here/pulse_null_sink.sh")

output=$(mktemp "${TMPDIR:-/tmp}/papyrant-wine.XXXXXX")
timeout --kill-after=5 "${PAPYRANT_WINE_TIMEOUT:-300}" "${audio[@]}" wine "$@" >"$output" 2>&1 </dev/null
status=$?
sed "s/\r$//" "$output"
rm -f "$output"
[ $status -eq 124 ] && echo "wine_run: timed out" >&2
exit $status
