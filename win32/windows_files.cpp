// The seam's Windows side for files, the shell folder lookup and the text
// conversion probe.
#include "win32/api.h"
#include "win32/windows_text.h"

namespace win32 {

HANDLE CreateFileW(const char16_t* fileName, DWORD desiredAccess, DWORD shareMode, DWORD creationDisposition,
                   DWORD flagsAndAttributes) {
  return ::CreateFileW(AsWide(fileName), desiredAccess, shareMode, nullptr, creationDisposition,
                       flagsAndAttributes, nullptr);
}

BOOL CloseHandle(HANDLE handle) { return ::CloseHandle(handle); }

BOOL DeleteFileW(const char16_t* fileName) { return ::DeleteFileW(AsWide(fileName)); }

HRESULT SHGetFolderPathW(int folder, HANDLE token, DWORD flags, char16_t* path) {
  return ::SHGetFolderPathW(nullptr, folder, token, flags, AsWide(path));
}

int WideCharToMultiByte(UINT codePage, DWORD flags, const char16_t* text, int units, char* output,
                        int outputBytes) {
  return ::WideCharToMultiByte(codePage, flags, AsWide(text), units, output, outputBytes, nullptr, nullptr);
}

}  // namespace win32
