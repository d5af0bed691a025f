// Where the programs take the system's DLLs from. Windows looks for a DLL named without a path in
// the program's own folder first, and in the current directory too; a setup program runs from a
// downloads folder or a share beside a CD-ROM package, where anyone may have left a DLL with a
// system name. So the programs import at load time only the system's known DLLs (kernel32,
// user32, gdi32, advapi32, shell32, ole32, oleaut32, comdlg32, shlwapi, msvcrt), which Windows
// always takes from the system folder, and load any other by its full path there when they first
// need it. Windows only.
#pragma once

#include <windows.h>

// Keeps the program's folder and the current directory out of the search for every DLL loaded
// from now on, by the program or by the system's own code, as far as this Windows allows:
// SetDefaultDllDirectories (Windows 8, and Vista and 7 with their update) leaves only the system
// folder to search; SetDllDirectoryA("") (XP SP1 on) takes the current directory out, for the
// programs this one starts too. Windows 95 to 2000 have neither. The first call of each program.
void RestrictDllSearch();

// The full path of the file of that name (up to 14 characters) in the system folder; false when the
// system folder's path is too long.
bool SystemFilePath(const char* name, char (&path)[MAX_PATH + 16]);

// The DLL of that name (up to 14 characters, as "comctl32.dll") in the system folder
// (GetSystemDirectoryA), the DLLs it needs searched for there first; null when it cannot be
// loaded. The handle stays loaded for the process.
HMODULE LoadSystemLibrary(const char* name);

// The function name of module, as a pointer of type F; null when the module or the function is
// missing (a function that this version of Windows does not have).
template <class F> F SystemFunction(HMODULE module, const char* name) {
  return module ? reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(module, name))) : nullptr;
}
