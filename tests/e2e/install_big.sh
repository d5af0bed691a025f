#!/bin/sh
# install_big.sh WINE_RUN WINEPREFIX DIST_DIR MAKER WORK_DIR raw|compressed MIB [LIMIT_MIB]
# A package of one file of MIB MiB, installed unattended twice: by setup.exe beside setup.dat and
# data.pak, and by the self-extracting package of the same files (extractor.exe unpacks them, then
# runs setup.exe). Each run is timed by /usr/bin/time around the Wine process and prints its time
# and peak memory (resident); the installed file must be the file's bytes. With LIMIT_MIB a peak
# above it fails the run.
set -u
wine_run=$1 prefix=$2 dist=$3 maker=$4 work=$5 mode=$6 mib=$7 limit=${8:-}
title="Big_${mode}_$$"
pkg="$work/big_pkg_$title"
fails=0
fail() { printf "FAIL: %s\n" "$*"; fails=$((fails + 1)); }
winpath() { echo "Z:$1" | tr / '\\'; }

cleanup() {
  "$wine_run" reg delete "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\$title" /f \
    </dev/null >/dev/null 2>&1
  rm -rf "$pkg" "$prefix/drive_c/big_$title" "$prefix/drive_c/big_web_$title"
}
trap cleanup EXIT
rm -rf "$pkg" && mkdir -p "$pkg"
cp "$dist/setup.exe" "$pkg/" || { echo "no setup.exe in $dist"; exit 1; }
"$wine_run" "$maker" "$(winpath "$pkg")" "$title" "$mode" big "$mib" </dev/null >/dev/null 2>&1 \
  || { echo "the package could not be made"; exit 1; }
"$wine_run" "$maker" web "$(winpath "$pkg/web.exe")" "$(winpath "$dist/extractor.exe")" "$(winpath "$pkg/setup.exe")" \
  "$(winpath "$pkg/setup.dat")" "$(winpath "$pkg/data.pak")" </dev/null >/dev/null 2>&1 \
  || { echo "the web package could not be made"; exit 1; }

# run WHAT DEST PROGRAM: installs into C:\DEST, prints the figures and checks the file.
run() {
  what=$1 dest=$2 program=$3
  /usr/bin/time -f '%e %M' -o "$pkg/time.txt" "$wine_run" "$program" /u "/d:C:\\$dest" </dev/null >/dev/null 2>&1
  status=$?
  read -r seconds kib <"$pkg/time.txt"
  peak=$((kib / 1024))
  printf "%-13s %-10s %5d MiB file: %7.2f s, peak memory %4d MiB\n" "$what" "$mode" "$mib" "$seconds" "$peak"
  [ $status = 0 ] || fail "$what ended with $status"
  cmp -s "$prefix/drive_c/$dest/big.bin" "$pkg/big.bin" || fail "$what: the installed file differs"
  if [ -n "$limit" ] && [ "$peak" -gt "$limit" ]; then fail "$what: peak memory $peak MiB is over $limit MiB"; fi
  rm -rf "$prefix/drive_c/$dest"
}
run setup.exe "big_$title" "$pkg/setup.exe"
rm -f "$pkg/setup.dat" "$pkg/data.pak"  # from here on only the web package holds them
run extractor.exe "big_web_$title" "$pkg/web.exe"

[ $fails = 0 ]
