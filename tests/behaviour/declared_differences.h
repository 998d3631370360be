#pragma once
// Where Windows and Wine answer differently, in one place. Each difference
// says what Windows does and the Microsoft documentation page it rests on;
// the model follows Windows, and a run under Wine expects what Wine does
// instead, so that a Wine that changes fails its case and is noticed. A case
// meets one through WindowsOrWine, which the run's summary lists.
#include "tests/behaviour/platform.h"

namespace behaviour {

struct Difference {
  const char* name;
  const char* windows;  // what Windows does
  const char* page;     // the Microsoft documentation page it rests on
  const char* wine;     // what Wine does instead
};

// Records that a case met the difference here.
void Met(const Difference& difference);

// What the platform answers: Windows' on Windows and on the model, Wine's under Wine.
template <typename T>
T WindowsOrWine(const Difference& difference, T windows, T wine) {
  if (!OnWine()) {
    return windows;
  }
  Met(difference);
  return wine;
}

inline constexpr Difference kValueOrder{
    "the order of a key's values",
    "values are not ordered and a new one may take any index; Windows gives them in the order they were first "
    "written, which the model keeps",
    "https://learn.microsoft.com/en-us/windows/win32/api/winreg/nf-winreg-regenumvaluew",
    "sorts them by name, without regard to letter case"};

inline constexpr Difference kKeySecurity{
    "a right that a registry key's security descriptor denies",
    "refused with ERROR_ACCESS_DENIED (5) wherever it is needed, against the descriptor as it stands: opening "
    "the key for it (DELETE alone included), deleting the key (RegDeleteKeyW opens it anew for DELETE, whatever "
    "the rights of the handle given: RegDeleteKeyExW's page), creating a subkey (KEY_CREATE_SUB_KEY, checked "
    "against the parent key's descriptor whatever the rights of the handle it is reached through); a handle "
    "opened before keeps the rights it was granted for its own reads and writes",
    "https://learn.microsoft.com/en-us/windows/win32/sysinfo/registry-key-security-and-access-rights",
    "refuses it when the key is opened for it, but grants DELETE asked alone, deletes the key, and creates "
    "the subkey"};

inline constexpr Difference kOverwriteHiddenOrSystem{
    "CREATE_ALWAYS over a hidden or system file",
    "fails with ERROR_ACCESS_DENIED (5) unless the attributes asked for include the file's HIDDEN and SYSTEM",
    "https://learn.microsoft.com/en-us/windows/win32/api/fileapi/nf-fileapi-createfilew", "overwrites the file"};

inline constexpr Difference kDeletePending{
    "a file deleted while another handle holds it open",
    "marked for deletion: it goes when its last handle closes, and until then CreateFileW of it fails with "
    "ERROR_ACCESS_DENIED (5), as does DeleteFileW; Windows 10 from version 1903 deletes on NTFS with POSIX "
    "semantics instead, and the name is gone at once",
    "https://learn.microsoft.com/en-us/windows/win32/api/fileapi/nf-fileapi-deletefilew",
    "removes it too when its last handle closes, but until then opens it as the share modes allow, and deletes it "
    "again"};

inline constexpr Difference kEncryptedAttribute{
    "FILE_ATTRIBUTE_ENCRYPTED on a new file",
    "the file is made encrypted where the file system encrypts (NTFS), and reads back as ENCRYPTED",
    "https://learn.microsoft.com/en-us/windows/win32/api/fileapi/nf-fileapi-createfilew",
    "makes the file and ignores the attribute"};

inline constexpr Difference kLongPath{
    "a path of MAX_PATH units or more",
    "a program that does not declare itself long-path aware cannot use it: CreateFileW and DeleteFileW fail "
    "with ERROR_PATH_NOT_FOUND (3)",
    "https://learn.microsoft.com/en-us/windows/win32/fileio/maximum-file-path-limitation", "takes paths of any length"};

inline constexpr Difference kUtf8Flags{
    "WideCharToMultiByte into UTF-8 with a flag other than WC_ERR_INVALID_CHARS",
    "fails with ERROR_INVALID_FLAGS (1004): for UTF-8, dwFlags must be 0 or WC_ERR_INVALID_CHARS",
    "https://learn.microsoft.com/en-us/windows/win32/api/stringapiset/nf-stringapiset-widechartomultibyte",
    "ignores the flag and converts"};

inline constexpr Difference kSystemTexts{
    "the system's texts for error codes",
    "the texts of Microsoft's System Error Codes pages (2: \"The system cannot find the file specified.\"), each "
    "ending with CR LF",
    "https://learn.microsoft.com/en-us/windows/win32/debug/system-error-codes",
    "gives short texts of its own (2: \"File not found.\"), also ending with CR LF"};

}  // namespace behaviour
