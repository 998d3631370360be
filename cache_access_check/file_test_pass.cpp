#include "cache_access_check/file_test_pass.h"

#include "cache_access_check/console_output.h"

namespace cache_access_check {
namespace {

// The system's texts in the user's default language (LANG_USER_DEFAULT).
constexpr DWORD kUserDefaultLanguage = MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT);
static_assert(kUserDefaultLanguage == 0x0400);

}  // namespace

std::u16string GetLastErrorText() {
  const DWORD code = win32::GetLastError();
  win32::UniqueLocalText buffer;
  const DWORD units = win32::FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_FROM_SYSTEM, code,
      kUserDefaultLanguage, buffer.put());
  std::u16string text;
  if (units != 0 && buffer.get() != nullptr) {
    text.assign(buffer.get(), units);
  }
  // The system's text may span lines: the error line stays one line.
  std::erase(text, u'\r');
  std::erase(text, u'\n');
  return text + u" (" + DecimalText(code) + u")";
}

int ReportOpenResult(std::u16string fileName, std::u16string operation, win32::UniqueFileHandle handle) {
  if (handle.valid()) {
    return 0;  // closed by its owner on the way out
  }
  const std::u16string error = GetLastErrorText();
  WriteLine(u"Error " + operation + u" file " + fileName + u": " + error);
  return 1;
}

int RunFileTests(std::u16string folder, DWORD desiredAccess, const std::vector<DWORD>& shareModes,
                 const std::vector<DWORD>& flagsAndAttributes, DWORD creationDisposition) {
  const std::u16string operation = desiredAccess == GENERIC_WRITE ? u"creating" : u"opening";
  int failures = 0;
  for (const DWORD shareMode : shareModes) {
    for (const DWORD attributes : flagsAndAttributes) {
      const std::u16string fileName =
          folder + u"\\test_" + DecimalText(shareMode) + u"_" + DecimalText(attributes) + u".txt";
      win32::UniqueFileHandle handle(
          win32::CreateFileW(fileName.c_str(), desiredAccess, shareMode, creationDisposition, attributes));
      failures += ReportOpenResult(fileName, operation, std::move(handle));
      if (desiredAccess == GENERIC_READ) {
        win32::DeleteFileW(fileName.c_str());  // a failed delete is not reported
      }
    }
  }
  return failures;
}

}  // namespace cache_access_check
