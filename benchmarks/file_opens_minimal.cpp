// The reference for cache-access-check: the same 24 opens and 12 deletes in
// the same two folders, and nothing else.
#include <windows.h>
#include <shlobj.h>

#include <string>

int wmain() {
  const DWORD shareModes[] = {FILE_SHARE_WRITE, 0};
  const DWORD attributes[] = {FILE_ATTRIBUTE_NORMAL, FILE_ATTRIBUTE_ENCRYPTED, 0};
  const DWORD accesses[] = {GENERIC_WRITE, GENERIC_READ};
  wchar_t local[MAX_PATH] = {};
  SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, local);
  for (const std::wstring folder : {std::wstring(local) + L"\\Halvernik ODBC Driver\\Cache", std::wstring(L".")}) {
    for (const DWORD access : accesses) {
      for (const DWORD share : shareModes) {
        for (const DWORD attribute : attributes) {
          const std::wstring name =
              folder + L"\\test_" + std::to_wstring(share) + L"_" + std::to_wstring(attribute) + L".txt";
          const HANDLE file = CreateFileW(name.c_str(), access, share, nullptr,
                                          access == GENERIC_WRITE ? CREATE_ALWAYS : OPEN_EXISTING, attribute, nullptr);
          if (file != INVALID_HANDLE_VALUE) {
            CloseHandle(file);
          }
          if (access == GENERIC_READ) {
            DeleteFileW(name.c_str());
          }
        }
      }
    }
  }
  return 0;
}
