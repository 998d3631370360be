#pragma once
// Another program at work on the same machine while the tool runs. Just
// before a chosen seam call of the run it does one thing to the registry or
// to the files, and that call, like every later one, answers from the state
// it left, as a real registry or file system would: a key it deleted is
// missing to an open (ERROR_FILE_NOT_FOUND) and deleted to a handle already
// open on it (ERROR_KEY_DELETED), a key it made is found by a create, a file
// it holds open refuses what its share mode refuses.
//
// Its calls and handles are its own: they are not counted among the tool's
// calls (CallLog), open files (OpenFileCount) or failed opens, are never
// failed by injection, and leave the tool's last error as it was.
#include <functional>
#include <string_view>
#include <vector>

#include "win32/fake/fake_win32.h"

namespace win32::fake::other_program {

// Just before the given call of the run (1 = the first seam call, of any
// kind), it performs the action.
void ActBeforeCall(int callOfRun, std::function<void()> action);
// Just before the given occurrence (1 = the first) of a call.
void ActBefore(Call call, int occurrence, std::function<void()> action);
// How many of the actions set have been performed.
int ActionsPerformed();

// --- In the registry. An action on a key that is missing does nothing, as
// for a program that opens the key first; only MakeKey makes one.
// Deletes the key with its values and subkeys (RegDeleteTreeW).
void DeleteKey(HKEY root, std::u16string_view path);
// Makes the key and any parent missing (RegCreateKeyExW), then sets the values in it.
void MakeKey(HKEY root, std::u16string_view path, const std::vector<RegistryValue>& values = {});
void SetValueOf(HKEY root, std::u16string_view path, const RegistryValue& value);
void DeleteValueOf(HKEY root, std::u16string_view path, std::u16string_view name);
// Withdraws rights from the key's security: from then on an open that asks
// for one of them, a create below the key (KEY_CREATE_SUB_KEY) or a delete of
// it (DELETE) is refused; handles already open keep what they were granted.
void WithdrawRights(HKEY root, std::u16string_view path, REGSAM rights);

// --- In the files, through the same calls as the tool's, refused as they
// would be for any program.
// Creates the file if it is not there (CREATE_NEW), and closes it.
void MakeFile(std::u16string_view path);
// Opens the file for reading with the share mode, creating it if it is not
// there (OPEN_ALWAYS), and holds it open until the platform is reset.
void HoldOpen(std::u16string_view path, DWORD shareMode);
// Makes an existing file read-only (SetFileAttributesW).
void MakeReadOnly(std::u16string_view path);
void RemoveFile(std::u16string_view path);
// Deletes what it can of the folder's files, then the folder if nothing is
// left in it, as "rd /s" does.
void RemoveFolder(std::u16string_view path);

}  // namespace win32::fake::other_program
