#pragma once
// The fuzz target's check of one input, apart from libFuzzer so that a test
// can show it failing. Without injected faults every failure of a restore
// comes before the delete, so a failed restore must leave the key exactly as
// it was, and show its failure in one box at most (counted, not guessed from
// the key); a restore that worked must leave exactly the document's members
// and show nothing; and nothing may be left open.
#include <string>

#include "dsn_restore/backup_document.h"
#include "dsn_restore/restore_dsn.h"
#include "support/members_as_key.h"
#include "win32/fake/fake_win32.h"

namespace restore_dsn_oracle {

inline const std::u16string kTree = u"SOFTWARE\\ODBC\\ODBC.ini";
inline const std::u16string kKey = kTree + u"\\Sales";

using Restore = bool (*)(HKEY root, std::u16string dsnName, std::u16string treePath, std::u16string backupText);

// The input's bytes as little-endian UTF-16 units (an odd last byte dropped).
inline std::u16string BackupFromBytes(const unsigned char* data, std::size_t size) {
  std::u16string backup;
  backup.reserve(size / 2);
  for (std::size_t i = 0; i + 1 < size; i += 2) {
    backup.push_back(static_cast<char16_t>(data[i] | (data[i + 1] << 8)));
  }
  return backup;
}

// Restores DSN Sales, whose key holds an old value and the backup, from the
// backup text with `restore`, after `plant` (a fault planted to show the
// check failing). Returns the first invariant broken, or nullptr.
inline const char* BrokenInvariant(const std::u16string& backup, Restore restore = dsn_restore::RestoreDsn,
                                   void (*plant)() = nullptr) {
  using namespace win32::fake;
  Reset();
  SetText(HKEY_CURRENT_USER, kKey, u"Server", u"old");
  SetText(HKEY_CURRENT_USER, kKey, u"Backup", backup);
  const auto before = KeyValues(HKEY_CURRENT_USER, kKey);
  if (plant != nullptr) {
    plant();
  }

  const bool restored = restore(HKEY_CURRENT_USER, u"Sales", kTree, backup);

  const auto after = KeyValues(HKEY_CURRENT_USER, kKey);
  if (OpenKeyCount() != 0) {
    return "no registry key left open";
  }
  if (LocalAllocationCount() != 0) {
    return "no system text left allocated";
  }
  if (restored) {
    // The document is read again only where the check needs it.
    const auto document = dsn_restore::ReadBackupDocument(backup);
    const auto* members = std::get_if<dsn_restore::BackupMembers>(&document);
    if (members == nullptr || after != MembersAsKey(*members)) {
      return "a restored key holds exactly its members";
    }
    if (!ShownBoxes().empty()) {
      return "a restore that worked shows nothing";
    }
  } else {
    if (after != before) {
      return "a failed restore leaves the key exactly as it was";
    }
    if (ShownBoxes().size() > 1) {
      return "a failed restore shows its failure in one box at most";
    }
  }
  return nullptr;
}

}  // namespace restore_dsn_oracle
