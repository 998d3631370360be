// Files on the fake: folders that exist or not, files that a create leaves
// and a delete removes (once no handle holds them open), share modes between
// open handles, and the last-error codes Windows sets. Also the shell folder
// lookup and the conversion to UTF-8.
#include <algorithm>
#include <cstring>
#include <string>

#include "win32/api.h"
#include "win32/fake/fake_state.h"

namespace win32::fake {
namespace {

constexpr DWORD ERROR_FILE_EXISTS = 80;
// A folder or file of a program that is not long-path aware: the path and
// its NUL must fit in MAX_PATH units.
constexpr std::size_t kLongestPath = MAX_PATH - 1;

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

// A folder exists with every folder above it.
void AddFolderKey(const std::u16string& key) {
  for (std::u16string folder = key; TheState().folders.insert(folder).second && folder != u".";) {
    const auto slash = folder.rfind(u'\\');
    if (slash == std::u16string::npos) {
      break;
    }
    folder.resize(slash);
  }
}

bool TooLong(const char16_t* path) { return std::char_traits<char16_t>::length(path) > kLongestPath; }

// What a new or overwritten file's attributes become: those asked for, and
// ARCHIVE, which Windows sets on every file it writes.
DWORD AttributesOfNewFile(DWORD flagsAndAttributes) {
  return (flagsAndAttributes & 0xFFFF & ~(FILE_ATTRIBUTE_NORMAL | FILE_ATTRIBUTE_DIRECTORY)) | FILE_ATTRIBUTE_ARCHIVE;
}

// CREATE_ALWAYS over a hidden or system file must ask for those attributes
// again; Windows refuses the access otherwise.
bool KeepsHiddenAndSystem(DWORD existing, DWORD asked) {
  const DWORD kept = existing & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
  return (asked & kept) == kept;
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

// The model's own encoder: dsn-restore's conversion is held against the same
// edges by the behaviour suite, and must not be what the model answers with.
void AppendUtf8(std::string& out, char32_t point) {
  const auto byte = [&out](char32_t b) { out.push_back(static_cast<char>(b)); };
  if (point < 0x80) {
    byte(point);
  } else if (point < 0x800) {
    byte(0xC0 | (point >> 6));
    byte(0x80 | (point & 0x3F));
  } else if (point < 0x10000) {
    byte(0xE0 | (point >> 12));
    byte(0x80 | ((point >> 6) & 0x3F));
    byte(0x80 | (point & 0x3F));
  } else {
    byte(0xF0 | (point >> 18));
    byte(0x80 | ((point >> 12) & 0x3F));
    byte(0x80 | ((point >> 6) & 0x3F));
    byte(0x80 | (point & 0x3F));
  }
}

bool OpenWithoutDeleteSharing(const std::u16string& key) {
  for (const auto& [handle, open] : TheState().openFiles) {
    if (open.key == key && !(open.share & FILE_SHARE_DELETE)) {
      return true;
    }
  }
  return false;
}

bool IsOpen(const std::u16string& key) {
  const auto& open = TheState().openFiles;
  return std::any_of(open.begin(), open.end(), [&](const auto& o) { return o.second.key == key; });
}

}  // namespace

void AddFolder(std::u16string_view path) { AddFolderKey(PathKey(path)); }
bool FolderExists(std::u16string_view path) { return TheState().folders.count(PathKey(path)) == 1; }

void AddFile(std::u16string_view path, DWORD attributes) {
  const std::u16string key = PathKey(path);
  AddFolderKey(FolderOf(key));
  TheState().files[key] = FakeFile{std::u16string(path), attributes};
}

void ChangeFileAttributes(std::u16string_view path, DWORD attributes) {
  const auto file = TheState().files.find(PathKey(path));
  if (file != TheState().files.end()) {
    file->second.attributes = attributes == 0 ? FILE_ATTRIBUTE_NORMAL : attributes;
  }
}

std::optional<DWORD> FileAttributes(std::u16string_view path) {
  const auto file = TheState().files.find(PathKey(path));
  if (file == TheState().files.end()) {
    return std::nullopt;
  }
  return file->second.attributes;
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
  if (TooLong(fileName)) {
    return Fail(ERROR_PATH_NOT_FOUND);
  }
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
  // A file deleted while still open is refused to every open until it goes.
  if (exists && existing->second.deletePending) {
    return Fail(ERROR_ACCESS_DENIED);
  }
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
  if (exists && creationDisposition == CREATE_ALWAYS &&
      !KeepsHiddenAndSystem(existing->second.attributes, flagsAndAttributes)) {
    return Fail(ERROR_ACCESS_DENIED);
  }
  if (exists && !SharingAllows(key, desiredAccess, shareMode)) {
    return Fail(ERROR_SHARING_VIOLATION);
  }
  if (!exists || creationDisposition == CREATE_ALWAYS) {
    s.files[key] = FakeFile{fileName, AttributesOfNewFile(flagsAndAttributes)};
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
  State& s = TheState();
  const auto open = s.openFiles.find(reinterpret_cast<std::uintptr_t>(handle));
  if (open == s.openFiles.end()) {
    return FailBool(ERROR_INVALID_HANDLE);
  }
  const std::u16string key = open->second.key;
  s.openFiles.erase(open);
  // The last handle of a file deleted while open takes it with it.
  if (const auto file = s.files.find(key); file != s.files.end() && file->second.deletePending && !IsOpen(key)) {
    s.files.erase(file);
  }
  return TRUE;
}

BOOL DeleteFileW(const char16_t* fileName) {
  if (const auto failure = EnterCall(Call::DeleteFileW)) {
    return FailBool(*failure);
  }
  State& s = TheState();
  if (TooLong(fileName)) {
    return FailBool(ERROR_PATH_NOT_FOUND);
  }
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
  if ((file->second.attributes & FILE_ATTRIBUTE_READONLY) != 0 || file->second.deletePending) {
    return FailBool(ERROR_ACCESS_DENIED);
  }
  if (OpenWithoutDeleteSharing(key)) {
    return FailBool(ERROR_SHARING_VIOLATION);
  }
  // DeleteFileW marks the file for deletion: while another handle holds it
  // open (sharing its delete), it stays, refusing every open, until that
  // handle closes. (Windows 10 from version 1903 removes the name at once on
  // NTFS; the documented way is kept.)
  // https://learn.microsoft.com/en-us/windows/win32/api/fileapi/nf-fileapi-deletefilew
  if (IsOpen(key)) {
    file->second.deletePending = true;
  } else {
    s.files.erase(file);
  }
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

int WideCharToMultiByte(UINT codePage, DWORD flags, const char16_t* text, int units, char* output,
                        int outputBytes) {
  State& s = TheState();
  if (const auto failure = EnterCall(Call::WideCharToMultiByte)) {
    s.lastError = *failure;
    return 0;
  }
  if (codePage != CP_UTF8 || s.utf8ConversionFails) {
    s.lastError = ERROR_NO_UNICODE_TRANSLATION;
    return 0;
  }
  // UTF-8 takes no flag but WC_ERR_INVALID_CHARS.
  if (flags != 0 && flags != WC_ERR_INVALID_CHARS) {
    s.lastError = ERROR_INVALID_FLAGS;
    return 0;
  }
  if (text == nullptr || units == 0 || outputBytes < 0 || (output == nullptr && outputBytes != 0)) {
    s.lastError = ERROR_INVALID_PARAMETER;
    return 0;
  }
  // The text and, when its length is -1, its NUL. An unpaired surrogate
  // becomes U+FFFD, or fails the call under WC_ERR_INVALID_CHARS.
  const std::u16string_view view =
      units < 0 ? std::u16string_view(text, std::char_traits<char16_t>::length(text) + 1)
                : std::u16string_view(text, static_cast<std::size_t>(units));
  std::string utf8;
  for (std::size_t i = 0; i < view.size(); ++i) {
    char32_t point = view[i];
    if (point >= 0xD800 && point <= 0xDBFF && i + 1 < view.size() && view[i + 1] >= 0xDC00 && view[i + 1] <= 0xDFFF) {
      point = 0x10000 + ((point - 0xD800) << 10) + (view[++i] - 0xDC00);
    } else if (point >= 0xD800 && point <= 0xDFFF) {
      if (flags == WC_ERR_INVALID_CHARS) {
        s.lastError = ERROR_NO_UNICODE_TRANSLATION;
        return 0;
      }
      point = 0xFFFD;
    }
    AppendUtf8(utf8, point);
  }
  const int bytes = static_cast<int>(utf8.size());
  if (outputBytes == 0) {
    return bytes;  // the size it needs
  }
  if (bytes > outputBytes) {
    s.lastError = ERROR_INSUFFICIENT_BUFFER;
    return 0;
  }
  std::memcpy(output, utf8.data(), utf8.size());
  return bytes;
}

}  // namespace win32
