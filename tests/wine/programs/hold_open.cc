// Holds a file as another program that has it in use would:
// hold_open.exe [--load] FILE READY HOLD opens FILE for reading and writing
// with no sharing at all (with --load: loads it as a library instead),
// creates the file READY once it holds it, and keeps it while the file HOLD
// exists. Exit code 0, or 1 when FILE cannot be opened or loaded (READY is
// then not created).
#include <windows.h>

#include <string_view>

namespace {

bool Hold(bool load, const wchar_t* path) {
  if (load) return LoadLibraryW(path) != nullptr;
  return CreateFileW(path, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                     FILE_ATTRIBUTE_NORMAL, nullptr) != INVALID_HANDLE_VALUE;
}

}  // namespace

// What it holds is released by the exit.
int wmain(int argc, wchar_t** argv) {
  const bool load = argc == 5 && std::wstring_view(argv[1]) == L"--load";
  if (argc != 4 + (load ? 1 : 0)) return 2;
  wchar_t** args = argv + (load ? 2 : 1);
  if (!Hold(load, args[0])) return 1;
  HANDLE ready = CreateFileW(args[1], GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
  if (ready != INVALID_HANDLE_VALUE) CloseHandle(ready);
  while (GetFileAttributesW(args[2]) != INVALID_FILE_ATTRIBUTES) Sleep(50);
  return 0;
}
