// Fixture library: something for a process to load.
#include <windows.h>

extern "C" __declspec(dllexport) int LockscanFixtureValue() { return 42; }

BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) { return TRUE; }
