// Files on the fake: folders that exist or not, files that a create leaves
// and a delete removes, share modes between open handles, and the last-error
// codes Windows sets. Also the shell folder lookup and the UTF-8 probe.
#include <algorithm>
#include <cstring>

#include "win32/api.h"
#include "win32/fake/fake_state.h"

namespace win32::fake {
namespace {

constexpr DWORD ERROR_FILE_EXISTS = 80;
constexpr DWORD ERROR_NO_UNICODE_TRANSLATION = 1113;

// Upper case, one backslash between parts, none at the end.
std::u16string PathKey(std::u16string_view path) {
  std::u16string key;
  for (const char16_t c : Folded(path)) {
    if (c == u'\\' && !key.empty() && key.back() == u'\\') {
      continue;
    }
    key.push_back(c);
  }
  while (key.size() > 1 && key.back() == u'\\') {
    key.pop_back();
  }
  return key;
}

std::u16string FolderOf(const std::u16string& key) {
  const auto slash = key.rfind(u'\\');
  return slash == std::u16string::npos ? u"." : key.substr(0, slash);
}

HANDLE Fail(DWORD code) {
  State& s = TheState();
  s.lastError = code;
  s.failedFileOpens += s.otherProgramActing ? 0 : 1;
  return INVALID_HANDLE_VALUE;
}

BOOL FailBool(DWORD code) {
  TheState().lastError = code;
  return FALSE;
}

// Whether a new open may share the file with those already open.
bool SharingAllows(const std::u16string& key, DWORD access, DWORD share) {
  const bool reads = (access & GENERIC_READ) != 0;
  const bool writes = (access & GENERIC_WRITE) != 0;
  for (const auto& [handle, open] : TheState().openFiles) {
    if (open.key != key) {
      continue;
    }
    if ((reads && !(open.share & FILE_SHARE_READ)) || (writes && !(open.share & FILE_SHARE_WRITE)) ||
        ((open.access & GENERIC_READ) && !(share & FILE_SHARE_READ)) ||
        ((open.access & GENERIC_WRITE) && !(share & FILE_SHARE_WRITE))) {
      return false;
    }
  }
  return true;
}

bool OpenWithoutDeleteSharing(const std::u16string& key) {
  for (const auto& [handle, open] : TheState().openFiles) {
    if (open.key == key && !(open.share & FILE_SHARE_DELETE)) {
      return true;
    }
  }
  return false;
}

}  // namespace

void AddFolder(std::u16string_view path) { TheState().folders.insert(PathKey(path)); }
bool FolderExists(std::u16string_view path) { return TheState().folders.count(PathKey(path)) == 1; }

void AddFile(std::u16string_view path, DWORD attributes) {
  TheState().files[PathKey(path)] = FakeFile{std::u16string(path), attributes};
}

bool FileExists(std::u16string_view path) { return TheState().files.count(PathKey(path)) == 1; }

std::vector<std::u16string> FilePaths() {
  std::vector<std::u16string> paths;
  for (const auto& [key, file] : TheState().files) {
    paths.push_back(file.path);
  }
  return paths;
}

void FailFolder(std::u16string_view folder, DWORD code) { TheState().failingFolders[PathKey(folder)] = code; }
void FailAttribute(DWORD attribute, DWORD code) { TheState().failingAttributes[attribute] = code; }

void ChangeFileAttributes(std::u16string_view path, DWORD attributes) {
  if (const auto file = TheState().files.find(PathKey(path)); file != TheState().files.end()) {
    file->second.attributes = attributes;
  }
}

std::vector<std::u16string> FilesIn(std::u16string_view folder) {
  std::vector<std::u16string> paths;
  for (const auto& [key, file] : TheState().files) {
    if (FolderOf(key) == PathKey(folder)) {
      paths.push_back(file.path);
    }
  }
  return paths;
}

bool RemoveEmptyFolder(std::u16string_view path) {
  State& s = TheState();
  const std::u16string key = PathKey(path);
  const bool holdsAFolder = std::any_of(s.folders.begin(), s.folders.end(), [&](const auto& folder) {
    return folder != key && FolderOf(folder) == key;
  });
  if (holdsAFolder || !FilesIn(path).empty()) {
    return false;
  }
  return s.folders.erase(key) == 1;
}

int OpenFileCount() {
  const auto& open = TheState().openFiles;
  return static_cast<int>(std::count_if(open.begin(), open.end(), [](const auto& o) {
    return !o.second.ofAnotherProgram;
  }));
}
int FailedFileOpenCount() { return TheState().failedFileOpens; }

void SetLocalAppData(HRESULT result, std::u16string_view path) {
  TheState().localAppDataResult = result;
  TheState().localAppData = std::u16string(path);
}

void FailUtf8Conversion() { TheState().utf8ConversionFails = true; }

}  // namespace win32::fake

namespace win32 {
using namespace fake;

HANDLE CreateFileW(const char16_t* fileName, DWORD desiredAccess, DWORD shareMode, DWORD creationDisposition,
                   DWORD flagsAndAttributes) {
  if (const auto failure = EnterCall(Call::CreateFileW)) {
    return Fail(*failure);
  }
  State& s = TheState();
  const std::u16string key = PathKey(fileName);
  const std::u16string folder = FolderOf(key);
  if (s.folders.count(folder) == 0) {
    return Fail(ERROR_PATH_NOT_FOUND);
  }
  if (const auto refused = s.failingFolders.find(folder); refused != s.failingFolders.end()) {
    return Fail(refused->second);
  }
  // A folder cannot be opened as a file.
  if (s.folders.count(key) == 1) {
    return Fail(ERROR_ACCESS_DENIED);
  }
  const bool creates = creationDisposition != OPEN_EXISTING && creationDisposition != TRUNCATE_EXISTING;
  if (creates) {
    for (const auto& [attribute, code] : s.failingAttributes) {
      if ((flagsAndAttributes & attribute) != 0) {
        return Fail(code);
      }
    }
  }
  const auto existing = s.files.find(key);
  const bool exists = existing != s.files.end();
  if (!exists && !creates) {
    return Fail(ERROR_FILE_NOT_FOUND);
  }
  if (exists && creationDisposition == CREATE_NEW) {
    return Fail(ERROR_FILE_EXISTS);
  }
  if (exists && (existing->second.attributes & FILE_ATTRIBUTE_READONLY) != 0 &&
      ((desiredAccess & GENERIC_WRITE) != 0 || creationDisposition == CREATE_ALWAYS)) {
    return Fail(ERROR_ACCESS_DENIED);
  }
  if (exists && !SharingAllows(key, desiredAccess, shareMode)) {
    return Fail(ERROR_SHARING_VIOLATION);
  }
  if (!exists || creationDisposition == CREATE_ALWAYS) {
    const DWORD attributes = flagsAndAttributes & 0xFFFF;
    s.files[key] = FakeFile{fileName, attributes == 0 ? FILE_ATTRIBUTE_NORMAL : attributes};
  }
  // Windows says so when a create met a file that was already there.
  s.lastError = exists && (creationDisposition == CREATE_ALWAYS || creationDisposition == OPEN_ALWAYS)
                    ? ERROR_ALREADY_EXISTS
                    : ERROR_SUCCESS;
  const std::uintptr_t id = s.nextHandle;
  s.nextHandle += 4;
  s.openFiles[id] = OpenFile{key, desiredAccess, shareMode};
  return reinterpret_cast<HANDLE>(id);
}

BOOL CloseHandle(HANDLE handle) {
  if (const auto failure = EnterCall(Call::CloseHandle)) {
    return FailBool(*failure);
  }
  if (TheState().openFiles.erase(reinterpret_cast<std::uintptr_t>(handle)) == 0) {
    return FailBool(ERROR_INVALID_HANDLE);
  }
  return TRUE;
}

BOOL DeleteFileW(const char16_t* fileName) {
  if (const auto failure = EnterCall(Call::DeleteFileW)) {
    return FailBool(*failure);
  }
  State& s = TheState();
  const std::u16string key = PathKey(fileName);
  if (s.folders.count(FolderOf(key)) == 0) {
    return FailBool(ERROR_PATH_NOT_FOUND);
  }
  if (s.folders.count(key) == 1) {
    return FailBool(ERROR_ACCESS_DENIED);
  }
  const auto file = s.files.find(key);
  if (file == s.files.end()) {
    return FailBool(ERROR_FILE_NOT_FOUND);
  }
  if ((file->second.attributes & FILE_ATTRIBUTE_READONLY) != 0) {
    return FailBool(ERROR_ACCESS_DENIED);
  }
  if (OpenWithoutDeleteSharing(key)) {
    return FailBool(ERROR_SHARING_VIOLATION);
  }
  s.files.erase(file);
  return TRUE;
}

HRESULT SHGetFolderPathW(int folder, HANDLE, DWORD flags, char16_t* path) {
  path[0] = u'\0';
  if (const auto failure = EnterCall(Call::SHGetFolderPathW)) {
    return static_cast<HRESULT>(0x80070000u | (*failure & 0xFFFF));  // HRESULT_FROM_WIN32
  }
  State& s = TheState();
  if (folder != CSIDL_LOCAL_APPDATA || flags != SHGFP_TYPE_CURRENT) {
    return E_INVALIDARG;
  }
  if (s.localAppDataResult == S_OK || s.localAppDataResult == S_FALSE) {
    const std::size_t units = std::min(s.localAppData.size(), MAX_PATH - 1);
    std::memcpy(path, s.localAppData.data(), units * sizeof(char16_t));
    path[units] = u'\0';
  }
  return s.localAppDataResult;
}

int WideCharToMultiByte(UINT codePage, DWORD, const char16_t* text, int units, char* output, int outputBytes) {
  if (const auto failure = EnterCall(Call::WideCharToMultiByte)) {
    TheState().lastError = *failure;
    return 0;
  }
  State& s = TheState();
  if (codePage != CP_UTF8 || s.utf8ConversionFails) {
    s.lastError = ERROR_NO_UNICODE_TRANSLATION;
    return 0;
  }
  // Only the size query is modelled: the UTF-8 bytes the text needs, its NUL
  // included when the length is -1. An unpaired surrogate becomes U+FFFD.
  const std::u16string_view view =
      units < 0 ? std::u16string_view(text, std::char_traits<char16_t>::length(text) + 1)
                : std::u16string_view(text, static_cast<std::size_t>(units));
  int bytes = 0;
  for (std::size_t i = 0; i < view.size(); ++i) {
    const char16_t unit = view[i];
    if (unit < 0x80) {
      bytes += 1;
    } else if (unit < 0x800) {
      bytes += 2;
    } else if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < view.size() && view[i + 1] >= 0xDC00 &&
               view[i + 1] <= 0xDFFF) {
      bytes += 4;
      ++i;
    } else {
      bytes += 3;
    }
  }
  if (output != nullptr && outputBytes != 0) {
    s.lastError = ERROR_INVALID_PARAMETER;  // converting is not modelled
    return 0;
  }
  return bytes;
}

}  // namespace win32
