# Sourced by keyboard_e2e.sh after desktop.sh: what holds for every window the walk reaches, read
# off the screen by winprobe.exe, and the table that answers every modal box and dialog with the
# real Enter, Escape and title-bar close (Alt+F4, which the window manager turns into the close
# box's request).
#   look NAME [FOCUS]      photographs the window in front as NAME and checks that the text of
#                          every label lies inside it, that the focus is on a visible, enabled
#                          control, and on FOCUS: "first" (the first control of the tab order,
#                          the default), a control's name, or "-" (not checked: a dialog of the
#                          platform's own); in the programs' own windows also that the default
#                          frame is on the focused push button or on one button at most, and
#                          that an arrow key in each group of radio buttons selects the next one
#                          and runs its handler (radios)
#   settled NAME [FOCUS]   photographs the window in front as NAME and checks the focus as look
#                          does, without reading the labels' ink
#   radios NAME [FILE]     in each group of radio buttons of the window in front: Down from the
#                          checked one checks and focuses the next, Up goes back; the handler's
#                          effect on the screen is checked where radio_effect names one:
#                          radio_effect[BUTTON]="CONTROL enabled" (or disabled) once BUTTON is
#                          selected
#   reaches NAME...        a click at the centre of each named control reaches that control
#   click NAME             a real mouse click at the centre of the named control
#   front                  the title of the window in front
#   wait_front TITLE [S]   waits until the window in front has that title
#   ensure TITLE COMMAND   runs COMMAND unless the window in front has that title, and waits for it
#   boxes <<EOF            the table: one row per box, columns separated by "|":
#     PHOTO | TITLE | OPENED BY | FOCUS | ENTER | ESCAPE | CLOSE | THEN
#   ENTER, ESCAPE, CLOSE: what the key gives: "stays" (the box stays open, nothing happens),
#   "exit" (the program ends), TITLE (the box has closed and that window is in front, its
#   focus on a visible, enabled control), TITLE@TEXT (and it shows TEXT), each optionally
#   followed by ">COMMAND" that goes back from there; "-" when not tried. OPENED BY opens the
#   box from wherever the previous case left; THEN runs after the row (to close a box that
#   stays open, for instance).
winprobe=$build/tests/e2e/winprobe.exe
probe() { wine_run "$winprobe" "$@"; }
front() { probe -q | sed -n '1s/^window\t\([^\t]*\)\t.*$/\1/p'; }

wait_front() { # TITLE [SECONDS]
  local t=${2:-10}
  for _ in $(seq $((t * 10))); do [ "$(front)" = "$1" ] && return 0; sleep 0.1; done
  echo "  in front: \"$(front)\", not \"$1\""
  return 1
}

ensure() { # TITLE COMMAND
  [ "$(front)" = "$1" ] && return 0
  eval "$2"
  wait_front "$1" 15
}

# Does the window in front show a control with this text?
shows() { probe -q | awk -F'\t' -v t="$1" '$1 == "control" && $4 == t { ok = 1 } END { exit !ok }'; }

# flagged FILE NAME FLAG: the control NAME (or, with NAME "*", any control) has FLAG.
flagged() {
  awk -F'\t' -v n="$2" -v f="$3" '$1 == "control" && (n == "*" || $2 == n) && ("," $6 ",") ~ ("," f ",") \
    { ok = 1 } END { exit !ok }' "$1"
}

# usable FILE: the probe's focus line names a visible, enabled control.
usable() { awk -F'\t' '$1 == "focus" { ok = $4 == "usable" } END { exit !ok }' "$1"; }

# framed FILE: the default frame is on the focused push button, else on one button at most.
framed() {
  awk -F'\t' '$1 == "focus" { f = $2 }
    $1 == "control" && ("," $6 ",") ~ /,default,/ { n++ }
    $1 == "control" && $2 == f && ("," $6 ",") ~ /,push,/ { push = 1; ok = ("," $6 ",") ~ /,default,/ }
    END { exit !(n <= 1 && (!push || ok)) }' "$1"
}

# The focus of the probe in FILE: visible and enabled, and on FOCUS ("first", a name or "-").
focus_checks() { # NAME FILE FOCUS
  check "$1: the focus is on a visible, enabled control" usable "$2" || grep '^focus' "$2" | sed 's/^/  /'
  [ "$3" = - ] && return
  if [ "$3" = first ]; then
    check "$1: opens with the focus on the first control of its tab order" \
      awk -F'\t' '$1 == "control" && ("," $6 ",") ~ /,first,/ && ("," $6 ",") ~ /,focus,/ { ok = 1 } END { exit !ok }' "$2"
  else
    check "$1: the focus is on $3" awk -F'\t' -v n="$3" '$1 == "focus" && $2 == n { ok = 1 } END { exit !ok }' "$2"
  fi || awk -F'\t' '$1 == "focus" || $6 ~ /first/ { print "  " $0 }' "$2"
}

look() { # NAME [FOCUS]
  local out=$work/probe-$1.txt focus=${2:-first}
  probe >"$out"
  shot "$1"
  focus_checks "$1" "$out" "$focus"
  # The programs' own windows; the platform's dialogs and message boxes (#32770) lay out their own.
  if [ "$(awk -F'\t' 'NR == 1 { print $3 }' "$out")" = CvWindow ]; then
    local clipped; clipped=$(awk -F'\t' '$1 == "control" && $6 ~ /clipped/ { print "  " $2 " \"" $4 "\" " $6 }' "$out")
    [ -z "$clipped" ] || echo "$clipped"
    check "$1: every label's text lies inside it" test -z "$clipped"
    check "$1: the default frame is on the focused button, or on one at most" framed "$out" \
      || awk -F'\t' '$1 == "focus" || $6 ~ /default/ { print "  " $2 " " $6 }' "$out"
    radios "$1" "$out"
  fi
}

settled() { # NAME [FOCUS]
  local out=$work/probe-$1.txt
  probe -q >"$out"
  shot "$1"
  focus_checks "$1" "$out" "${2:--}"
}

declare -p radio_effect >/dev/null 2>&1 || declare -A radio_effect=()

# pressed NAME KEY ON OFF: KEY has left radio button ON focused and checked, OFF unchecked, and
# the effect that radio_effect names for ON.
pressed() {
  local out=$work/probe-radios.txt control state
  press "$2"
  probe -q >"$out"
  check "$1: $2 in the group of $4 selects $3" awk -F'\t' -v on="$3" -v off="$4" '
    $1 == "control" && $2 == on && ("," $6 ",") ~ /,focus,/ && ("," $6 ",") ~ /,checked,/ { a = 1 }
    $1 == "control" && $2 == off && ("," $6 ",") ~ /,checked,/ { b = 1 } END { exit !(a && !b) }' "$out"
  [ -n "${radio_effect[$3]:-}" ] || return 0
  read -r control state <<<"${radio_effect[$3]}"
  check "$1: selecting $3 by $2 leaves $control $state" awk -F'\t' -v n="$control" -v s="$state" '
    $1 == "control" && $2 == n { d = ("," $6 ",") ~ /,disabled,/; ok = s == "disabled" ? d : !d }
    END { exit !ok }' "$out"
}

radios() { # NAME [FILE]: FILE holds a probe of the window taken just before
  local out=${2:-$work/probe-radios.txt} group from to i
  [ -n "${2:-}" ] || probe -q >"$out"
  # one line per group: its buttons in order, the checked one marked with a leading "*"
  local groups; mapfile -t groups < <(awk -F'\t' '$1 == "control" && ("," $6 ",") ~ /,radio,/ {
      g = g (g == "" ? "" : " ") (("," $6 ",") ~ /,checked,/ ? "*" : "") $2; next }
    $1 == "control" && g != "" { print g; g = "" } END { if (g != "") print g }' "$out")
  for group in "${groups[@]}"; do
    local names=(${group//\*/})
    from=$(grep -o '\*[^ ]*' <<<"$group") from=${from#\*} to=""
    if [ -z "$from" ]; then check "$1: a radio button of the group of ${names[0]} is selected" false; continue; fi
    for i in "${!names[@]}"; do [ "${names[$i]}" = "$from" ] && to=${names[$(((i + 1) % ${#names[@]}))]}; done
    click "$from"  # the focus; a click on the checked button changes nothing
    pressed "$1" Down "$to" "$from"
    pressed "$1" Up "$from" "$to"
  done
}

reaches() { # NAME...
  local out=$work/probe-reaches.txt
  probe -q >"$out"
  for n in "$@"; do
    check "a click at the centre of $n reaches it" flagged "$out" "$n" hit \
      || awk -F'\t' -v n="$n" '$2 == n { print "  " $2 " " $6 }' "$out"
  done
}

click() { # NAME
  local r x y w h
  r=$(probe -q | awk -F'\t' -v n="$1" '$1 == "control" && $2 == n { print $5; exit }')
  [ -n "$r" ] || { echo "  no control $1 in \"$(front)\""; return 1; }
  IFS=, read -r x y w h <<<"$r"
  xdotool mousemove $((x + w / 2)) $((y + h / 2)) click 1
  sleep 0.3
}

trim() { sed 's/^ *//; s/ *$//' <<<"$1"; }

# One case: the box is open; press KEY and compare with EXPECT.
box_case() { # TITLE KEY EXPECT
  local title=$1 key=$2 expect=${3%%>*} back="" target text
  [[ $3 == *'>'* ]] && back=${3#*>}
  if [ "$key" = close ]; then press alt+F4; else press "$key"; fi
  local what="\"$title\": $key"
  case $expect in
    stays)
      sleep 0.4
      check "$what does nothing" test "$(front)" = "$title" ;;
    exit)
      check "$what ends the program" wait_exit 15 ;;
    *)
      target=${expect%%@*} text=""
      [[ $expect == *@* ]] && text=${expect#*@}
      if wait_front "$target" 8 && { [ -z "$text" ] || shows "$text"; }; then check "$what gives $expect" true
      else check "$what gives $expect" false; fi
      local out=$work/probe-after.txt
      probe -q >"$out"
      check "$what leaves the focus on a visible, enabled control" usable "$out" \
        || grep '^focus' "$out" | sed 's/^/  /' ;;
  esac
  [ -z "$back" ] || eval "$back"
}

boxes() {
  local rows row name title open focus ret esc cls then key expect i
  mapfile -t rows
  for row in "${rows[@]}"; do
    [[ $row =~ ^[[:space:]]*(#|$) ]] && continue
    IFS='|' read -r name title open focus ret esc cls then <<<"$row"
    name=$(trim "$name") title=$(trim "$title") open=$(trim "$open") focus=$(trim "$focus")
    ret=$(trim "$ret") esc=$(trim "$esc") cls=$(trim "$cls") then=$(trim "$then")
    local looked=0 expects=("$ret" "$esc" "$cls") keys=(Return Escape close)
    for i in 0 1 2; do
      key=${keys[$i]} expect=${expects[$i]}
      [ "$expect" = - ] && continue
      if ! ensure "$title" "$open"; then check "\"$title\" opens ($open)" false; break; fi
      if [ $looked = 0 ]; then look "$name" "$focus"; looked=1; fi
      box_case "$title" "$key" "$expect"
    done
    [ -z "$then" ] || [ "$then" = - ] || eval "$then"
  done
}
