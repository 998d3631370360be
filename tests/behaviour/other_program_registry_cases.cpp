// The registry as another program leaves it between two calls of the tool:
// keys it deletes or makes, values it sets or removes while the tool reads
// them, rights it withdraws while the tool holds a key open. The tool's
// handles and calls answer from what it left.
#include "tests/behaviour/behaviour_case.h"
#include "tests/behaviour/declared_differences.h"
#include "tests/behaviour/registry_steps.h"

namespace behaviour {
namespace {

using win32::UniqueHkey;
using Names = std::vector<std::u16string>;
namespace other = other_program;

// RegDeleteTreeW takes the key's subkeys with it: none of them opens by path.
BEHAVIOUR_CASE(OtherProgram, KeyItDeletesIsMissingWithItsSubkeys) {
  UniqueHkey key;
  REQUIRE_EQ(Create(Scratch(u"K\\Sub\\Deeper"), key), ERROR_SUCCESS);
  REQUIRE_EQ(Open(Scratch(u"K"), KEY_ALL_ACCESS, key), ERROR_SUCCESS);
  REQUIRE_EQ(SetText(key.get(), u"Backup", u"{}"), ERROR_SUCCESS);
  key.reset();
  other::DeleteKey(Scratch(u"K"));
  for (const char16_t* path : {u"K", u"K\\Sub", u"K\\Sub\\Deeper", u"K\\Missing"}) {
    const Note note(DescribeText(path));
    UniqueHkey missing;
    CHECK_EQ(Open(Scratch(path), KEY_READ, missing), ERROR_FILE_NOT_FOUND);
    CHECK_EQ(Open(Scratch(path), KEY_ALL_ACCESS, missing), ERROR_FILE_NOT_FOUND);
  }
  UniqueHkey scratch;
  REQUIRE_EQ(Open(kScratchKey, KEY_ALL_ACCESS, scratch), ERROR_SUCCESS);
  CHECK_EQ(win32::RegDeleteKeyW(scratch.get(), u"K"), ERROR_FILE_NOT_FOUND);
  // Made again by path, it is a new key: nothing of the old one is in it.
  DWORD disposition = 0;
  REQUIRE_EQ(Create(Scratch(u"K"), key, &disposition), ERROR_SUCCESS);
  CHECK_EQ(disposition, REG_CREATED_NEW_KEY);
  CHECK_EQ(ValueCount(key.get()), 0);
  CHECK_EQ(Open(Scratch(u"K\\Sub"), KEY_READ, scratch), ERROR_FILE_NOT_FOUND);
}

// A handle the tool holds on the key, or on a key below it, names the key
// that was deleted: every call through it answers ERROR_KEY_DELETED, and
// goes on doing so once another key is made at the same path.
BEHAVIOUR_CASE(OtherProgram, HandleOnAKeyItDeletesAnswersKeyDeleted) {
  struct Row {
    const char16_t* held;
    const char16_t* below;  // a key that was below it
  };
  for (const Row row : {Row{u"K", u"Sub"}, Row{u"K\\Sub", u"Deeper"}}) {
    const std::u16string held = row.held;
    const Note note("a handle on " + DescribeText(held));
    UniqueHkey key;
    REQUIRE_EQ(Create(Scratch(u"K\\Sub\\Deeper"), key), ERROR_SUCCESS);
    REQUIRE_EQ(Create(Scratch(held), key), ERROR_SUCCESS);
    REQUIRE_EQ(SetText(key.get(), u"Backup", u"{}"), ERROR_SUCCESS);
    other::DeleteKey(Scratch(u"K"));

    CheckEveryCallAnswersKeyDeleted(key.get(), row.below);
    other::MakeKey(Scratch(held), {{u"Theirs", u"1"}});
    CheckEveryCallAnswersKeyDeleted(key.get(), row.below);
    CHECK_EQ(win32::RegDeleteKeyW(key.get(), u""), ERROR_KEY_DELETED);

    // The key made again holds only what the other program set.
    UniqueHkey again;
    REQUIRE_EQ(Open(Scratch(held), KEY_READ, again), ERROR_SUCCESS);
    CHECK_EQ(ValueNames(again.get()), Names{u"Theirs"});
    UniqueHkey below;
    CHECK_EQ(win32::RegOpenKeyExW(again.get(), u"New", 0, KEY_READ, below.put()), ERROR_FILE_NOT_FOUND);
    other::DeleteKey(Scratch(u"K"));
  }
}

// The restore's own sequence: the tree key open, the old key deleted, then
// another program makes the key again before the create. The create opens
// that key, and changes nothing in it.
BEHAVIOUR_CASE(OtherProgram, CreateOverAKeyItMadeOpensItAndLeavesItsValues) {
  UniqueHkey tree;
  REQUIRE_EQ(Create(Scratch(u"Tree"), tree), ERROR_SUCCESS);
  UniqueHkey old;
  REQUIRE_EQ(Create(tree.get(), u"Dsn", old), ERROR_SUCCESS);
  REQUIRE_EQ(win32::RegDeleteKeyW(old.get(), u""), ERROR_SUCCESS);
  other::MakeKey(Scratch(u"Tree\\Dsn"), {{u"Server", u"theirs"}, {u"Port", u"1"}});
  UniqueHkey made;
  DWORD disposition = 0;
  REQUIRE_EQ(Create(tree.get(), u"Dsn", made, &disposition), ERROR_SUCCESS);
  CHECK_EQ(disposition, REG_OPENED_EXISTING_KEY);
  CHECK_EQ(ValueNames(made.get()), WindowsOrWine(kValueOrder, Names{u"Server", u"Port"}, Names{u"Port", u"Server"}));
  const Enumerated server = Enumerate(made.get(), WindowsOrWine<DWORD>(kValueOrder, 0, 1));
  CHECK_EQ(server.data, Bytes(std::u16string(u"theirs\0", 7)));
}

// The tools take a key's count of values once, then enumerate by index.
// Values are not ordered, and a key changed while it is enumerated may give
// them in any order; what a reader by index meets is what the key holds at
// each call: a value removed moves those after it back one place, an index at
// or past the new count is the end, a value rewritten keeps its place.
BEHAVIOUR_CASE(OtherProgram, ValueItChangesDuringAnEnumerationIsMetWhereItNowStands) {
  struct Row {
    const char* name;
    std::u16string removed;   // a value removed after index 0 was read
    std::u16string rewritten;  // or one set again
    Names fromIndexOne;        // what indices 1 and on give then
  };
  const Row rows[] = {
      {"the value read removed", u"A", u"", {u"C"}},
      {"a value not yet read removed", u"C", u"", {u"B"}},
      {"a value not yet read rewritten", u"", u"B", {u"B", u"C"}},
  };
  for (const Row& row : rows) {
    const Note note(row.name);
    UniqueHkey key;
    REQUIRE_EQ(Create(Scratch(Ascii(row.name)), key), ERROR_SUCCESS);
    for (const char16_t* name : {u"A", u"B", u"C"}) {
      REQUIRE_EQ(SetText(key.get(), name, u"x"), ERROR_SUCCESS);
    }
    UniqueHkey reader;
    REQUIRE_EQ(Open(Scratch(Ascii(row.name)), KEY_READ, reader), ERROR_SUCCESS);
    REQUIRE_EQ(ValueCount(reader.get()), 3);
    REQUIRE_EQ(Enumerate(reader.get(), 0).name, u"A");
    if (!row.removed.empty()) {
      other::DeleteValueOf(Scratch(Ascii(row.name)), row.removed);
    } else {
      other::SetValueOf(Scratch(Ascii(row.name)), {row.rewritten, u"theirs"});
    }
    Names met;
    DWORD index = 1;
    for (; index < 3; ++index) {
      const Enumerated e = Enumerate(reader.get(), index);
      if (e.status != ERROR_SUCCESS) {
        CHECK_EQ(e.status, ERROR_NO_MORE_ITEMS);
        break;
      }
      met.push_back(e.name);
    }
    CHECK_EQ(met, row.fromIndexOne);
    CHECK_EQ(ValueCount(reader.get()), row.removed.empty() ? 3 : 2);
  }
}

// A value another program adds while the tool enumerates takes its own index.
BEHAVIOUR_CASE(OtherProgram, ValueItAddsDuringAnEnumerationComesAfterTheOthers) {
  UniqueHkey key;
  REQUIRE_EQ(Create(Scratch(u"K"), key), ERROR_SUCCESS);
  for (const char16_t* name : {u"A", u"B"}) {
    REQUIRE_EQ(SetText(key.get(), name, u"x"), ERROR_SUCCESS);
  }
  REQUIRE_EQ(Enumerate(key.get(), 0).name, u"A");
  other::SetValueOf(Scratch(u"K"), {u"Added", u"theirs"});
  CHECK_EQ(ValueNames(key.get()), WindowsOrWine(kValueOrder, Names{u"A", u"B", u"Added"},
                                                 Names{u"A", u"Added", u"B"}));
}

// Rights are granted when a key is opened: a handle keeps them when another
// program withdraws them. A new open asking for one is refused, and so are
// the delete of a key through a handle and a create below it, which ask the
// key's security again (kKeySecurity).
// https://learn.microsoft.com/en-us/windows/win32/api/winreg/nf-winreg-regdeletekeyexw
BEHAVIOUR_CASE(OtherProgram, RightsItWithdrawsReachNewOpensDeletesAndCreatesButNotTheHandles) {
  UniqueHkey tree;
  REQUIRE_EQ(Create(Scratch(u"Tree"), tree), ERROR_SUCCESS);
  UniqueHkey key;
  REQUIRE_EQ(Create(tree.get(), u"Dsn", key), ERROR_SUCCESS);
  other::WithdrawRights(Scratch(u"Tree\\Dsn"), DELETE | KEY_SET_VALUE);
  other::WithdrawRights(Scratch(u"Tree"), KEY_CREATE_SUB_KEY);

  CHECK_EQ(SetText(key.get(), u"Server", u"db1"), ERROR_SUCCESS);
  CHECK_EQ(ValueNames(key.get()), Names{u"Server"});
  UniqueHkey again;
  CHECK_EQ(Open(Scratch(u"Tree\\Dsn"), KEY_ALL_ACCESS, again), ERROR_ACCESS_DENIED);
  CHECK_EQ(Open(Scratch(u"Tree\\Dsn"), KEY_SET_VALUE, again), ERROR_ACCESS_DENIED);
  CHECK_EQ(Open(Scratch(u"Tree\\Dsn"), KEY_READ, again), ERROR_SUCCESS);
  CHECK_EQ(Open(Scratch(u"Tree"), KEY_ALL_ACCESS, again), ERROR_ACCESS_DENIED);
  const long refused = WindowsOrWine<long>(kKeySecurity, ERROR_ACCESS_DENIED, ERROR_SUCCESS);
  UniqueHkey created;
  CHECK_EQ(Create(tree.get(), u"New", created), refused);
  CHECK_EQ(win32::RegDeleteKeyW(key.get(), u""), refused);
}

// The other program adds a subkey to the key the tool holds open: the key is
// then not deleted.
BEHAVIOUR_CASE(OtherProgram, KeyItAddsASubkeyToIsNotDeleted) {
  UniqueHkey key;
  REQUIRE_EQ(Create(Scratch(u"Dsn"), key), ERROR_SUCCESS);
  other::MakeKey(Scratch(u"Dsn\\TheirOptions"));
  CHECK_EQ(win32::RegDeleteKeyW(key.get(), u""), ERROR_ACCESS_DENIED);
  UniqueHkey still;
  CHECK_EQ(Open(Scratch(u"Dsn\\TheirOptions"), KEY_READ, still), ERROR_SUCCESS);
  DWORD count = 0;
  CHECK_EQ(win32::RegQueryInfoKeyW(key.get(), &count), ERROR_SUCCESS);
}

// What it does to a key that is not there changes nothing, as for a program
// that opens the key first: nothing makes the key.
BEHAVIOUR_CASE(OtherProgram, KeyThatIsNotThereStaysMissing) {
  other::SetValueOf(Scratch(u"Missing"), {u"A", u"1"});
  other::DeleteValueOf(Scratch(u"Missing"), u"A");
  other::WithdrawRights(Scratch(u"Missing"), KEY_SET_VALUE);
  other::DeleteKey(Scratch(u"Missing"));
  UniqueHkey key;
  CHECK_EQ(Open(Scratch(u"Missing"), KEY_READ, key), ERROR_FILE_NOT_FOUND);
}

}  // namespace
}  // namespace behaviour
