#include "dsn_restore/restore_dsn.h"

#include "dsn_restore/backup_document.h"
#include "dsn_restore/key_read_back.h"
#include "dsn_restore/long_member_name.h"
#include "dsn_restore/odbc_names.h"
#include "dsn_restore/show_system_error.h"
#include "dsn_restore/text_conversion.h"
#include "win32/unique_handles.h"

namespace dsn_restore {
namespace {

// Writes the members into the (new, empty) key; returns how many were
// written. A value the registry refuses is shown, in a box that names the DSN
// (DSNs share setting names such as Server); the others are still written.
std::size_t WriteMembers(HKEY key, const std::u16string& dsnName, const std::vector<BackupMember>& members) {
  std::size_t written = 0;
  for (const BackupMember& member : members) {
    // REG_SZ data counts its terminating NUL, as readers of DSN settings expect.
    const auto bytes = static_cast<DWORD>((member.value.size() + 1) * 2);
    const LSTATUS status = win32::RegSetValueExW(key, member.name.c_str(), REG_SZ,
                                                 reinterpret_cast<const BYTE*>(member.value.c_str()), bytes);
    if (status != ERROR_SUCCESS) {
      ShowSystemErrorWithNote(static_cast<DWORD>(status), u"Cannot set registry value " + member.name,
                              u"This setting of DSN \"" + dsnName + u"\" was not written.");
    } else {
      ++written;
    }
  }
  return written;
}

// The key is no longer there: another program deleted it (and may have made
// it again) after the tool opened or found it.
bool SaysTheKeyIsGone(LSTATUS status) { return status == ERROR_FILE_NOT_FOUND || status == ERROR_KEY_DELETED; }

// Where the settings stand when a box is their only sure copy.
std::u16string NoLongerInTheRegistry(const std::u16string& dsnName) {
  return u"The settings of DSN \"" + dsnName + u"\" are no longer in the registry.";
}
std::u16string PartlyInItsKey(const std::u16string& dsnName) {
  return u"The key of DSN \"" + dsnName + u"\" holds only part of its settings.";
}
std::u16string BesideAKeyMadeAgain(const std::u16string& dsnName) {
  return u"Another program made the key of DSN \"" + dsnName +
         u"\" again while it was being restored; that key was left as it is, and may not hold these settings.";
}
std::u16string ChangedWhileRestored(const std::u16string& dsnName) {
  return u"Another program changed the key of DSN \"" + dsnName +
         u"\" while it was being restored; that key was left as it is, and may not hold these settings.";
}
std::u16string DeletedOnceRestored(const std::u16string& dsnName) {
  return u"The settings of DSN \"" + dsnName +
         u"\" are no longer in the registry: another program deleted its key as soon as it was restored.";
}

// Whether the new key holds exactly what the tool wrote: another program may
// have written into it meanwhile, and the DSN then counts as restored only if
// nothing it did stands beside the backup's members. Shows the backup when the
// key differs or is gone. A read the registry refuses tells nothing against
// the writes, which it accepted.
bool HoldsWhatWasWritten(HKEY key, const std::u16string& dsnName, const std::vector<BackupMember>& members,
                         const std::u16string& backupText) {
  const std::u16string caption = u"Cannot restore DSN " + dsnName;
  switch (ReadBackKey(key, members)) {
    case ReadBack::kChanged:
      ShowFailureWithBackup(caption, ChangedWhileRestored(dsnName), backupText);
      return false;
    case ReadBack::kGone:
      ShowSystemErrorWithBackup(ERROR_KEY_DELETED, caption, DeletedOnceRestored(dsnName), backupText);
      return false;
    case ReadBack::kAsWritten:
    case ReadBack::kUnread:
      break;
  }
  return true;
}

// After a value was refused, the new key gets the backup back, so that the
// settings stay in the registry and a later run retries. Shows the backup
// itself when that is refused too, saying what the key still holds.
void KeepBackup(HKEY key, const std::u16string& dsnName, const std::u16string& backupText, bool someWritten) {
  // With its terminating NUL, as every REG_SZ the tool writes.
  const auto bytes = static_cast<DWORD>((backupText.size() + 1) * 2);
  const LSTATUS status = win32::RegSetValueExW(key, kBackupValueName.data(), REG_SZ,
                                               reinterpret_cast<const BYTE*>(backupText.c_str()), bytes);
  if (status != ERROR_SUCCESS) {
    const bool partly = someWritten && !SaysTheKeyIsGone(status);
    ShowSystemErrorWithBackup(static_cast<DWORD>(status),
                              u"Cannot set registry value " + std::u16string(kBackupValueName),
                              partly ? PartlyInItsKey(dsnName) : NoLongerInTheRegistry(dsnName), backupText);
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
// missing). Shows why and returns false when it does not: the key stays, or
// another program deleted it after its backup was read, and the box is then
// the only copy of the settings.
bool RemoveOldKey(HKEY root, const std::u16string& dsnName, const std::u16string& dsnKeyPath,
                  const std::u16string& backupText) {
  const std::u16string caption = u"Cannot delete registry key " + dsnKeyPath;
  win32::UniqueHkey oldKey;
  const LSTATUS openStatus = win32::RegOpenKeyExW(root, dsnKeyPath.c_str(), 0, KEY_ALL_ACCESS, oldKey.put());
  LSTATUS status = openStatus;
  if (openStatus == ERROR_SUCCESS) {
    status = win32::RegDeleteKeyW(oldKey.get(), u"");
  } else if (openStatus == ERROR_PATH_NOT_FOUND) {
    status = ERROR_SUCCESS;
  }
  if (SaysTheKeyIsGone(status)) {
    ShowSystemErrorWithBackup(static_cast<DWORD>(status), caption, NoLongerInTheRegistry(dsnName), backupText);
    return false;
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
  if (!RemoveOldKey(root, dsnName, dsnKeyPath, backupText)) {
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
  const std::size_t written = WriteMembers(newKey.get(), dsnName, backup->members);
  if (written != backup->members.size()) {
    KeepBackup(newKey.get(), dsnName, backupText, written > 0);
    return false;
  }
  return HoldsWhatWasWritten(newKey.get(), dsnName, backup->members, backupText);
}

}  // namespace dsn_restore
