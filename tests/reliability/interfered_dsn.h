#pragma once
// Where a DSN's settings are after a run of dsn-restore during which another
// program acted on the DSN once (on its key, its entry under "ODBC Data
// Sources", or its tree key), told from its key, the boxes shown, and what
// the other program found and left. Each form is exact; an outcome that
// matches none has lost settings unshown:
//
// - as the other program left it: the tool changed nothing (and found the
//   key it had read there: a key the other program deleted meanwhile is one
//   the tool finds gone, and then the box must hold the backup), or the tool
//   had finished with the DSN before the other program acted;
// - rebuilt exactly from the backup the tool read;
// - rebuilt, with the one value the other program set or removed in the new
//   key before the tool read it back (its value, or the tool's if the tool
//   wrote that name again after it), and the backup text in exactly one box
//   of that DSN, which the summary does not count;
// - rebuilt, then changed by the other program (it acted once the tool had
//   begun to read the rebuilt key back, and the tool did not see it);
// - the key as the other program left it (gone, made again, or made by a
//   subkey) and the backup text in exactly one box of that DSN: the tool
//   never writes into a key the other program made, nor makes again a key it
//   deleted.
// What the other program did while the tool read the rebuilt key back may be
// seen or not: seen, the backup is in its box and the DSN is not counted;
// unseen, the DSN is counted and the key holds what the other program left.
#include <optional>
#include <string>
#include <vector>

#include "dsn_restore/backup_document.h"
#include "dsn_restore/registry_reading.h"
#include "reliability/dsn_outcome.h"
#include "support/members_as_key.h"
#include "support/odbc_fixture.h"

namespace interfered_dsn {

using dsn_outcome::Key;

enum class Form { kAsLeft, kRebuilt, kRebuiltWithTheirValueShown, kRebuiltThenChanged, kBackupInItsBox };
inline constexpr int kFormCount = 5;

inline const char* FormName(Form form) {
  switch (form) {
    case Form::kAsLeft:
      return "as the other program left it";
    case Form::kRebuilt:
      return "rebuilt";
    case Form::kRebuiltWithTheirValueShown:
      return "rebuilt with its value, backup text in its box";
    case Form::kRebuiltThenChanged:
      return "rebuilt, then changed by it";
    case Form::kBackupInItsBox:
      return "backup text in its box";
  }
  return "?";
}

// Whether a box is about the DSN: its text names it, or its caption ends
// with the DSN's name or its key's path.
inline bool NamesDsn(const win32::fake::ShownBox& box, const std::u16string& dsnName) {
  return box.text.find(u"DSN \"" + dsnName + u"\"") != std::u16string::npos ||
         box.caption.ends_with(u" " + dsnName) || box.caption.ends_with(u"\\" + dsnName);
}

// The text of the DSN's Backup value as the tool read it in this run, if it did.
inline std::optional<std::u16string> BackupRead(HKEY root, const std::u16string& dsnName) {
  for (const win32::fake::ValueRead& read : win32::fake::ValuesRead()) {
    if (read.root == root && win32::fake::SameName(read.path, odbc_fixture::DsnKey(dsnName)) &&
        read.value.name == u"Backup") {
      return dsn_restore::ValueText(read.value.data.data(), static_cast<DWORD>(read.value.data.size()));
    }
  }
  return std::nullopt;
}

inline std::optional<dsn_restore::BackupMembers> MembersOf(const std::u16string& backup) {
  const auto document = dsn_restore::ReadBackupDocument(backup);
  if (const auto* members = std::get_if<dsn_restore::BackupMembers>(&document)) {
    return *members;
  }
  return std::nullopt;
}

// The last registry call (a close aside) before the tool's first box about
// the DSN, in the run just made: the call its attempt on the key ended with
// when it failed. 0 when no box is about the DSN.
inline int AttemptEndBeforeItsFirstBox(const std::u16string& dsnName) {
  using win32::fake::Call;
  const auto& calls = win32::fake::CallLog();
  const auto& boxes = win32::fake::AttemptedBoxes();
  std::size_t box = 0;
  for (std::size_t i = 0; i < calls.size(); ++i) {
    if (calls[i] != Call::MessageBoxW) {
      continue;
    }
    if (box < boxes.size() && NamesDsn(boxes[box], dsnName)) {
      for (std::size_t j = i; j-- > 0;) {
        switch (calls[j]) {
          case Call::RegOpenKeyExW:
          case Call::RegQueryInfoKeyW:
          case Call::RegEnumValueW:
          case Call::RegDeleteKeyW:
          case Call::RegCreateKeyExW:
          case Call::RegSetValueExW:
            return static_cast<int>(j) + 1;
          default:
            break;
        }
      }
      return 0;
    }
    ++box;
  }
  return 0;
}

// One DSN in one run, and what the other program did to it.
struct History {
  std::u16string name;
  Key before;                             // its key when the run began
  Key left;                               // its key as the other program left it (as before if it did not act on it)
  Key atTheAction;                        // its key when the other program acted
  bool onItsKey = false;                  // the other program acted on its key
  std::optional<std::u16string> touched;  // the value it set or removed there
  bool deletedItsKey = false;             // it deleted the key (and may have made it again)
  std::optional<std::u16string> backupRead;
  Key finalAlone;                // its key after the run alone
  bool rebuiltAlone = false;     // the run alone rebuilds it
  bool afterItsFailedAttempt = false;  // the other program acted after the tool's failed attempt on the key
  bool afterItsReadBackBegan = false;  // it acted once the tool had begun to read the rebuilt key back
};

struct Outcome {
  Form form;
  bool rebuilt;  // the tool rebuilt it: the summary counts it
};

namespace detail {

// The value of that name (in any letter case), as type and data.
inline std::optional<std::pair<DWORD, std::vector<BYTE>>> ValueNamed(const Key& key, const std::u16string& name) {
  for (const auto& value : key.value_or(std::vector<win32::fake::RegistryValue>{})) {
    if (win32::fake::SameName(value.name, name)) {
      return std::pair{value.type, value.data};
    }
  }
  return std::nullopt;
}

inline std::vector<win32::fake::RegistryValue> Without(const Key& key, const std::u16string& name) {
  std::vector<win32::fake::RegistryValue> rest = key.value_or(std::vector<win32::fake::RegistryValue>{});
  std::erase_if(rest, [&](const auto& value) { return win32::fake::SameName(value.name, name); });
  return rest;
}

// The key holds the rebuilt values, but for that one name, which holds the
// rebuilt value or the other program's (or is missing, as it left it).
inline bool RebuiltBesides(const Key& now, const Key& rebuilt, const std::u16string& name, const Key& left) {
  if (!now || Without(now, name) != Without(rebuilt, name)) {
    return false;
  }
  const auto value = ValueNamed(now, name);
  return value == ValueNamed(rebuilt, name) || value == ValueNamed(left, name);
}

inline int CountShowing(const std::vector<win32::fake::ShownBox>& shown, const std::u16string& dsnName,
                        const std::u16string& backup) {
  int count = 0;
  for (const auto& box : shown) {
    count += box.text.find(u"DSN \"" + dsnName + u"\"") != std::u16string::npos &&
                     box.text.ends_with(u"\r\n\r\n" + backup)
                 ? 1
                 : 0;
  }
  return count;
}

}  // namespace detail

// The form the DSN ended in, or nothing when its settings were lost unshown.
inline std::optional<Outcome> OutcomeOf(const History& h, const Key& now,
                                        const std::vector<win32::fake::ShownBox>& shown) {
  const bool read = h.backupRead && !h.backupRead->empty();
  const auto members = read ? MembersOf(*h.backupRead) : std::nullopt;
  if (!members) {
    // Nothing to restore from: the key stays as the other program left it,
    // and a DSN whose backup was not read is not spoken of.
    const bool silent = read || std::none_of(shown.begin(), shown.end(),
                                             [&](const auto& box) { return NamesDsn(box, h.name); });
    return now == h.left && silent ? std::optional(Outcome{Form::kAsLeft, false}) : std::nullopt;
  }
  const Key rebuilt = MembersAsKey(*members);
  const int showing = detail::CountShowing(shown, h.name, *h.backupRead);
  if (showing > 1) {
    return std::nullopt;
  }

  // The tool had finished with the DSN, or was reading its rebuilt key back:
  // what the other program did then is its own, and stays. Only a change the
  // tool saw while it read the key back is shown, and then not counted.
  if ((h.rebuiltAlone && h.afterItsReadBackBegan) || h.afterItsFailedAttempt) {
    const Key expected = h.onItsKey ? h.left : h.finalAlone;
    if (now != expected || (showing != 0 && h.afterItsFailedAttempt)) {
      return std::nullopt;
    }
    if (showing != 0) {
      return Outcome{h.deletedItsKey ? Form::kBackupInItsBox : Form::kRebuiltWithTheirValueShown, false};
    }
    const Form form = !h.rebuiltAlone ? Form::kAsLeft : now == rebuilt ? Form::kRebuilt : Form::kRebuiltThenChanged;
    return Outcome{form, h.rebuiltAlone};
  }

  // A key the other program deleted is not made again.
  if (!(h.deletedItsKey && !h.left) && now == rebuilt && showing == 0) {
    return Outcome{Form::kRebuilt, true};
  }
  // Its value set or removed in the new key, the tool's old key gone: the
  // tool read the key back and showed the backup.
  const bool inTheNewKey = h.atTheAction && h.atTheAction != h.before;
  if (h.touched && inTheNewKey && showing == 1 && detail::RebuiltBesides(now, rebuilt, *h.touched, h.left)) {
    return Outcome{Form::kRebuiltWithTheirValueShown, false};
  }
  // The tool changed nothing. When the other program deleted the key the tool
  // had read, the tool found it gone, and the box is the backup's only copy.
  if (now == h.left && !h.deletedItsKey && showing == 0) {
    return Outcome{Form::kAsLeft, false};
  }
  if (showing == 1 && now == (h.onItsKey ? h.left : Key{})) {
    return Outcome{Form::kBackupInItsBox, false};
  }
  return std::nullopt;
}

}  // namespace interfered_dsn
