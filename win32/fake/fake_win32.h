#pragma once
// Control of the in-memory Win32 model that the Linux build runs the tools on.
// Tests set the platform up through these functions, run the logic through the
// seam (win32/api.h), then read back what the platform holds and what it showed.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "win32/fake/seam_calls.h"
#include "win32/platform_types.h"

namespace win32::fake {

struct RegistryValue {
  std::u16string name;
  DWORD type = REG_SZ;
  std::vector<BYTE> data;
  bool operator==(const RegistryValue&) const = default;
};

struct ShownBox {
  std::u16string text;
  std::u16string caption;
  UINT type = 0;
  bool operator==(const ShownBox&) const = default;
};

// Back to a clean platform: empty HKEY_CURRENT_USER and HKEY_LOCAL_MACHINE, no
// open handle, no box shown, no scripted answer, no injected failure.
void Reset();

// --- Registry, by path below a root ------------------------------------------
void CreateKey(HKEY root, std::u16string_view path);
// Sets a value with raw data, creating the key (and its parents) when missing.
void SetValue(HKEY root, std::u16string_view path, const RegistryValue& value);
// A REG_SZ value stored as Windows programs usually store it: the text and its NUL.
void SetText(HKEY root, std::u16string_view path, std::u16string_view name, std::u16string_view text);
bool KeyExists(HKEY root, std::u16string_view path);
// The key's values in enumeration order; nothing when the key is missing.
std::optional<std::vector<RegistryValue>> KeyValues(HKEY root, std::u16string_view path);
// Opening the key (or creating it anew) with any of these rights, or deleting
// it when DELETE is among them, fails with ERROR_ACCESS_DENIED, as a key whose
// security descriptor withholds them does. Handles already open keep the
// rights they were granted.
void DenyAccess(HKEY root, std::u16string_view path, REGSAM rights);
// Deletes the key with its values and subkeys, as RegDeleteTreeW does; every
// handle open on one of them then answers ERROR_KEY_DELETED. Nothing when the
// key is missing.
void DeleteKeyTree(HKEY root, std::u16string_view path);
// Deletes a value of the key; nothing when the key or the value is missing.
void DeleteValue(HKEY root, std::u16string_view path, std::u16string_view name);
int OpenKeyCount();

// A value the program read with RegEnumValueW: at which call of the run, from
// which key (the path as the key's names are stored), and what it got.
struct ValueRead {
  int call = 0;
  HKEY root = nullptr;
  std::u16string path;
  RegistryValue value;
};
const std::vector<ValueRead>& ValuesRead();

// Whether two registry names are the same name to Windows (letter case aside).
bool SameName(std::u16string_view a, std::u16string_view b);

// REG_SZ data as Windows stores it: UTF-16 little-endian, NUL included or not.
std::vector<BYTE> TextBytes(std::u16string_view text, bool withNul = true);

// --- Message boxes ------------------------------------------------------------
// Answers for the next boxes, in order. A box with no scripted answer is
// answered with its default (first) button, as the Enter key would.
void AnswerNextBox(int answer);
const std::vector<ShownBox>& ShownBoxes();
// Every box the program asked for, the ones that could not appear included.
const std::vector<ShownBox>& AttemptedBoxes();

// --- System messages and the local heap -----------------------------------------
// Replaces (or, with nothing, removes) the system's text for a code.
void SetSystemMessage(DWORD code, std::optional<std::u16string> text);
// The system's text for a code, as FormatMessageW gives it (trailing CR LF included).
std::u16string SystemMessage(DWORD code);
int LocalAllocationCount();

// --- Files --------------------------------------------------------------------------
// Paths compare without regard to letter case; runs of backslashes count as
// one. The current directory "." exists from the start. A folder or file is
// added with every folder above it, as a real file system holds them.
void AddFolder(std::u16string_view path);
bool FolderExists(std::u16string_view path);
void AddFile(std::u16string_view path, DWORD attributes = FILE_ATTRIBUTE_NORMAL);
bool FileExists(std::u16string_view path);
// The user or another program replaces a file's attributes (attrib +h, say,
// or SetFileAttributesW); nothing when the file is missing.
void ChangeFileAttributes(std::u16string_view path, DWORD attributes);
// A file's attributes as GetFileAttributesW gives them, or nothing when missing.
std::optional<DWORD> FileAttributes(std::u16string_view path);
// Every file, by the path it was created with; a file deleted while a handle
// holds it open is there until that handle closes.
std::vector<std::u16string> FilePaths();
// Every attempt to create or open a file in the folder fails with the code, as
// in a folder whose permissions refuse the caller.
void FailFolder(std::u16string_view folder, DWORD code);
// Creating a file with this attribute fails with the code, as ENCRYPTED does
// where the file system has no encryption.
void FailAttribute(DWORD attribute, DWORD code);
// The files directly in a folder, by the path they were created with.
std::vector<std::u16string> FilesIn(std::u16string_view folder);
// Removes a folder that holds no file (RemoveDirectoryW); false, and nothing
// removed, while a file is still in it.
bool RemoveEmptyFolder(std::u16string_view path);
// The program's own open files (another program's are not counted).
int OpenFileCount();
// How many of the program's CreateFileW calls failed.
int FailedFileOpenCount();

// --- Shell folder lookup and the UTF-8 probe ---------------------------------------------
// What SHGetFolderPathW gives for the local application-data folder.
void SetLocalAppData(HRESULT result, std::u16string_view path);
// WideCharToMultiByte into UTF-8 fails (returns 0).
void FailUtf8Conversion();

// --- Standard streams ---------------------------------------------------------------
// Everything written to standard output, as wide text.
const std::u16string& StandardOutput();
int StandardOutputFlushes();
// The one character standard input holds, or nothing: at its end.
void SetStandardInput(std::optional<char> character);
int StandardInputReads();

// --- Calls and injected failures ------------------------------------------------
// Every seam call is counted (Call lists them). GetLastError and the output
// stream have no failure to report: an injected one never reaches them.
int CallCount(Call call);
int TotalCallCount();
// Every seam call of the run, in order.
const std::vector<Call>& CallLog();
// The given occurrence (1 = the first) of a call fails with the code, or every
// occurrence when it is 0. A failing call does nothing but report the code.
void FailCall(Call call, DWORD code, int occurrence = 0);
// The given call of the run (1 = the first seam call, of any kind) fails.
void FailNthCall(int index, DWORD code);
// A cause that persists (a full disk, a right withdrawn): the given occurrence
// of a call and every later one fail with the code.
void FailCallFrom(Call call, DWORD code, int firstOccurrence);
// How many calls have reported an injected failure.
int InjectedFailureCount();

}  // namespace win32::fake
