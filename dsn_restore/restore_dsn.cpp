#include "dsn_restore/restore_dsn.h"

#include <algorithm>

#include "dsn_restore/backup_document.h"
#include "dsn_restore/odbc_names.h"
#include "dsn_restore/show_system_error.h"
#include "dsn_restore/text_conversion.h"
#include "win32/unique_handles.h"

namespace dsn_restore {
namespace {

// Writes the members into the (new, empty) key. A value the registry refuses
// is shown; the others are still written.
bool WriteMembers(HKEY key, const std::vector<BackupMember>& members) {
  bool allWritten = true;
  for (const BackupMember& member : members) {
    // REG_SZ data counts its terminating NUL, as readers of DSN settings expect.
    const auto bytes = static_cast<DWORD>((member.value.size() + 1) * 2);
    const LSTATUS status = win32::RegSetValueExW(key, member.name.c_str(), REG_SZ,
                                                 reinterpret_cast<const BYTE*>(member.value.c_str()), bytes);
    if (status != ERROR_SUCCESS) {
      ShowSystemError(static_cast<DWORD>(status), u"Cannot set registry value " + member.name);
      allWritten = false;
    }
  }
  return allWritten;
}

bool IsHighSurrogate(char16_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
bool IsLowSurrogate(char16_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

// A name as a box can show it: a long one cut after at most 40 UTF-16 units,
// never between the halves of a surrogate pair, with a mark that it was cut.
std::u16string ShortenedName(const std::u16string& name) {
  constexpr std::size_t kShown = 40;
  if (name.size() <= kShown) {
    return name;
  }
  const bool splitsAPair = IsHighSurrogate(name[kShown - 1]) && IsLowSurrogate(name[kShown]);
  return name.substr(0, splitsAPair ? kShown - 1 : kShown) + u"\u2026";
}

// How long a name is against the registry's limit, in a measure the reader
// can check: characters when every one is ASCII (one UTF-16 unit each), else
// UTF-16 units, the registry's own measure (an emoji takes two).
std::u16string NameLengthAgainstTheLimit(const std::u16string& name) {
  const std::u16string units = DecimalText(static_cast<long long>(name.size()));
  const std::u16string limit = DecimalText(static_cast<long long>(kMaxValueNameUnits));
  if (std::all_of(name.begin(), name.end(), [](char16_t unit) { return unit < 0x80; })) {
    return u"has " + units + u" characters, and the registry takes value names of at most " + limit;
  }
  return u"has " + units + u" UTF-16 units, and the registry takes value names of at most " + limit +
         u" UTF-16 units";
}

// Where the settings stand when a box is their only sure copy.
std::u16string NoLongerInTheRegistry(const std::u16string& dsnName) {
  return u"The settings of DSN \"" + dsnName + u"\" are no longer in the registry.";
}
std::u16string BesideAKeyMadeAgain(const std::u16string& dsnName) {
  return u"Another program made the key of DSN \"" + dsnName +
         u"\" again while it was being restored; that key was left as it is, and may not hold these settings.";
}

// After a value was refused, the new key gets the backup back, so that the
// settings stay in the registry and a later run retries. Shows the backup
// itself when that is refused too.
void KeepBackup(HKEY key, const std::u16string& dsnName, const std::u16string& backupText) {
  // With its terminating NUL, as every REG_SZ the tool writes.
  const auto bytes = static_cast<DWORD>((backupText.size() + 1) * 2);
  const LSTATUS status = win32::RegSetValueExW(key, kBackupValueName.data(), REG_SZ,
                                               reinterpret_cast<const BYTE*>(backupText.c_str()), bytes);
  if (status != ERROR_SUCCESS) {
    ShowSystemErrorWithBackup(static_cast<DWORD>(status),
                              u"Cannot set registry value " + std::u16string(kBackupValueName),
                              NoLongerInTheRegistry(dsnName), backupText);
  }
}

// The document's members, or nothing after showing why it cannot be restored
// (a document without members is refused without a box).
const BackupMembers* RestorableMembers(const std::u16string& dsnName, const BackupDocument& document) {
  if (const auto* unreadable = std::get_if<UnreadableBackup>(&document)) {
    ShowFailure(unreadable->readerMessage,
                u"The backup of DSN \"" + dsnName + u"\" could not be read: the JSON reader stopped at byte " +
                    DecimalText(static_cast<long long>(unreadable->bytePosition)) +
                    u". The DSN was left as it was.");
  } else if (const auto* member = std::get_if<NonStringMember>(&document)) {
    ShowFailure(u"Cannot restore DSN " + dsnName,
                u"The backup of DSN \"" + dsnName + u"\" was not restored: its member \"" + member->name +
                    u"\" is not a string. The DSN was left as it was.");
  } else if (const auto* tooLong = std::get_if<MemberNameTooLong>(&document)) {
    ShowFailure(u"Cannot restore DSN " + dsnName,
                u"The backup of DSN \"" + dsnName + u"\" was not restored: the name of its member \"" +
                    ShortenedName(tooLong->name) + u"\" " + NameLengthAgainstTheLimit(tooLong->name) +
                    u". The DSN was left as it was.");
  }
  return std::get_if<BackupMembers>(&document);
}

// Deletes the DSN's old key, or finds it absent (the open reports the path
// missing). Shows why and returns false when the key stays.
bool RemoveOldKey(HKEY root, const std::u16string& dsnKeyPath) {
  const std::u16string caption = u"Cannot delete registry key " + dsnKeyPath;
  win32::UniqueHkey oldKey;
  const LSTATUS openStatus = win32::RegOpenKeyExW(root, dsnKeyPath.c_str(), 0, KEY_ALL_ACCESS, oldKey.put());
  LSTATUS status = openStatus;
  if (openStatus == ERROR_SUCCESS) {
    status = win32::RegDeleteKeyW(oldKey.get(), u"");
  } else if (openStatus == ERROR_PATH_NOT_FOUND) {
    status = ERROR_SUCCESS;
  }
  if (status != ERROR_SUCCESS) {
    ShowSystemError(static_cast<DWORD>(status), caption);
    return false;
  }
  return true;
}

}  // namespace

bool RestoreDsn(HKEY root, std::u16string dsnName, std::u16string treePath, std::u16string backupText) {
  const BackupDocument document = ReadBackupDocument(backupText);
  const BackupMembers* backup = RestorableMembers(dsnName, document);
  if (backup == nullptr) {
    return false;
  }

  // The tree key is where the new DSN key is created: without it, deleting
  // the old key would lose the DSN.
  const std::u16string createCaption = u"Cannot create registry key " + dsnName;
  win32::UniqueHkey tree;
  LSTATUS status = win32::RegOpenKeyExW(root, treePath.c_str(), 0, KEY_ALL_ACCESS, tree.put());
  if (status != ERROR_SUCCESS) {
    ShowSystemError(static_cast<DWORD>(status), createCaption);
    return false;
  }

  const std::u16string dsnKeyPath = treePath + u"\\" + dsnName;
  if (!RemoveOldKey(root, dsnKeyPath)) {
    return false;
  }

  win32::UniqueHkey newKey;
  DWORD disposition = 0;
  status = win32::RegCreateKeyExW(tree.get(), dsnName.c_str(), REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                                  newKey.put(), &disposition);
  if (status != ERROR_SUCCESS) {
    // The old key is gone: the box is now the only copy of the settings.
    ShowSystemErrorWithBackup(static_cast<DWORD>(status), createCaption, NoLongerInTheRegistry(dsnName), backupText);
    return false;
  }
  if (disposition == REG_OPENED_EXISTING_KEY) {
    // A key was there although the old one was deleted, or reported missing:
    // another program made it meanwhile. Its values are its own and stay as
    // they are (writing would mix them with the backup's), so whether it holds
    // these settings is unknown, and the box shows them.
    ShowSystemErrorWithBackup(ERROR_ALREADY_EXISTS, createCaption, BesideAKeyMadeAgain(dsnName), backupText);
    return false;
  }
  if (!WriteMembers(newKey.get(), backup->members)) {
    KeepBackup(newKey.get(), dsnName, backupText);
    return false;
  }
  return true;
}

}  // namespace dsn_restore
