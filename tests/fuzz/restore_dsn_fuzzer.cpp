// libFuzzer target: restores one DSN from arbitrary backup text (the input's
// bytes as little-endian UTF-16 units) on the fake registry, and checks that
// the DSN's settings survive whatever happens: its key rebuilt from exactly
// its document's members, or its key still holding the backup, or the backup
// text shown in a box; and that nothing is left open.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "dsn_restore/backup_document.h"
#include "dsn_restore/restore_dsn.h"
#include "support/members_as_key.h"
#include "win32/fake/fake_win32.h"

namespace {

using namespace win32::fake;

const std::u16string kTree = u"SOFTWARE\\ODBC\\ODBC.ini";
const std::u16string kKey = kTree + u"\\Sales";

void Require(bool holds, const char* invariant) {
  if (!holds) {
    std::fprintf(stderr, "invariant broken: %s\n", invariant);
    std::abort();
  }
}

bool HoldsBackup(const std::optional<std::vector<RegistryValue>>& key, const std::u16string& backup) {
  const RegistryValue expected{u"Backup", REG_SZ, TextBytes(backup, true)};
  return key && std::find(key->begin(), key->end(), expected) != key->end();
}

bool BackupShown(const std::u16string& backup) {
  return std::any_of(ShownBoxes().begin(), ShownBoxes().end(),
                     [&](const ShownBox& box) { return box.text.ends_with(backup); });
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::u16string backup;
  backup.reserve(size / 2);
  for (std::size_t i = 0; i + 1 < size; i += 2) {
    backup.push_back(static_cast<char16_t>(data[i] | (data[i + 1] << 8)));
  }
  Reset();
  SetText(HKEY_CURRENT_USER, kKey, u"Server", u"old");
  SetText(HKEY_CURRENT_USER, kKey, u"Backup", backup);

  const bool restored = dsn_restore::RestoreDsn(HKEY_CURRENT_USER, u"Sales", kTree, backup);

  const auto after = KeyValues(HKEY_CURRENT_USER, kKey);
  Require(OpenKeyCount() == 0, "no registry key left open");
  Require(LocalAllocationCount() == 0, "no system text left allocated");
  if (restored) {
    // The oracle reads the document again only where it is needed.
    const auto document = dsn_restore::ReadBackupDocument(backup);
    const auto* members = std::get_if<dsn_restore::BackupMembers>(&document);
    Require(members != nullptr && after == MembersAsKey(*members), "a restored key holds exactly its members");
    Require(ShownBoxes().empty(), "a restore that worked shows nothing");
  } else {
    Require(HoldsBackup(after, backup) || BackupShown(backup),
            "a failed restore keeps the backup in the key, or shows it");
    if (after && after->size() == 2 && (*after)[0].name == u"Server") {
      Require(ShownBoxes().size() <= 1, "a backup refused whole is shown at most once");
    }
  }
  return 0;
}
