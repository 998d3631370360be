// hold-file: opens a file with no sharing at all and keeps it open, as
// another program on the machine would, until its standard input ends.
//
//   hold-file.exe PATH
//
// Prints "held" once the file is open, or "cannot open (CODE)" and exits 1.
#include <windows.h>

#include <cstdio>

int wmain(int argc, wchar_t** argv) {
  if (argc != 2) {
    fputs("usage: hold-file.exe PATH\n", stderr);
    return 2;
  }
  const HANDLE file = CreateFileW(argv[1], GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    printf("cannot open (%lu)\n", GetLastError());
    return 1;
  }
  puts("held");
  fflush(stdout);
  while (getchar() != EOF) {
  }
  CloseHandle(file);
  return 0;
}
