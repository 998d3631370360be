#pragma once
// Where a backed-up DSN's settings are after a run of dsn-restore, told from
// its key and the boxes shown. Each form is exact: the key holds exactly what
// that form allows, and a box counts only if it names the DSN and shows its
// whole backup text. An outcome that matches no form has lost settings
// unshown; one that matches two is an ambiguous set-up.
//
// The boxes of "Cannot set registry value <name>" name a member in their
// caption and the DSN in their text. The DSNs of one run must not name a
// member Backup, nor share a member name (DistinctMemberNames checks it), so
// that a box is never taken for another member's.
#include <optional>
#include <string>
#include <vector>

#include "dsn_restore/backup_document.h"
#include "support/members_as_key.h"
#include "win32/fake/fake_win32.h"

namespace dsn_outcome {

using Key = std::optional<std::vector<win32::fake::RegistryValue>>;

enum class Form {
  kAsBefore,                    // 1. exactly as before: a failure before the first change
  kRebuilt,                     // 2. rebuilt exactly from its backup
  kValueRefusedBackupKept,      // 3. values refused, each box shown; the members written and Backup
  kValueRefusedBackupShown,     // 3'. Backup refused too: the members written; the backup in Backup's box
  kCreateFailedBackupShown,     // 4. the create failed after the delete: the key gone, the backup in its box
};
inline constexpr int kFormCount = 5;

inline const char* FormName(Form form) {
  switch (form) {
    case Form::kAsBefore:
      return "1 exactly as before";
    case Form::kRebuilt:
      return "2 rebuilt exactly from its backup";
    case Form::kValueRefusedBackupKept:
      return "3 a value refused and shown, the key holding the members written and its Backup";
    case Form::kValueRefusedBackupShown:
      return "3' a value refused and shown, Backup refused too, the key holding the members written, "
             "the backup text in Backup's box, which says so";
    case Form::kCreateFailedBackupShown:
      return "4 the create failed after the delete, the key gone, the backup text in that DSN's box";
  }
  return "?";
}

struct BackedUpDsn {
  std::u16string name;
  std::u16string backup;  // the text of its Backup value, its own
  Key before;             // its key before the run
  // What another program made the key hold while it was restored, if it did.
  Key remadeMeanwhile;
};

namespace detail {

inline win32::fake::RegistryValue BackupValue(const std::u16string& backup) {
  // As the restore writes it back: the original text with its NUL.
  return {u"Backup", REG_SZ, win32::fake::TextBytes(backup)};
}

// A box that shows this DSN's whole backup text, under the caption given.
inline bool ShowsTheBackup(const win32::fake::ShownBox& box, const std::u16string& caption, const BackedUpDsn& dsn) {
  return box.caption == caption && box.text.find(u"DSN \"" + dsn.name + u"\"") != std::u16string::npos &&
         box.text.ends_with(u"\r\n\r\n" + dsn.backup);
}

// The box under that caption that shows the DSN's backup says where the
// settings are: part of them in the key, or none of them in the registry.
inline bool SaysWhereTheSettingsAre(const std::vector<win32::fake::ShownBox>& shown, const std::u16string& caption,
                                    const BackedUpDsn& dsn, bool keyHoldsSome) {
  const std::u16string where = keyHoldsSome
                                   ? u"The key of DSN \"" + dsn.name + u"\" holds only part of its settings."
                                   : u"The settings of DSN \"" + dsn.name + u"\" are no longer in the registry.";
  for (const auto& box : shown) {
    if (ShowsTheBackup(box, caption, dsn)) {
      return box.text.find(where) != std::u16string::npos;
    }
  }
  return false;
}

inline int CountShowing(const std::vector<win32::fake::ShownBox>& shown, const std::u16string& caption,
                        const BackedUpDsn& dsn) {
  int count = 0;
  for (const auto& box : shown) {
    count += ShowsTheBackup(box, caption, dsn) ? 1 : 0;
  }
  return count;
}

// Every way of matching the refused-value boxes, in the order shown, to the
// members of those names in document order; each gives the members written.
inline void WrittenCandidates(const std::vector<dsn_restore::BackupMember>& members,
                              const std::vector<std::u16string>& refusedNames, std::size_t box, std::size_t from,
                              std::vector<bool>& refused, std::vector<dsn_restore::BackupMembers>& out) {
  if (box == refusedNames.size()) {
    dsn_restore::BackupMembers written;
    for (std::size_t i = 0; i < members.size(); ++i) {
      if (!refused[i]) {
        written.members.push_back(members[i]);
      }
    }
    out.push_back(std::move(written));
    return;
  }
  for (std::size_t i = from; i < members.size(); ++i) {
    if (members[i].name == refusedNames[box]) {
      refused[i] = true;
      WrittenCandidates(members, refusedNames, box + 1, i + 1, refused, out);
      refused[i] = false;
    }
  }
}

}  // namespace detail

// Every form the outcome matches: exactly one for an outcome that keeps the
// settings, none for a loss.
inline std::vector<Form> FormsOf(const BackedUpDsn& dsn, const Key& now,
                                 const std::vector<win32::fake::ShownBox>& shown) {
  std::vector<Form> forms;
  if (now == dsn.before) {
    forms.push_back(Form::kAsBefore);
  }
  const dsn_restore::BackupDocument document = dsn_restore::ReadBackupDocument(dsn.backup);
  const auto* members = std::get_if<dsn_restore::BackupMembers>(&document);
  if (members == nullptr) {
    return forms;  // a backup that cannot be restored may only leave the key as it was
  }
  if (now == MembersAsKey(*members)) {
    forms.push_back(Form::kRebuilt);
  }

  std::vector<std::u16string> refusedNames;
  for (const auto& box : shown) {
    if (box.text.find(u"DSN \"" + dsn.name + u"\"") == std::u16string::npos) {
      continue;  // another DSN's
    }
    for (const auto& member : members->members) {
      if (box.caption == u"Cannot set registry value " + member.name) {
        refusedNames.push_back(member.name);
        break;
      }
    }
  }
  const int backupShown = detail::CountShowing(shown, u"Cannot set registry value Backup", dsn);
  if (now && !refusedNames.empty()) {
    std::vector<dsn_restore::BackupMembers> candidates;
    std::vector<bool> refused(members->members.size());
    detail::WrittenCandidates(members->members, refusedNames, 0, 0, refused, candidates);
    bool kept = false;
    bool shownInstead = false;
    for (const auto& written : candidates) {
      auto keyWithBackup = MembersAsKey(written);
      keyWithBackup.push_back(detail::BackupValue(dsn.backup));
      kept = kept || (*now == keyWithBackup && backupShown == 0);
      shownInstead = shownInstead || (*now == MembersAsKey(written) && backupShown == 1 &&
                                      detail::SaysWhereTheSettingsAre(shown, u"Cannot set registry value Backup", dsn,
                                                                      !written.members.empty()));
    }
    if (kept) {
      forms.push_back(Form::kValueRefusedBackupKept);
    }
    if (shownInstead) {
      forms.push_back(Form::kValueRefusedBackupShown);
    }
  }

  if (now == dsn.remadeMeanwhile &&
      detail::CountShowing(shown, u"Cannot create registry key " + dsn.name, dsn) == 1) {
    forms.push_back(Form::kCreateFailedBackupShown);
  }
  return forms;
}

// The condition FormsOf relies on for a run's DSNs: no member name shared by
// two of them (in any letter case), and none named Backup.
inline bool DistinctMemberNames(const std::vector<BackedUpDsn>& dsns) {
  std::vector<std::u16string> seen;
  for (const auto& dsn : dsns) {
    const auto document = dsn_restore::ReadBackupDocument(dsn.backup);
    const auto* members = std::get_if<dsn_restore::BackupMembers>(&document);
    if (members == nullptr) {
      continue;
    }
    std::vector<std::u16string> own;
    for (const auto& member : members->members) {
      if (win32::fake::SameName(member.name, u"Backup")) {
        return false;
      }
      for (const auto& other : seen) {
        if (win32::fake::SameName(member.name, other)) {
          return false;
        }
      }
      own.push_back(member.name);
    }
    seen.insert(seen.end(), own.begin(), own.end());
  }
  return true;
}

}  // namespace dsn_outcome
