#include "cache_access_check/check_run.h"

#include <vector>

#include "cache_access_check/console_output.h"
#include "cache_access_check/file_test_pass.h"
#include "win32/api.h"

namespace cache_access_check {

std::u16string GetCacheFolder() {
  char16_t path[MAX_PATH] = {};
  if (win32::SHGetFolderPathW(CSIDL_LOCAL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, path) != S_OK) {
    return {};
  }
  // Only asks for the size: the UTF-8 text itself is never used.
  if (win32::WideCharToMultiByte(CP_UTF8, 0, path, -1, nullptr, 0) == 0) {
    Write(u"AccessToken: Failed to convert AppData path ");
    Write(path);
    Write(u" to UTF-8");
    return {};
  }
  std::u16string folder(path);
  if (!folder.empty() && folder.back() == u'\\') {
    folder.pop_back();  // a drive root: one separator only
  }
  return folder + u"\\Halvernik ODBC Driver\\Cache";
}

void RunChecks() {
  const std::vector<DWORD> shareModes = {FILE_SHARE_WRITE, 0};
  const std::vector<DWORD> flagsAndAttributes = {FILE_ATTRIBUTE_NORMAL, FILE_ATTRIBUTE_ENCRYPTED, 0};

  const std::u16string cacheFolder = GetCacheFolder();
  int errors = 0;
  // The reading pass opens, then deletes, what the writing pass created.
  for (const std::u16string& folder : {cacheFolder, std::u16string(u".")}) {
    if (folder.empty()) {
      continue;
    }
    errors += RunFileTests(folder, GENERIC_WRITE, shareModes, flagsAndAttributes, CREATE_ALWAYS);
    errors += RunFileTests(folder, GENERIC_READ, shareModes, flagsAndAttributes, OPEN_EXISTING);
  }

  WriteLine(errors == 0 ? std::u16string(u"All tests passed successfully.")
                        : DecimalText(static_cast<unsigned>(errors)) +
                              u" errors occurred during file creation tests.");
}

int RunCacheAccessCheck() {
  RunChecks();
  win32::ReadStandardInputCharacter();  // no prompt; end of input ends the wait too
  return 0;
}

}  // namespace cache_access_check
