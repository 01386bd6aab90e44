// A library for the bench to install as an application's DLL and to keep
// loaded in a running program (hold_open.exe --load).
#include <windows.h>

extern "C" __declspec(dllexport) int BenchPluginVersion() { return 1; }
