# Sourced by the keyboard-driven tests and scripts/run-creator: a private X display (Xvfb with a
# small window manager, so that windows take the keyboard focus as on a desktop) and a private Wine
# prefix that uses it, both under one work folder.
#   desktop_start WORKDIR    starts Xvfb, openbox and a persistent wineserver; sets DISPLAY, WINE*
#   desktop_stop             ends them again
#   wine_run PROGRAM ARGS... runs a program in the prefix and waits for it
#   wine_start PROGRAM ARGS... starts it in the background; its pid is in $wine_pid
#   wait_window TITLE [SECONDS]  waits until a window of that title is shown; its id is in $win
#   press KEYS...            sends keys to the active window (xdotool names: alt+n Tab space Return)
#   type_text TEXT           types text into the focused control
#   tab_to PATTERN           presses Tab until the focused control's "CLASS<TAB>TEXT" matches
#   shot NAME                saves a screenshot as $shots/NN-NAME.png
wine=/usr/lib/wine/wine64

desktop_start() {
  work=$1
  mkdir -p "$work/home"
  export WINEPREFIX=$work/prefix WINEDEBUG=-all WINEDLLOVERRIDES=winemenubuilder.exe=d HOME=$work/home
  local fd
  exec {fd}<> <(:)
  Xvfb -displayfd "$fd" -screen 0 1024x768x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
  xvfb_pid=$!
  local n=""
  for _ in $(seq 50); do read -r -t 0.2 -u "$fd" n && break; done
  exec {fd}<&-
  [ -n "$n" ] || { echo "Xvfb did not start"; return 1; }
  export DISPLAY=:$n
  openbox >"$work/openbox.log" 2>&1 &
  wm_pid=$!
  if [ ! -f "$WINEPREFIX/system.reg" ]; then $wine wineboot -i >/dev/null 2>&1 </dev/null; fi
  (wineserver -p >/dev/null 2>&1 &)
  $wine cmd /c exit >/dev/null 2>&1 </dev/null
  shot_no=0
}

desktop_stop() {
  wineserver -k 2>/dev/null; wineserver -w 2>/dev/null
  kill "${wm_pid:-}" "${xvfb_pid:-}" 2>/dev/null
  wait "${wm_pid:-}" "${xvfb_pid:-}" 2>/dev/null
  return 0
}

wine_run() { $wine "$@" </dev/null 2>/dev/null | tr -d '\r'; }
wine_start() { $wine "$@" >/dev/null 2>&1 </dev/null & wine_pid=$!; }

wait_window() { # TITLE [SECONDS]
  local t=${2:-30}
  for _ in $(seq $((t * 5))); do
    win=$(xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | head -n 1)
    if [ -n "$win" ]; then
      xdotool windowactivate --sync "$win" >/dev/null 2>&1
      sleep 0.3
      return 0
    fi
    sleep 0.2
  done
  echo "no window \"$1\" after ${t}s"
  return 1
}

# Waits until the process $wine_pid has ended.
wait_exit() { # [SECONDS]
  local t=${1:-30}
  for _ in $(seq $((t * 5))); do kill -0 "$wine_pid" 2>/dev/null || return 0; sleep 0.2; done
  echo "the program did not end after ${t}s"
  return 1
}

press() { for k in "$@"; do xdotool key --clearmodifiers "$k"; sleep 0.25; done; }
type_text() { xdotool type --delay 15 "$1"; sleep 0.2; }

# focusinfo.exe (built with the tests) tells which control has the focus.
focused() { wine_run "$focusinfo"; }
tab_to() { # PATTERN (an extended regular expression)
  for _ in $(seq 15); do
    press Tab
    local f; f=$(focused); echo "  focus: $f"; grep -Eq "$1" <<<"$f" && return 0
  done
  echo "no control matching '$1' in the tab order"
  return 1
}

shot() {
  shot_no=$((shot_no + 1))
  sleep 0.4
  import -window root "$shots/$(printf %02d $shot_no)-$1.png"
}
