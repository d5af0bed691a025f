#include <windows.h>

// Placeholder until the program's own issue lands: starts and ends at once.
int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) { return 0; }
