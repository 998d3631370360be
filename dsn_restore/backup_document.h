#pragma once
// The backup document: the JSON object in a DSN's Backup value whose string
// members are the DSN's settings. It is read and checked whole before the
// registry is touched, so a document that cannot be restored costs nothing.
#include <cstddef>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace dsn_restore {

struct BackupMember {
  std::u16string name;   // the value name; empty for the key's default value
  std::u16string value;  // the REG_SZ text
  bool operator==(const BackupMember&) const = default;
};

// Every member, in document order (a repeated name appears each time).
struct BackupMembers {
  std::vector<BackupMember> members;
};

// The text is not strict JSON (or not UTF-16): the reader's message and the
// byte position in the UTF-8 text where it stopped.
struct UnreadableBackup {
  std::u16string readerMessage;
  std::size_t bytePosition = 0;
};

// The root is not an object, or an object without members.
struct NoBackupMembers {};

// A member whose value is not a string: a DSN setting must be REG_SZ text.
struct NonStringMember {
  std::u16string name;
};

// The registry refuses value names longer than this many UTF-16 units.
inline constexpr std::size_t kMaxValueNameUnits = 16383;

// A member whose name the registry would refuse: found before the DSN's key
// is touched, so that the key is never deleted for a document that cannot be
// written whole.
struct MemberNameTooLong {
  std::u16string name;
};

using BackupDocument =
    std::variant<BackupMembers, UnreadableBackup, NoBackupMembers, NonStringMember, MemberNameTooLong>;

// Reads the backup text (UTF-16, converted to UTF-8 up to its first zero byte)
// as strict JSON. Names and values end at their first \u0000. The first
// member that is not a string, or whose name is too long, refuses the whole
// document.
BackupDocument ReadBackupDocument(std::u16string_view backupText);

}  // namespace dsn_restore
