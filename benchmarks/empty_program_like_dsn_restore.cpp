// The start-up reference with dsn-restore's weight and its first box but none
// of its work: the same manifest (built with the same resource), the same
// imports (the registry's pulled in by a call that never runs), and the same
// confirmation box, so that a start timed to that box compares like with like.
#include <windows.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR commandLine, int) {
  if (commandLine == nullptr) {  // never: Windows always passes a command line
    HKEY key = nullptr;
    RegOpenKeyExW(HKEY_CURRENT_USER, L"", 0, KEY_READ, &key);
  }
  MessageBoxW(nullptr, L"Do you want to restore ODBC 2.x DSNs", L"Manage ODBC 2.x DSN", MB_YESNOCANCEL);
  return 0;
}
