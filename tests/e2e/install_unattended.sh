#!/bin/sh
# install_unattended.sh WINE_RUN WINEPREFIX DIST_DIR MAKER WORK_DIR raw|compressed
# An unattended installation as a separate process: setup.exe beside a package, run with
# /u "/d:C:\...", then checked from the shell: the files, the registry (reg query), the shortcut
# files (lnkinfo) and the uninstall log.
set -u
wine_run=$1 prefix=$2 dist=$3 maker=$4 work=$5 mode=$6
name="E2E_${mode}_$$_$(date +%s)"
pkg="$work/e2e_pkg_$name"
fails=0
fail() { printf "FAIL: %s\n" "$*"; fails=$((fails + 1)); }
win() { "$wine_run" "$@" </dev/null 2>/dev/null | tr -d '\r'; }
winpath() { echo "Z:$1" | tr / '\\'; }
# lnkfield FILE LABEL: the value lnkinfo gives for LABEL ("Local path", "Icon index", ...)
lnkfield() { lnkinfo "$1" 2>/dev/null | sed -n "s/^[[:space:]]*$2[[:space:]]*: //p" | head -n 1; }

rm -rf "$pkg" && mkdir -p "$pkg"
cp "$dist/setup.exe" "$pkg/" || { echo "no setup.exe in $dist"; exit 1; }
"$wine_run" "$maker" "$(winpath "$pkg")" "$name" "$mode" </dev/null >/dev/null 2>&1 \
  || { echo "the package could not be made"; exit 1; }

dest_win="C:\\e2e_$name"
dest="$prefix/drive_c/e2e_$name"
"$wine_run" "$pkg/setup.exe" /u "/d:$dest_win" </dev/null >/dev/null 2>&1
status=$?
[ $status = 0 ] || fail "setup.exe ended with $status"

# files
[ -f "$dest/readme.txt" ] && [ "$(head -n 1 "$dest/readme.txt" | tr -d '\r')" = "line 0 of the read-me" ] \
  || fail "readme.txt"
[ "$(wc -l < "$dest/readme.txt" 2>/dev/null)" = 3000 ] || fail "readme.txt is not whole"
[ "$(cat "$dest/bin/tool.exe" 2>/dev/null)" = "MZ not really a program" ] || fail "bin/tool.exe"
[ "$(od -An -tx1 "$dest/bin/data/table.bin" 2>/dev/null | tr -d ' \n')" = 00010203feff ] || fail "bin/data/table.bin"
[ "$(tr -d '\r ' < "$dest/post.txt" 2>/dev/null)" = done ] || fail "the post-installation command did not run"

# registry
values=$(win reg query "HKCU\\Software\\$name")
printf "%s\n" "$values" | grep -qxF "    Path    REG_SZ    $dest_win" || fail "Path: $values"
printf "%s\n" "$values" | grep -q "Count    REG_DWORD    0x2a" || fail "Count: $values"
printf "%s\n" "$values" | grep -qxF "    Enabled    REG_DWORD    0x1" || fail "Enabled: $values"
printf "%s\n" "$values" | grep -q "Blob    REG_BINARY    DEADBEEF" || fail "Blob: $values"
ukey="HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\$name"
entry=$(win reg query "$ukey")
printf "%s\n" "$entry" | grep -qxF "    DisplayName    REG_SZ    $name" || fail "DisplayName: $entry"
printf "%s\n" "$entry" | grep -qF "UninstallString    REG_SZ    C:\\windows\\system32\\cv2uinst.exe \"$dest_win\\cv2uinst.dat\"" \
  || fail "UninstallString: $entry"

# shortcuts
user=$(win cmd /c echo %USERNAME%)
desktop_win="C:\\users\\$user\\Desktop"
programs_win="C:\\users\\$user\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu\\Programs\\$name"
lnk="$prefix/drive_c/users/$user/Desktop/$name Tool.lnk"
[ "$(lnkfield "$lnk" "Local path")" = "$dest_win\\bin\\tool.exe" ] || fail "desktop shortcut target"
[ "$(lnkfield "$lnk" "Command line arguments")" = "/quiet" ] || fail "desktop shortcut arguments"
[ "$(lnkfield "$lnk" "Working directory")" = "$dest_win\\bin\\" ] || fail "desktop shortcut working directory"
readme="$prefix/drive_c/users/$user/AppData/Roaming/Microsoft/Windows/Start Menu/Programs/$name/Read Me.lnk"
[ "$(lnkfield "$readme" "Local path")" = "$dest_win\\readme.txt" ] || fail "programs shortcut target"
[ "$(lnkfield "$readme" "Icon location")" = "$dest_win\\bin\\tool.exe" ] || fail "programs shortcut icon"
[ "$(lnkfield "$readme" "Icon index")" = 2 ] || fail "programs shortcut icon index"

# the uninstall log, line for line
hkcu="HKEY_CURRENT_USER\\Software\\$name"
hklm="HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\$name"
cat > "$pkg/want.txt" <<WANT
CreateDir::$dest_win
CreateFile::$dest_win\\cv2uinst.dat
CreateFile::$dest_win\\readme.txt
CreateDir::$dest_win\\bin\\
CreateFile::$dest_win\\bin\\tool.exe
CreateDir::$dest_win\\bin\\data\\
CreateFile::$dest_win\\bin\\data\\table.bin
CreateRegKey::$hkcu
CreateRegValue::$hkcu\\Path
CreateRegValue::$hkcu\\Count
CreateRegValue::$hkcu\\Enabled
CreateRegValue::$hkcu\\Blob
CreateRegKey::$hklm
CreateRegValue::$hklm\\DisplayName
CreateRegValue::$hklm\\UninstallString
CreateFile::$desktop_win\\$name Tool.lnk
CreateDir::$programs_win\\
CreateFile::$programs_win\\Read Me.lnk
Exec::second
Exec::first $name
WANT
if [ -f "$dest/cv2uinst.dat" ]; then
  tr -d '\r' < "$dest/cv2uinst.dat" > "$pkg/got.txt"
  diff "$pkg/want.txt" "$pkg/got.txt" || fail "the uninstall log differs (want, got)"
  [ "$(wc -l < "$dest/cv2uinst.dat")" = "$(tr -cd '\r' < "$dest/cv2uinst.dat" | wc -c)" ] || fail "log lines must end in CR LF"
else
  fail "no uninstall log"
fi

# clean up what the installation made
win reg delete "HKCU\\Software\\$name" /f >/dev/null
win reg delete "$ukey" /f >/dev/null
rm -rf "$dest" "$pkg" "$lnk" "$(dirname "$readme")"

if [ $fails = 0 ]; then echo "unattended installation ($mode): all checks passed"; else exit 1; fi
