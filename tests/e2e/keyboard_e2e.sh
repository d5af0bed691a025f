#!/usr/bin/env bash
# The whole road as a user walks it, with the keyboard, on a private X display:
#   creator.exe Demo.sds: every page, the output folder typed in, build, Finish;
#   the package's setup.exe: welcome, licence ticked, destination typed in, components, install,
#   Finish; the installed files, registry values, shortcuts and log checked from the shell;
#   the uninstall entry's UninstallString run and answered; nothing of the installation left.
# On the way every modal box and dialog of both programs is opened and answered with the real
# Enter, Escape and title-bar close (the table of boxes.sh), every window reached is read off the
# screen (its labels' text lies inside them; its focus starts on the first of its tab order, or
# on a page's first control or the button that goes on, and is on a visible, enabled control
# after every page change and every box; the default frame follows it; an arrow key selects in
# every group of radio buttons; the links take a click at their centre), Enter presses a focused
# button however the focus came there, and the About page is opened by a real click; then a
# package is installed twice into one folder and the overwrite question answered by key, and the
# start-up errors of setup are shown.
# A screenshot of every page and every box goes to the artefact folder.
#   keyboard_e2e.sh BUILDDIR ARTEFACTDIR [DATASHEET]
# BUILDDIR is the win64 build, with dist/. With a DATASHEET other than the demo's, only the creator
# is walked: its folder is taken as the project folder and the package is built from it.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
build=$(cd "$1" && pwd)
shots=$(mkdir -p "$2" && cd "$2" && pwd)
work=$build/e2e
focusinfo=$build/tests/e2e/focusinfo.exe
project=$root/examples/demo sheet=Demo.sds
if [ -n "${3:-}" ]; then project=$(cd "$(dirname "$3")" && pwd) sheet=$(basename "$3"); fi
demo=0; [ "$project/$sheet" = "$root/examples/demo/Demo.sds" ] && demo=1
. "$here/desktop.sh"
. "$here/boxes.sh"
# What the creator's radio buttons do when they become selected, as the screen shows it.
radio_effect=([RadioButton1]="EOpenFile disabled" [RadioButton2]="EOpenFile enabled"
              [RadioButton7]="CheckBox1 disabled" [RadioButton8]="CheckBox1 enabled")

passes=0 failures=0
check() { # DESCRIPTION COMMAND...
  if "${@:2}"; then echo "ok   $1"; passes=$((passes + 1)); else echo "FAIL $1"; failures=$((failures + 1)); return 1; fi
}
fatal() { echo "FAIL $*"; shot failure; echo "$passes passed, $((failures + 1)) failed"; exit 1; }

rm -rf "$work" && mkdir -p "$work"
rm -f "$shots"/*.png
desktop_start "$work" || fatal "desktop"
trap desktop_stop EXIT
c=$WINEPREFIX/drive_c

# The creator with its tool files, and the demo project, as a developer has them.
mkdir -p "$c/Creator" "$c/Demo"
cp "$build"/dist/{creator,setup,extractor,cv2uinst}.exe "$c/Creator/"
cp -r "$project"/. "$c/Demo/"

# --- the creator -----------------------------------------------------------------------------
cd "$c/Demo"
wine_start 'C:\Creator\creator.exe' "$sheet"
C="Corvantaine 2 - Setup Creator" M="Corvantaine 2 Setup Creator"  # the wizard; its message boxes
wait_window "$C" 60 || fatal "the creator's window"
look creator-01-appinfo EAppTitle  # the datasheet, loaded as the window opens, moved to page 1
# Enter presses the focused button, whether the focus came by a mnemonic (Alt+A: "&About...", and
# then the About box's Close, focused as it opens) or, further on, by Tab and by a click.
boxes <<EOF
creator-about         | About Corvantaine 2  | press alt+a        | first | $C    | stays | $C |
creator-about-enter   | About Corvantaine 2  | press Return       | first | $C    | -     | -  |
creator-save-question | $M                   | press alt+c        | first | Save Setup Datasheet>press Escape | $C | $C |
creator-save-dialog   | Save Setup Datasheet | press alt+c Return | -     | -     | $C    | $C |
EOF
# An input box for a command, with a harmless one typed in: Enter adds it to the package.
command_box() { click "$1" && wait_front "${2:-Post-Installation Command}" 5 && type_text 'cmd.exe /c rem'; }
for page in files registry license compatibility destination shortcuts dll commands ready; do
  wait_front "$C" 10 >/dev/null  # the box of the page before has closed
  press alt+n
  look "creator-$page"  # the page's first control: the notebook comes first in the tab order
  case $page in
    files) boxes <<EOF
# Tab from the list to "Add...", Enter
creator-addfile        | Add file to installation... | press Tab Return | first | stays | stays | $C |
creator-addfile-files  | Select Files...   | ensure 'Add file to installation...' 'click Button6'; click Button1; press Down Return | - | - | Add file to installation... | Add file to installation... |
creator-addfile-folder | Browse for Folder | click Button1; press Down Down Return | - | - | Add file to installation... | Add file to installation... | press alt+F4
EOF
    ;;
    registry) boxes <<EOF
creator-addreg         | Add Registry Key | click Button8 | Edit1 | stays | stays | $C |
creator-addreg-missing | $M | ensure 'Add Registry Key' 'click Button8'; click Button1 | first | Add Registry Key | Add Registry Key | Add Registry Key | press alt+F4
creator-import         | Import Registration File... | click Button15 | - | - | $C | $C |
EOF
    ;;
    license) boxes <<EOF
creator-licence-browse | Select License Aggreement File... | click Button11 | - | - | $C | $C |
EOF
    ;;
    shortcuts) boxes <<EOF
creator-addshort         | Add Shortcut | click Button14 | first | stays | stays | $C |
creator-addshort-invalid | $M | ensure 'Add Shortcut' 'click Button14'; click Button1 | first | Add Shortcut | Add Shortcut | Add Shortcut |
EOF
    # The icon index takes five digits, all in sight.
    ensure 'Add Shortcut' 'click Button14'
    click CheckBox1 && click SpinEdit1 && press Home shift+End && type_text 65535
    look creator-addshort-index SpinEdit1
    check "the icon index shows all of 65535" flagged "$work/probe-creator-addshort-index.txt" SpinEdit1 whole
    click CheckBox1
    press alt+F4
    ;;
    dll) boxes <<EOF
creator-adddll        | Add DLL/OCX File | click Button17 | first | stays | stays | $C |
creator-adddll-nofile | $M | ensure 'Add DLL/OCX File' 'click Button17'; click Button1 | first | Add DLL/OCX File | Add DLL/OCX File | Add DLL/OCX File | press alt+F4
EOF
    ;;
    commands) boxes <<EOF
creator-command-post | Post-Installation Command  | command_box SpeedButton1 | first | $C | $C | $C |
# Enter on "+", focused by the click before
creator-command-enter | Post-Installation Command | press Return | first | - | $C | - |
creator-command-pre  | Pre-Uninstallation Command | command_box SpeedButton4 'Pre-Uninstallation Command' | first | - | $C | $C |
EOF
    ;;
    ready) boxes <<EOF
creator-output-browse | Browse for Folder | click Button13 | - | - | $C | $C |
EOF
    ;;
  esac
done
tab_to '^Edit' || fatal "the output folder"  # round the tab order, past every button
type_text 'C:\Output'
look creator-ready-output Edit3
press alt+n
title=$(sed -n 's/^Name="\(.*\)"\r*$/\1/p' "$c/Demo/$sheet" | head -n 1)
out=$c/Output/$title
for _ in $(seq 300); do [ -f "$out/$title.sds" ] && break; sleep 0.2; done
sleep 1
look creator-report Button1  # "&Finish", the one way on
if [ $demo = 0 ]; then
  press Return; wait_exit 20
  echo "package: $out"; echo "screenshots: $shots"
  test -d "$out/CD-ROM" -o -d "$out/Web"; exit
fi
check "the build wrote the CD-ROM folder" test -f "$out/CD-ROM/setup.exe" -a -f "$out/CD-ROM/setup.dat" \
  -a -f "$out/CD-ROM/data.pak" -a -f "$out/CD-ROM/license.rtf"
check "the build wrote the web package" test -f "$out/Web/Demo App.exe"
check "the build saved the datasheet copy" test -f "$out/Demo App.sds"
check "the staging folder is gone" test ! -e "$out/Temporary"
check "Enter in the command's input box added the command" grep -q 'cmd.exe /c rem' "$out/$title.sds"
check "the command's box left by Escape added nothing" test "$(grep -c 'cmd.exe /c rem' "$out/$title.sds")" = 1
press Return
check "Enter on \"&Finish\", focused when the build ended, closes the creator" wait_exit 20 || fatal "the creator did not close"

# A creator without a project: the messages of its start and of its first pages.
creator_quit() { # closes the running creator without saving
  if kill -0 "${wine_pid:-0}" 2>/dev/null; then press alt+F4; wait_front "$M" 5 && press n; wait_exit 10; fi
}
creator_fresh() { creator_quit; wine_start 'C:\Creator\creator.exe' "$@"; }  # ARGS...
boxes <<EOF
creator-missing-sheet | $M | creator_fresh 'C:\Demo\missing.sds' | first | $C@Welcome to the Corvantaine 2 Setup Creator! | $C | $C |
EOF
# Next has the focus from the start: Enter presses it.
settled creator-start Button2
press Return
check "Enter on Next, focused since the window opened, goes on" shows "Application Information"
press alt+b
look creator-welcome
boxes <<EOF
creator-no-such-file  | $M | click RadioButton2; press alt+n | first | $C | $C | $C | click RadioButton1; press alt+n
creator-fill-out      | $M | press alt+n | first | $C@Application Information | $C | $C |
EOF
creator_quit

# --- the setup wizard ------------------------------------------------------------------------
cd "$out/CD-ROM"
wine_start 'C:\Output\Demo App\CD-ROM\setup.exe'
W="Demo Company Demo App - Corvantaine Wizard"
setup_up() { # [FOLDER]: setup.exe of the folder (the walk's package), unless one is running
  kill -0 "${wine_pid:-0}" 2>/dev/null && return
  wine_start "${1:-C:\Output\Demo App\CD-ROM}\setup.exe"
}
setup_quit() { # cancels the running setup
  if kill -0 "${wine_pid:-0}" 2>/dev/null; then press alt+c; wait_front Setup 5 && press y; wait_exit 10; fi
}
setup_fresh() { setup_quit; setup_up "$@"; }  # [FOLDER]
# The engraved "Corvantaine" of the navigation bar: the grey word (Label2) lies over its white
# copy (Label1), one pixel further right and down, and lets it show beside its strokes. On the
# screen every white pixel of the word's box, one wider and higher, lies one pixel right and down
# of a grey one, and there are white ones. So too once the copy alone has been painted again, as
# when a window that covered it goes.
engraved() { # WHEN
  local r x y w h
  r=$(probe -q | awk -F'\t' '$1 == "control" && $2 == "Label2" { print $5; exit }')
  IFS=, read -r x y w h <<<"$r"
  import -window root "$work/engraved.png"
  check "the grey \"Corvantaine\" shows its white copy one pixel right and down $1" awk '
    { split($1, p, /[,:]/) }
    $3 == "#808080" { grey[p[1] "," p[2]] = 1; g++ }
    $3 == "#FFFFFF" { white[p[1] "," p[2]] = 1; n++ }
    END { for (k in white) { split(k, q, ","); if (!(((q[1] - 1) "," (q[2] - 1)) in grey)) stray++ }
          print "  grey " g ", white " n ", white without grey up left " stray + 0
          exit !(g > 0 && n >= 10 && !stray) }' \
    <(convert "$work/engraved.png" -crop "$((w + 1))x$((h + 1))+$x+$y" +repage txt:-)
}
wait_window "$W" 60 || fatal "the setup window"
look setup-welcome Button2  # a page without controls: Next
engraved "as the window opens"
probe -repaint Label1 >/dev/null; sleep 0.5
engraved "after its copy is painted again"
# The cancel question: Enter answers Yes and ends the program, which then starts again. Wine's
# message box answers Escape and the close box of a Yes/No question with IDCANCEL, which the
# programs take as No (Windows greys the close box and ignores Escape: nothing changes either way).
boxes <<EOF
setup-cancel | Setup | setup_up; wait_front "$W" 30; press alt+c | first | exit | $W@Welcome to the Setup Wizard! | $W@Welcome to the Setup Wizard! |
EOF
wait_front "$W" 10 || fatal "the setup window after the cancel question"
press alt+n
look setup-licence Memo1
press alt+b
settled setup-welcome-again Button2
press alt+n
settled setup-licence-again Memo1
# Next stays disabled until the licence is accepted.
tab_to 'I accept the terms' || fatal "the licence box"
press space
shot setup-licence-accepted
press alt+n
look setup-destination EDest
set_dest() { click EDest && press Home shift+End && type_text "$1"; }
boxes <<EOF
setup-invalid-dest | Setup | set_dest 'Q:\Nowhere'; press Return | first | $W@Destination Directory | $W | $W |
setup-dest-exists  | Setup | set_dest 'C:\windows'; press Return | first | $W@Components Selection>press alt+b | $W@Destination Directory | $W@Destination Directory |
EOF
tab_to '^Edit' || fatal "the destination field"
type_text 'C:\Demo Install'
shot setup-destination-typed
press Return
look setup-components PartsList  # not the field left behind
# The About page, opened by a real click on the word in the navigation bar; its links take a click.
click Label2
if check "a click on \"Corvantaine\" opens the About page" shows "You can download Corvantaine 2 from:"; then
  look setup-about Button1
  reaches Label2 Label30 LAppWebsite
  press Return
  check "OK on the About page goes back to the page it came from" shows "Select the components which should be installed."
  settled setup-components-again PartsList
fi
press alt+n
shot setup-progress  # its commands' console may be in front: the focus is looked at on the next page
dest=$c/Demo\ Install
for _ in $(seq 300); do [ -f "$dest/postinstall.log" ] && break; sleep 0.2; done
sleep 1
look setup-done BEnd
press Return
check "Enter on \"&Finish\", focused on the last page, ends setup" wait_exit 20 || fatal "setup did not close on Finish"

# --- what was installed ----------------------------------------------------------------------
reg() { wine_run reg query "$1" /v "$2" | sed -n "s/^ *$2 *\(REG_[A-Z]*\) *\(.*\)$/\1 \2/p"; }
key='HKCU\Software\Demo App'
check "files installed" test -f "$dest/readme.txt" -a -f "$dest/hello.cmd" -a -f "$dest/docs/manual.txt"
check "files restored byte for byte" cmp -s "$dest/docs/manual.txt" "$c/Demo/files/docs/manual.txt"
check "the post-installation command ran" grep -q installed "$dest/postinstall.log"
check "string value expanded" test "$(reg "$key" Greeting)" = "REG_SZ Hello from Demo App 1.0"
check "string value with the destination" test "$(reg "$key" InstallDir)" = 'REG_SZ C:\Demo Install'
check "integer value" test "$(reg "$key" Count)" = "REG_DWORD 0x2a"
check "boolean value" test "$(reg "$key" Enabled)" = "REG_DWORD 0x1"
check "float value" test "$(reg "$key" Ratio)" = "REG_BINARY 0000000000000440"
check "binary value" test "$(reg "$key" Magic)" = "REG_BINARY DEADBEEF00FF"
ukey='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Demo Company Demo App'
check "uninstall entry" test "$(reg "$ukey" DisplayName)" = "REG_SZ Demo Company Demo App"
uninstall=$(reg "$ukey" UninstallString | sed 's/^REG_SZ //')
check "uninstall command" test "$uninstall" = 'C:\windows\system32\cv2uinst.exe "C:\Demo Install\cv2uinst.dat"'
lnk() { find -L "$c/users" -name "$1" 2>/dev/null | head -n 1; }
readme_lnk=$(lnk 'Read Me.lnk'); desktop_lnk=$(lnk 'Demo App.lnk')
check "start menu shortcut" test -n "$readme_lnk"
check "desktop shortcut" test -n "$desktop_lnk"
[ -n "$readme_lnk" ] && check "start menu shortcut's target" \
  grep -q 'C:\\Demo Install\\readme.txt' <(lnkinfo "$readme_lnk" 2>/dev/null)
log=$dest/cv2uinst.dat
check "the log names the destination" grep -qx 'CreateDir::C:\\Demo Install' <(tr -d '\r' <"$log")
check "the log names the files" test "$(tr -d '\r' <"$log" | grep -c '^CreateFile::')" -ge 4
check "the log names the values" test "$(tr -d '\r' <"$log" | grep -c '^CreateRegValue::HKEY_CURRENT_USER')" = 6
check "the log holds the pre-uninstallation command" grep -q '^Exec::cmd.exe /c del' <(tr -d '\r' <"$log")

# --- uninstall through the entry's command ---------------------------------------------------
prog=${uninstall%% \"*}; arg=${uninstall#* \"}; arg=${arg%\"}
wine_start "$prog" "$arg"
for _ in $(seq 100); do
  win=$(xdotool search --onlyvisible --class cv2uinst.exe 2>/dev/null | head -n 1); [ -n "$win" ] && break
  sleep 0.2
done
if [ -n "$win" ]; then
  xdotool windowactivate --sync "$win" >/dev/null 2>&1; sleep 0.3
  shot uninstall-question
  press y
fi
# Its closing message says what was done; OK ends it.
for _ in $(seq 300); do
  kill -0 "$wine_pid" 2>/dev/null || break
  win=$(xdotool search --onlyvisible --class cv2uinst.exe 2>/dev/null | head -n 1)
  if [ -n "$win" ]; then
    xdotool windowactivate --sync "$win" >/dev/null 2>&1; sleep 0.3
    shot uninstall-result
    press Return
    break
  fi
  sleep 0.2
done
wait_exit 30 || { shot uninstall-stuck; fatal "the uninstaller did not end"; }
check "installation folder removed" test ! -e "$dest"
check "registry key removed" bash -c "! $wine reg query '$key' >/dev/null 2>&1 </dev/null"
check "uninstall entry removed" bash -c "! $wine reg query '$ukey' >/dev/null 2>&1 </dev/null"
check "shortcuts removed" test -z "$(lnk 'Read Me.lnk')$(lnk 'Demo App.lnk')"
check "start menu folder removed" test -z "$(find -L "$c/users" -type d -name 'Demo App' 2>/dev/null)"

# --- the overwrite question, answered by key ---------------------------------------------------
# The package installed unattended twice into one folder: the second run asks for every file,
# which was changed in between. Enter answers "&Yes" (replaced), Escape "&No" and the close box
# 2 (both keep the changed file).
again=$c/Overwrite
wine_start 'C:\Output\Demo App\CD-ROM\setup.exe' /u '/d:C:\Overwrite'
wait_exit 60 || fatal "the first unattended installation"
find "$again" -type f ! -name cv2uinst.dat -exec sh -c 'echo changed >"$1"' _ {} \;
wine_start 'C:\Output\Demo App\CD-ROM\setup.exe' /u '/d:C:\Overwrite'
asked() { probe -q | awk -F'\t' '$3 == "Static" && $4 ~ /^The File / { sub(/^The File /, "", $4); sub(/ already exists.*/, "", $4); print $4 }'; }
declare -A answer=()
for key in Return Escape close close close close; do
  # the next question, or the end of the run
  for _ in $(seq 300); do [ "$(front)" = Confirm ] || ! kill -0 "$wine_pid" 2>/dev/null && break; sleep 0.1; done
  [ "$(front)" = Confirm ] || break
  file=$(asked)
  if [ ${#answer[@]} = 0 ]; then look setup-confirm; fi
  answer[$file]=$key
  if [ "$key" = close ]; then press alt+F4; else press "$key"; fi
  # a box that stays open is closed, so that the run can go on
  for _ in $(seq 20); do [ "$(front)" = Confirm ] && [ "$(asked)" = "$file" ] || break; sleep 0.1; done
  if [ "$(front)" = Confirm ] && [ "$(asked)" = "$file" ]; then
    check "\"Confirm\": $key answers the question" false; press alt+F4
  else check "\"Confirm\": $key answers the question" true; fi
done
wait_exit 60 || { probe -q; fatal "the second unattended installation did not end"; }
for file in "${!answer[@]}"; do
  path=$(find "$again" -name "$file" | head -n 1)
  if [ "${answer[$file]}" = Return ]; then
    check "Enter on \"Confirm\" replaced $file" test "$(tr -d '\r' <"$path" | head -n 1)" != changed
  else
    check "${answer[$file]} on \"Confirm\" kept $file" test "$(tr -d '\r' <"$path")" = changed
  fi
done
check "the question was asked for three files" test ${#answer[@]} -ge 3

# --- the messages of setup's start, and its error page ------------------------------------------
mkdir -p "$c/Broken" "$c/Damaged" "$c/NoLicence" "$c/Unsupported"
cp "$out/CD-ROM/setup.exe" "$c/Broken/"
cp "$out/CD-ROM"/* "$c/Damaged/"; head -c 1307 "$out/CD-ROM/setup.dat" >"$c/Damaged/setup.dat"
cp "$out/CD-ROM"/* "$c/NoLicence/"; rm "$c/NoLicence/license.rtf"
# no Windows version allowed: the eight flags after the four texts and two bytes of the header
cp "$out/CD-ROM"/* "$c/Unsupported/"
printf '\0\0\0\0\0\0\0\0' | dd of="$c/Unsupported/setup.dat" bs=1 seek=1026 conv=notrunc 2>/dev/null
boxes <<EOF
setup-missing-files      | Setup | wine_start 'C:\Broken\setup.exe'  | first | exit | exit | exit |
setup-damaged            | Setup | wine_start 'C:\Damaged\setup.exe' | first | exit | exit | exit |
setup-unattended-invalid | Setup | wine_start 'C:\Output\Demo App\CD-ROM\setup.exe' /u '/d:Q:\Nowhere' | first | exit | exit | exit |
setup-no-licence         | Setup | setup_fresh 'C:\NoLicence'; wait_front "$W" 30; press alt+n | first | $W@License Agreement | $W@License Agreement | $W@License Agreement | setup_quit
EOF
setup_up 'C:\Unsupported'
if wait_window "$W" 30; then
  check "a Windows version the package does not allow opens the error page" shows "Installation Failed"
  look setup-error BEnd
  click Label2
  if check "a click on \"Corvantaine\" opens the About page over the error page" shows "You can download Corvantaine 2 from:"; then
    look setup-about-error Button1
    click Label2
    check "a second click goes back to the error page" shows "Reason:"
    settled setup-error-again BEnd
  fi
  press alt+c
  check "Close on the error page ends setup" wait_exit 10
fi

echo "screenshots: $shots"
echo "$passes passed, $failures failed"
[ "$failures" = 0 ]
