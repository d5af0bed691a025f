#!/usr/bin/env bash
# setup.exe's exit code where a person ends the run, on a private X display with the keyboard:
# attended runs finished, cancelled and closed on an unsupported Windows, and unattended runs whose
# failure message must be answered (unsupported Windows, an invalid destination, a missing data
# package, an installation error). Each run's exit code is checked against the README's table.
#   exitcode_e2e.sh BUILDDIR [ARTEFACTDIR]
# BUILDDIR is the win64 build, with dist/ and tests/e2e/make_install_package.exe.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "$1" && pwd)
shots=$(mkdir -p "${2:-$build/exitcode-shots}" && cd "${2:-$build/exitcode-shots}" && pwd)
work=$build/exitcode-e2e
. "$here/desktop.sh"

passes=0 failures=0
fatal() { echo "FAIL $*"; echo "$passes passed, $((failures + 1)) failed"; exit 1; }

rm -rf "$work" && mkdir -p "$work"
rm -f "$shots"/*.png
desktop_start "$work" || fatal "desktop"
trap desktop_stop EXIT
c=$WINEPREFIX/drive_c

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
close_unsupported() {
  wait_window "$wizard" 60 || return 1
  shot unsupported-page
  press alt+c
}
answer_box() { # NAME
  wait_box || return 1
  shot "$1"
  press Return
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
ends_with "attended, unsupported Windows" 3 close_unsupported 'C:\Unsupported\setup.exe'
ends_with "unattended, unsupported Windows" 3 "answer_box unsupported-box" 'C:\Unsupported\setup.exe' /u
ends_with "unattended, invalid destination" 4 "answer_box destination-box" 'C:\Pkg\setup.exe' /u '/d:Q:\Nowhere'
ends_with "unattended, data package missing" 1 "answer_box package-box" 'C:\NoPak\setup.exe' /u '/d:C:\NoPakApp'
ends_with "unattended, installation error" 6 "answer_box error-box" 'C:\Pkg\setup.exe' /u '/d:C:\Blocked'

echo "$passes passed, $failures failed"
[ $failures = 0 ]
