// Files as the check uses them: made with CREATE_ALWAYS for writing, opened
// with OPEN_EXISTING for reading, with share modes 2 and 0, then deleted.
#include "tests/behaviour/behaviour_case.h"
#include "tests/behaviour/declared_differences.h"
#include "tests/behaviour/file_steps.h"
#include "tests/behaviour/platform.h"

namespace behaviour {
namespace {

BEHAVIOUR_CASE(Files, EachDispositionOnAMissingAndAnExistingFile) {
  const std::u16string path = InScratch(u"test_2_128.txt");
  CHECK_EQ(Attempt(path, kRead2), ERROR_FILE_NOT_FOUND);
  {
    const File made(path, GENERIC_WRITE, FILE_SHARE_WRITE, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL);
    CHECK_TRUE(made.opened());
    CHECK_EQ(made.error(), ERROR_SUCCESS);
  }
  {
    const File replaced(path, GENERIC_WRITE, FILE_SHARE_WRITE, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL);
    CHECK_TRUE(replaced.opened());
    CHECK_EQ(replaced.error(), ERROR_ALREADY_EXISTS);
  }
  CHECK_EQ(Attempt(InScratch(u"TEST_2_128.TXT"), kRead2), 0);
  CHECK_EQ(Delete(path), 0);
  CHECK_EQ(Delete(path), ERROR_FILE_NOT_FOUND);
  CHECK_EQ(Attempt(path, kRead2), ERROR_FILE_NOT_FOUND);
}

BEHAVIOUR_CASE(Files, MissingFolderIsPathNotFound) {
  const std::u16string path = InScratch(u"Missing\\test_0_0.txt");
  CHECK_EQ(Attempt(path, kWrite0, 0), ERROR_PATH_NOT_FOUND);
  CHECK_EQ(Attempt(path, kRead0), ERROR_PATH_NOT_FOUND);
  CHECK_EQ(Delete(path), ERROR_PATH_NOT_FOUND);
}

// A new file has what was asked for and ARCHIVE, which Windows sets on every
// file it writes; NORMAL is what a file without any other attribute reads as.
BEHAVIOUR_CASE(Files, NewFileIsArchive) {
  for (const DWORD asked : {DWORD{FILE_ATTRIBUTE_NORMAL}, DWORD{0}}) {
    const Note note("asked for " + std::to_string(asked));
    const std::u16string path = InScratch(u"test_" + Ascii(std::to_string(asked)) + u".txt");
    REQUIRE_EQ(Attempt(path, kWrite0, asked), 0);
    CHECK_EQ(FileAttributesOf(path), FILE_ATTRIBUTE_ARCHIVE);
  }
}

BEHAVIOUR_CASE(Files, FolderIsNotAFile) {
  const std::u16string path = InScratch(u"test_0_0.txt");
  REQUIRE_TRUE(MakeFolder(path));
  CHECK_EQ(Attempt(path, kWrite0, 0), ERROR_ACCESS_DENIED);
  CHECK_EQ(Attempt(path, kRead0), ERROR_ACCESS_DENIED);
  CHECK_EQ(Delete(path), ERROR_ACCESS_DENIED);
}

// Every pair of the check's opens, against a handle already open: a second
// open is refused unless each handle shares what the other does.
BEHAVIOUR_CASE(Files, SharingBetweenTheChecksOpens) {
  struct Row {
    Pass first;
    Pass second;
    DWORD failure;
  };
  const Row rows[] = {
      {kWrite2, kWrite2, 0},
      {kWrite2, kWrite0, ERROR_SHARING_VIOLATION},
      {kWrite2, kRead2, ERROR_SHARING_VIOLATION},
      {kWrite2, kRead0, ERROR_SHARING_VIOLATION},
      {kWrite0, kWrite2, ERROR_SHARING_VIOLATION},
      {kWrite0, kWrite0, ERROR_SHARING_VIOLATION},
      {kWrite0, kRead2, ERROR_SHARING_VIOLATION},
      {kWrite0, kRead0, ERROR_SHARING_VIOLATION},
      {kRead2, kWrite2, ERROR_SHARING_VIOLATION},
      {kRead2, kWrite0, ERROR_SHARING_VIOLATION},
      {kRead2, kRead2, ERROR_SHARING_VIOLATION},
      {kRead2, kRead0, ERROR_SHARING_VIOLATION},
      {kRead0, kWrite2, ERROR_SHARING_VIOLATION},
      {kRead0, kWrite0, ERROR_SHARING_VIOLATION},
      {kRead0, kRead2, ERROR_SHARING_VIOLATION},
      {kRead0, kRead0, ERROR_SHARING_VIOLATION},
  };
  const std::u16string path = InScratch(u"test_2_128.txt");
  REQUIRE_EQ(Attempt(path, kWrite0), 0);
  for (const Row& row : rows) {
    const Note note(std::string(row.first.name) + ", then " + row.second.name);
    const File first(path, row.first.access, row.first.share, row.first.disposition, FILE_ATTRIBUTE_NORMAL);
    REQUIRE_TRUE(first.opened());
    CHECK_EQ(Attempt(path, row.second), row.failure);
  }
  // Readers that share reading and writing open side by side.
  const File reader(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING);
  CHECK_EQ(File(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING).failure(), 0);
}

BEHAVIOUR_CASE(Files, FileOpenWithoutDeleteSharingIsNotDeleted) {
  const std::u16string path = InScratch(u"test_0_0.txt");
  REQUIRE_EQ(Attempt(path, kWrite0, 0), 0);
  {
    const File held(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING);
    REQUIRE_TRUE(held.opened());
    CHECK_EQ(Delete(path), ERROR_SHARING_VIOLATION);
  }
  CHECK_EQ(Delete(path), 0);
}

BEHAVIOUR_CASE(Files, ReadOnlyFileIsReadButNotWrittenNorDeleted) {
  const std::u16string path = InScratch(u"test_0_0.txt");
  REQUIRE_EQ(Attempt(path, kWrite0, 0), 0);
  REQUIRE_TRUE(SetFileAttributesOf(path, FILE_ATTRIBUTE_READONLY));
  CHECK_EQ(FileAttributesOf(path) & FILE_ATTRIBUTE_READONLY, FILE_ATTRIBUTE_READONLY);
  CHECK_EQ(Attempt(path, kWrite0, 0), ERROR_ACCESS_DENIED);
  CHECK_EQ(Attempt(path, {"write an existing file", GENERIC_WRITE, 0, OPEN_EXISTING}), ERROR_ACCESS_DENIED);
  CHECK_EQ(Attempt(path, kRead0), 0);
  CHECK_EQ(Delete(path), ERROR_ACCESS_DENIED);
  CHECK_EQ(FileAttributesOf(path) & FILE_ATTRIBUTE_READONLY, FILE_ATTRIBUTE_READONLY);
}

// A test file left hidden or system: CREATE_ALWAYS must ask for the same
// attributes again, which the check never does. Reading and deleting work.
BEHAVIOUR_CASE(Files, HiddenOrSystemFileIsNotReplacedWithOtherAttributes) {
  for (const DWORD kept : {DWORD{FILE_ATTRIBUTE_HIDDEN}, DWORD{FILE_ATTRIBUTE_SYSTEM}}) {
    const Note note(kept == FILE_ATTRIBUTE_HIDDEN ? "hidden" : "system");
    const std::u16string path = InScratch(u"test_2_128.txt");
    REQUIRE_EQ(Attempt(path, kWrite2), 0);
    REQUIRE_TRUE(SetFileAttributesOf(path, kept));
    CHECK_EQ(FileAttributesOf(path) & kept, kept);
    const DWORD refused = WindowsOrWine<DWORD>(kOverwriteHiddenOrSystem, ERROR_ACCESS_DENIED, 0);
    CHECK_EQ(Attempt(path, kWrite2, FILE_ATTRIBUTE_NORMAL), refused);
    CHECK_EQ(Attempt(path, kWrite2, FILE_ATTRIBUTE_ENCRYPTED), refused);
    CHECK_EQ(Attempt(path, kWrite2, 0), refused);
    REQUIRE_TRUE(SetFileAttributesOf(path, kept));
    CHECK_EQ(Attempt(path, kWrite2, kept), 0);
    CHECK_EQ(Attempt(path, kRead2), 0);
    CHECK_EQ(Delete(path), 0);
  }
}

BEHAVIOUR_CASE(Files, EncryptedAttributeIsKept) {
  const std::u16string path = InScratch(u"test_2_16384.txt");
  REQUIRE_EQ(Attempt(path, kWrite2, FILE_ATTRIBUTE_ENCRYPTED), 0);
  CHECK_EQ(FileAttributesOf(path) & FILE_ATTRIBUTE_ENCRYPTED,
           WindowsOrWine<DWORD>(kEncryptedAttribute, FILE_ATTRIBUTE_ENCRYPTED, 0));
  CHECK_EQ(Attempt(path, kRead2), 0);
}

BEHAVIOUR_CASE(Files, PathOfMaxPathUnitsOrMoreIsNotFound) {
  // 18 units of folder and 254 of name: 272 in all, past the 259 a path may have.
  const std::u16string path = InScratch(std::u16string(250, u'x') + u".txt");
  CHECK_EQ(Attempt(path, kWrite0, 0), WindowsOrWine<DWORD>(kLongPath, ERROR_PATH_NOT_FOUND, 0));
  CHECK_EQ(Delete(path), WindowsOrWine<DWORD>(kLongPath, ERROR_PATH_NOT_FOUND, 0));
  const std::u16string shorter = InScratch(std::u16string(200, u'x') + u".txt");
  CHECK_EQ(Attempt(shorter, kWrite0, 0), 0);
  CHECK_EQ(Delete(shorter), 0);
}

}  // namespace
}  // namespace behaviour
