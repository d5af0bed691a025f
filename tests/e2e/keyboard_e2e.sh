#!/usr/bin/env bash
# The whole road as a user walks it, with the keyboard, on a private X display:
#   creator.exe Demo.sds: every page, the output folder typed in, build, Finish;
#   the package's setup.exe: welcome, licence ticked, destination typed in, components, install,
#   Finish; the installed files, registry values, shortcuts and log checked from the shell;
#   the uninstall entry's UninstallString run and answered; nothing of the installation left.
# A screenshot of every page goes to the artefact folder.
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

passes=0 failures=0
check() { # DESCRIPTION COMMAND...
  if "${@:2}"; then echo "ok   $1"; passes=$((passes + 1)); else echo "FAIL $1"; failures=$((failures + 1)); fi
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
wait_window "Corvantaine 2 - Setup Creator" 60 || fatal "the creator's window"
shot creator-01-appinfo
for page in files registry license compatibility destination shortcuts dll commands ready; do
  press alt+n
  shot "creator-$page"
done
tab_to '^Edit' || fatal "the output folder"
type_text 'C:\Output'
shot creator-ready-output
press alt+n
title=$(sed -n 's/^Name="\(.*\)"\r*$/\1/p' "$c/Demo/$sheet" | head -n 1)
out=$c/Output/$title
for _ in $(seq 300); do [ -f "$out/$title.sds" ] && break; sleep 0.2; done
sleep 1
shot creator-report
if [ $demo = 0 ]; then
  press alt+f; wait_exit 20
  echo "package: $out"; echo "screenshots: $shots"
  test -d "$out/CD-ROM" -o -d "$out/Web"; exit
fi
check "the build wrote the CD-ROM folder" test -f "$out/CD-ROM/setup.exe" -a -f "$out/CD-ROM/setup.dat" \
  -a -f "$out/CD-ROM/data.pak" -a -f "$out/CD-ROM/license.rtf"
check "the build wrote the web package" test -f "$out/Web/Demo App.exe"
check "the build saved the datasheet copy" test -f "$out/Demo App.sds"
check "the staging folder is gone" test ! -e "$out/Temporary"
press alt+f
wait_exit 20 || fatal "the creator did not close on Finish"

# --- the setup wizard ------------------------------------------------------------------------
cd "$out/CD-ROM"
wine_start 'C:\Output\Demo App\CD-ROM\setup.exe'
wait_window "Demo Company Demo App - Corvantaine Wizard" 60 || fatal "the setup window"
shot setup-welcome
press alt+n
shot setup-licence
# Next stays disabled until the licence is accepted.
tab_to 'I accept the terms' || fatal "the licence box"
press space
shot setup-licence-accepted
press alt+n
shot setup-destination
tab_to '^Edit' || fatal "the destination field"
type_text 'C:\Demo Install'
shot setup-destination-typed
press Return
shot setup-components
press alt+n
dest=$c/Demo\ Install
for _ in $(seq 300); do [ -f "$dest/postinstall.log" ] && break; sleep 0.2; done
sleep 1
shot setup-done
press alt+f
wait_exit 20 || fatal "setup did not close on Finish"

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

echo "screenshots: $shots"
echo "$passes passed, $failures failed"
[ "$failures" = 0 ]
