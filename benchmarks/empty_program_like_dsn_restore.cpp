// The start-up reference with dsn-restore's weight but none of its work: the
// same manifest (built with the same resource) and the same imports, pulled
// in by calls that never run, so the loader does what it does for the tool.
#include <windows.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR commandLine, int) {
  if (commandLine == nullptr) {  // never: Windows always passes a command line
    HKEY key = nullptr;
    RegOpenKeyExW(HKEY_CURRENT_USER, L"", 0, KEY_READ, &key);
    MessageBoxW(nullptr, L"", L"", MB_OK);
  }
  return 0;
}
