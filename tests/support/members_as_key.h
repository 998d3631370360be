#pragma once
// What a DSN key rebuilt from a backup must hold, as the registry stores it:
// each member a REG_SZ value with its NUL, a later member of the same name
// (in any letter case) replacing the data and keeping the first name.
#include <algorithm>
#include <vector>

#include "dsn_restore/backup_document.h"
#include "win32/fake/fake_win32.h"

inline std::vector<win32::fake::RegistryValue> MembersAsKey(const dsn_restore::BackupMembers& members) {
  std::vector<win32::fake::RegistryValue> values;
  for (const auto& member : members.members) {
    auto same = std::find_if(values.begin(), values.end(),
                             [&](const auto& v) { return win32::fake::SameName(v.name, member.name); });
    if (same != values.end()) {
      same->data = win32::fake::TextBytes(member.value);
    } else {
      values.push_back({member.name, REG_SZ, win32::fake::TextBytes(member.value)});
    }
  }
  return values;
}
