// The console start-up reference with cache-access-check's weight but none of
// its work: the same manifest and the same imports, pulled in by calls that
// never run; it only ends its one line, as the plain reference does.
#include <windows.h>
#include <shlobj.h>

int wmain(int argc, wchar_t**) {
  if (argc < 0) {  // never
    wchar_t path[MAX_PATH];
    SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, path);
  }
  DWORD written = 0;
  WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), "\r\n", 2, &written, nullptr);
  return 0;
}
