# Shell functions for running Windows programs under Wine in the tests; sourced by wine_run.sh.
#
# A private prefix is created once with `wineboot -i` and reused. Its lock file serialises every use:
# the lock is held for a whole run, so the wine server of the prefix only ever serves one test and is
# killed when that test ends.

# wine_env_prefix PREFIX: exports the Wine environment for PREFIX.
wine_env_prefix() {
  export WINEPREFIX="$1"
  export WINEARCH=win64
  export WINEDEBUG=-all
  # No Mono or Gecko: their installers would ask with a dialog and download.
  export WINEDLLOVERRIDES="mscoree=;mshtml=;winemenubuilder.exe="
  unset WINESERVER WINELOADER
}

# wine_env_lock: takes the prefix lock on file descriptor 9 (waits while another test holds it).
wine_env_lock() {
  exec 9>"$WINEPREFIX.lock"
  flock 9
}

# wine_env_create: creates the prefix unless a complete one exists. Call with the lock held and a display.
wine_env_create() {
  if [ ! -f "$WINEPREFIX/.papyrant-ready" ]; then
    rm -rf "$WINEPREFIX"
    mkdir -p "$(dirname "$WINEPREFIX")"
    wineboot -i >"$WINEPREFIX.boot.log" 2>&1 || { cat "$WINEPREFIX.boot.log" >&2; return 1; }
    wineserver -w
    touch "$WINEPREFIX/.papyrant-ready"
  fi
  wine_env_fonts
}

# wine_env_fonts: Wine's font replacements, once per prefix: the MS gothic faces that the programs name
# become the installed Japanese gothics (else a Japanese request gets another face, and a Western one
# lacks the glyphs). Written with regedit from a UTF-16 file, which carries the Japanese names intact.
wine_env_fonts() {
  [ -f "$WINEPREFIX/.papyrant-fonts" ] && return 0
  local reg
  reg=$(mktemp "${TMPDIR:-/tmp}/papyrant-fonts.XXXXXX")
  {
    printf '\xff\xfe'
    printf '%s\r\n' 'Windows Registry Editor Version 5.00' '' \
      '[HKEY_CURRENT_USER\Software\Wine\Fonts\Replacements]' \
      '"MS PGothic"="IPAPGothic"' '"ＭＳ Ｐゴシック"="IPAPGothic"' '"MS UI Gothic"="IPAPGothic"' \
      '"MS Gothic"="IPAGothic"' '"ＭＳ ゴシック"="IPAGothic"' '' | iconv -f UTF-8 -t UTF-16LE
  } >"$reg"
  wine regedit /S "Z:$reg" >/dev/null 2>&1
  local status=$?
  wineserver -w
  rm -f "$reg"
  [ $status -eq 0 ] && touch "$WINEPREFIX/.papyrant-fonts"
  return 0
}

# wine_env_xvfb: starts a private Xvfb (1024 x 768 x 24) unless DISPLAY is set; sets DISPLAY and
# WINE_ENV_XVFB_PID (empty when the caller's display is used).
wine_env_xvfb() {
  WINE_ENV_XVFB_PID=""
  [ -n "${DISPLAY:-}" ] && return 0
  local fifo
  fifo=$(mktemp -u "${TMPDIR:-/tmp}/papyrant-xvfb.XXXXXX")
  mkfifo "$fifo"
  Xvfb -displayfd 8 -screen 0 1024x768x24 -nolisten tcp -noreset 8>"$fifo" >/dev/null 2>&1 &
  WINE_ENV_XVFB_PID=$!
  local number
  read -r -t 10 number <"$fifo" || number=""
  rm -f "$fifo"
  if [ -z "$number" ]; then
    echo "wine_env: Xvfb did not start" >&2
    kill "$WINE_ENV_XVFB_PID" 2>/dev/null
    return 1
  fi
  export DISPLAY=":$number"
}

# wine_env_finish: ends the prefix's wine server and the private Xvfb, if any.
wine_env_finish() {
  wineserver -k >/dev/null 2>&1 || true
  if [ -n "${WINE_ENV_XVFB_PID:-}" ]; then
    kill "$WINE_ENV_XVFB_PID" 2>/dev/null || true
    wait "$WINE_ENV_XVFB_PID" 2>/dev/null || true
  fi
}
