// The reference for the console tool's start-up: a console program that only
// ends its one line, built and linked as the tools are.
#include <windows.h>

int wmain() {
  DWORD written = 0;
  WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), "\r\n", 2, &written, nullptr);
  return 0;
}
