#pragma once
// The file steps the cases are made of: CreateFileW as the check calls it,
// and DeleteFileW, in the case's scratch folder.
#include <string>
#include <string_view>

#include "tests/behaviour/platform.h"
#include "win32/api.h"

namespace behaviour {

inline std::u16string InScratch(std::u16string_view name) {
  return std::u16string(kScratchFolder) + u"\\" + std::u16string(name);
}

// A handle from CreateFileW, closed when it goes.
class File {
 public:
  File(const std::u16string& path, DWORD access, DWORD share, DWORD disposition, DWORD attributes = 0)
      : handle_(win32::CreateFileW(path.c_str(), access, share, disposition, attributes)),
        error_(win32::GetLastError()) {}
  File(const File&) = delete;
  File& operator=(const File&) = delete;
  ~File() {
    if (opened()) {
      win32::CloseHandle(handle_);
    }
  }
  bool opened() const { return handle_ != INVALID_HANDLE_VALUE; }
  // The last error right after the call: its failure, or what a success said.
  DWORD error() const { return error_; }
  // 0 when it opened, else the failure's code.
  DWORD failure() const { return opened() ? 0 : error_; }

 private:
  HANDLE handle_;
  DWORD error_;
};

// How the check writes and reads.
struct Pass {
  const char* name;
  DWORD access;
  DWORD share;
  DWORD disposition;
};
constexpr Pass kWrite2{"write, share 2", GENERIC_WRITE, FILE_SHARE_WRITE, CREATE_ALWAYS};
constexpr Pass kWrite0{"write, share 0", GENERIC_WRITE, 0, CREATE_ALWAYS};
constexpr Pass kRead2{"read, share 2", GENERIC_READ, FILE_SHARE_WRITE, OPEN_EXISTING};
constexpr Pass kRead0{"read, share 0", GENERIC_READ, 0, OPEN_EXISTING};

inline DWORD Attempt(const std::u16string& path, const Pass& pass, DWORD attributes = FILE_ATTRIBUTE_NORMAL) {
  return File(path, pass.access, pass.share, pass.disposition, attributes).failure();
}

// 0 when DeleteFileW deleted the file, else its code.
inline DWORD Delete(const std::u16string& path) { return win32::DeleteFileW(path.c_str()) ? 0 : win32::GetLastError(); }

}  // namespace behaviour
