// libFuzzer target: restores one DSN from arbitrary backup text (the input's
// bytes as little-endian UTF-16 units) on the fake registry, and checks that
// the DSN is either rebuilt from exactly its document's members, or left as it
// was, or that its loss was shown; and that nothing is left open.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstdio>

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

bool BoxStartingWith(const std::u16string& caption) {
  return std::any_of(ShownBoxes().begin(), ShownBoxes().end(),
                     [&](const ShownBox& box) { return box.caption.starts_with(caption); });
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::u16string backup;
  for (std::size_t i = 0; i + 1 < size; i += 2) {
    backup.push_back(static_cast<char16_t>(data[i] | (data[i + 1] << 8)));
  }
  Reset();
  SetText(HKEY_CURRENT_USER, kKey, u"Server", u"old");
  SetText(HKEY_CURRENT_USER, kKey, u"Backup", backup);
  const auto before = KeyValues(HKEY_CURRENT_USER, kKey);

  const bool restored = dsn_restore::RestoreDsn(HKEY_CURRENT_USER, u"Sales", kTree, backup);

  const auto after = KeyValues(HKEY_CURRENT_USER, kKey);
  const auto document = dsn_restore::ReadBackupDocument(backup);
  const auto* members = std::get_if<dsn_restore::BackupMembers>(&document);
  Require(OpenKeyCount() == 0, "no registry key left open");
  Require(LocalAllocationCount() == 0, "no system text left allocated");
  if (restored) {
    Require(members != nullptr && after == MembersAsKey(*members), "a restored key holds exactly its members");
    Require(ShownBoxes().empty(), "a restore that worked shows nothing");
  } else if (after != before) {
    // Only a refused value may change the key without a restore, and it is shown.
    Require(members != nullptr && after.has_value() && BoxStartingWith(u"Cannot set registry value "),
            "a failed restore leaves the key as it was, or shows its loss");
  } else {
    Require(ShownBoxes().size() <= 1, "a refused backup is shown at most once");
  }
  return 0;
}
