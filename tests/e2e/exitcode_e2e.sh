#!/usr/bin/env bash
# setup.exe's exit code where a person ends the run, on a private X display with the keyboard:
# attended runs finished, cancelled (also when the installation completes while the question is
# open) and closed on an unsupported Windows, and unattended runs whose failure message must be
# answered (unsupported Windows, an invalid destination, a missing data package, an installation
# error, a disk that fills up while the uninstall log takes a line). Each run's exit code is
# checked against the README's table.
#   exitcode_e2e.sh BUILDDIR [ARTEFACTDIR]
# BUILDDIR is the win64 build, with dist/ and tests/e2e/make_install_package.exe.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "$1" && pwd)
shots=$(mkdir -p "${2:-$build/exitcode-shots}" && cd "${2:-$build/exitcode-shots}" && pwd)
work=$build/exitcode-e2e
. "$here/desktop.sh"

passes=0 failures=0 skipped=
fatal() { echo "FAIL $*"; echo "$passes passed, $((failures + 1)) failed"; exit 1; }

# A small volume that fills up: a tmpfs of 1 MiB, drive Q: of the prefix.
fulldisk=$build/exitcode-fulldisk
release_fulldisk() { if mountpoint -q "$fulldisk" 2>/dev/null; then umount "$fulldisk"; fi; }
release_fulldisk
rm -rf "$work" && mkdir -p "$work"
rm -f "$shots"/*.png
desktop_start "$work" || fatal "desktop"
trap 'desktop_stop; release_fulldisk' EXIT
c=$WINEPREFIX/drive_c
probe() { wine_run "$build/tests/e2e/winprobe.exe" -q "$@"; }

# One package, and copies of it damaged in one way each.
title=ExitApp
wizard="$title - Corvantaine Wizard"
mkdir -p "$c/Pkg"
wine_run "$build/tests/e2e/make_install_package.exe" 'C:\Pkg' "$title" raw >/dev/null || fatal "the package"
cp "$build/dist/setup.exe" "$c/Pkg/" || fatal "setup.exe"
cp -r "$c/Pkg" "$c/Unsupported"
# The eight supported-Windows flags of the header (from byte 1026 of setup.dat) all cleared.
printf '\0\0\0\0\0\0\0\0' | dd of="$c/Unsupported/setup.dat" bs=1 seek=1026 conv=notrunc status=none
cp -r "$c/Pkg" "$c/NoPak"
rm "$c/NoPak/data.pak"
mkdir -p "$c/Blocked/readme.txt"  # a folder where the first file goes
# The same installation, whose last step, a post-installation command, waits for the test.
hold_title=HoldApp
hold_dest="$c/Program Files/$hold_title"
mkdir -p "$c/Hold"
wine_run "$build/tests/e2e/make_install_package.exe" 'C:\Hold' "$hold_title" raw hold >/dev/null || fatal "the held package"
cp "$build/dist/setup.exe" "$build/tests/win/fixtures/waitfor.exe" "$c/Hold/" || fatal "setup.exe and waitfor.exe"

# The message box of setup.exe (caption "Setup"), made the active window.
wait_box() {
  for _ in $(seq 100); do
    for w in $(xdotool search --onlyvisible --name '^Setup$' 2>/dev/null); do
      [ "$(xdotool getwindowgeometry "$w" 2>/dev/null | sed -n 's/.*Geometry: \([0-9]*\)x.*/\1/p')" -gt 50 ] || continue
      xdotool windowactivate --sync "$w" >/dev/null 2>&1
      sleep 0.3
      return 0
    done
    sleep 0.2
  done
  echo "no message box"
  return 1
}

# The steps of each run, with the keyboard.
finish_attended() {
  wait_window "$wizard" 60 || return 1
  press alt+n  # welcome -> destination (its default, C:\Program Files\ExitApp)
  press alt+n  # -> components
  press alt+n  # -> installation
  for _ in $(seq 150); do [ -f "$c/Program Files/$title/post.txt" ] && break; sleep 0.2; done
  sleep 1
  shot finished
  press alt+f
}
cancel_attended() {
  wait_window "$wizard" 60 || return 1
  press alt+n
  press alt+c
  wait_box || return 1
  shot cancel-question
  press Return  # Yes, the default button
}
# Cancel while the post-installation command runs, past the last point where the installation
# can stop; the command ends while the question is open, so the run completes before the answer:
# Yes then leaves the window on the Done page, and Finish ends the run as completed.
cancel_overtaken() {
  wait_window "$hold_title - Corvantaine Wizard" 60 || return 1
  press alt+n alt+n alt+n  # welcome, destination, components -> installation
  for _ in $(seq 300); do [ -f "$hold_dest/waiting" ] && break; sleep 0.2; done
  [ -f "$hold_dest/waiting" ] || { echo "the post-installation command did not start"; return 1; }
  press alt+c
  wait_box || return 1
  : >"$hold_dest/go"
  # The worker's result reaches the window behind the question: its last button reads "&Finish".
  for _ in $(seq 150); do probe "$hold_title - Corvantaine Wizard" | grep -q $'^control\tBEnd\t[^\t]*\t&Finish\t' && break; sleep 0.2; done
  shot overtaken-question
  wait_box || return 1
  press Return  # Yes
  for _ in $(seq 50); do probe "$hold_title - Corvantaine Wizard" | grep -q $'^control\tLabel21\t' && break; sleep 0.2; done
  probe "$hold_title - Corvantaine Wizard" | grep -q $'^control\tLabel21\t' || { echo "no Done page after the answer"; return 1; }
  shot overtaken-done
  press alt+f
}
close_unsupported() {
  wait_window "$wizard" 60 || return 1
  shot unsupported-page
  press alt+c
}
answer_box() { # NAME
  wait_box || return 1
  shot "$1"
  box_text=$(probe)
  press Return
}

check() { # DESCRIPTION COMMAND...
  local what=$1
  shift
  if "$@"; then
    echo "ok   $what"
    passes=$((passes + 1))
  else
    echo "FAIL $what"
    failures=$((failures + 1))
  fi
}

ends_with() { # DESCRIPTION CODE STEPS PROGRAM ARGS...
  local what=$1 want=$2 steps=$3 got
  shift 3
  wine_start "$@"
  if ! $steps; then
    shot "failed-$want"
    kill "$wine_pid" 2>/dev/null
  fi
  if wait_exit 60; then
    wait "$wine_pid"
    got=$?
  else
    kill "$wine_pid" 2>/dev/null
    got=timeout
  fi
  if [ "$got" = "$want" ]; then
    echo "ok   $what: exit code $got"
    passes=$((passes + 1))
  else
    echo "FAIL $what: exit code $got, not $want"
    failures=$((failures + 1))
  fi
}

ends_with "attended, finished" 0 finish_attended 'C:\Pkg\setup.exe'
ends_with "attended, cancelled" 2 cancel_attended 'C:\Pkg\setup.exe'
ends_with "attended, cancel overtaken by the end of the installation" 0 cancel_overtaken 'C:\Hold\setup.exe'
check "  ... and everything is installed" \
  test "$(tr -d '\r ' <"$hold_dest/post.txt" 2>/dev/null)" = done -a "$(wc -l <"$hold_dest/readme.txt" 2>/dev/null)" = 3000 \
  -a "$(tail -n 1 "$hold_dest/cv2uinst.dat" 2>/dev/null | tr -d '\r')" = "Exec::first $hold_title"
ends_with "attended, unsupported Windows" 3 close_unsupported 'C:\Unsupported\setup.exe'
ends_with "unattended, unsupported Windows" 3 "answer_box unsupported-box" 'C:\Unsupported\setup.exe' /u
ends_with "unattended, invalid destination" 4 "answer_box destination-box" 'C:\Pkg\setup.exe' /u '/d:Q:\Nowhere'
ends_with "unattended, data package missing" 1 "answer_box package-box" 'C:\NoPak\setup.exe' /u '/d:C:\NoPakApp'
ends_with "unattended, installation error" 6 "answer_box error-box" 'C:\Pkg\setup.exe' /u '/d:C:\Blocked'

# big.bin takes all but the 4 KiB page that the log holds; the log lines of the files after it
# outgrow that page, and the full volume takes the line that crosses into the next one in part.
mkdir -p "$fulldisk"
if mount -t tmpfs -o size=1m cvfull "$fulldisk" 2>/dev/null; then
  ln -sfn "$fulldisk" "$WINEPREFIX/dosdevices/q:"
  fill=$(($(stat -f -c '%a * %S' "$fulldisk") - 4096))
  mkdir -p "$c/Full"
  wine_run "$build/tests/e2e/make_install_package.exe" 'C:\Full' FullApp raw "fill:$fill" >/dev/null || fatal "the filling package"
  cp "$build/dist/setup.exe" "$c/Full/" || fatal "setup.exe"
  box_text=
  ends_with "unattended, the disk fills up during a log line" 5 "answer_box full-disk-box" 'C:\Full\setup.exe' /u '/d:Q:\Full'
  check "  ... says the disk is full" grep -qF 'Insufficient free disk space to perform the installation.\r\nThe disk is full: the uninstall log Q:\Full\cv2uinst.dat could not be written.' <<<"$box_text"
  log=$fulldisk/Full/cv2uinst.dat
  check "  ... and the log ends with a whole line" test "$(tail -c 2 "$log" | od -An -c | tr -d ' ')" = '\r\n' \
    -a "$(tail -n 1 "$log" | tr -d '\r')" = "CreateFile::Q:\\Full\\$(printf 'n%.0s' $(seq 180))28.txt"
  rm -f "$WINEPREFIX/dosdevices/q:"
  release_fulldisk
else
  skipped=", 1 skipped (the disk that fills up: no tmpfs can be mounted here, which needs root)"
  echo "skip unattended, the disk fills up during a log line: no tmpfs can be mounted here (it needs root)"
fi

echo "$passes passed, $failures failed$skipped"
[ $failures = 0 ]
