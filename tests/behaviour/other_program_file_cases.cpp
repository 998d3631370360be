// The files as another program leaves them between two calls of the check:
// a test file it makes, holds open, makes read-only or deletes, the folder it
// removes. The check's opens and deletes answer from what it left.
#include "tests/behaviour/behaviour_case.h"
#include "tests/behaviour/declared_differences.h"
#include "tests/behaviour/file_steps.h"
#include "tests/behaviour/platform.h"

namespace behaviour {
namespace {

namespace other = other_program;

// Ways of opening besides the check's: they share reading, which the
// holder's own access (GENERIC_READ) needs of every later open.
constexpr Pass kReadSharingRead{"read, sharing reading", GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING};
constexpr Pass kWriteSharingRead{"write, sharing reading", GENERIC_WRITE, FILE_SHARE_READ, CREATE_ALWAYS};
constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
constexpr Pass kReadSharingAll{"read, sharing all", GENERIC_READ, kShareAll, OPEN_EXISTING};

// A file it holds open for reading: an open must be allowed by its share mode
// and share reading itself, which the check's opens never do; a delete needs
// FILE_SHARE_DELETE.
// https://learn.microsoft.com/en-us/windows/win32/fileio/creating-and-opening-files
BEHAVIOUR_CASE(OtherProgram, FileItHoldsOpenRefusesWhatItsShareModeRefuses) {
  struct Row {
    const char* name;
    DWORD holderShare;
    DWORD readSharingRead;   // then each open's code (0: opened)
    DWORD writeSharingRead;
    DWORD deleted;           // and DeleteFileW's
  };
  constexpr DWORD kRefused = ERROR_SHARING_VIOLATION;
  const Row rows[] = {
      {"no sharing", 0, kRefused, kRefused, kRefused},
      {"sharing reading", FILE_SHARE_READ, 0, kRefused, kRefused},
      {"sharing writing", FILE_SHARE_WRITE, kRefused, 0, kRefused},
      {"sharing deleting", FILE_SHARE_DELETE, kRefused, kRefused, 0},
      {"sharing all", kShareAll, 0, 0, 0},
  };
  for (const Row& row : rows) {
    const Note note(std::string("held ") + row.name);
    const std::u16string path = InScratch(u"test_" + Ascii(std::to_string(row.holderShare)) + u".txt");
    other::HoldOpen(path, row.holderShare);
    CHECK_EQ(FileAttributesOf(path), FILE_ATTRIBUTE_ARCHIVE);
    for (const Pass& pass : {kWrite2, kWrite0, kRead2, kRead0}) {
      const Note which(pass.name);
      CHECK_EQ(Attempt(path, pass), ERROR_SHARING_VIOLATION);
    }
    CHECK_EQ(Attempt(path, kReadSharingRead), row.readSharingRead);
    CHECK_EQ(Attempt(path, kWriteSharingRead), row.writeSharingRead);
    CHECK_EQ(Delete(path), row.deleted);
  }
}

// A file deleted while another handle, sharing its delete, holds it open is
// marked for deletion, and goes when the last handle closes (kDeletePending).
BEHAVIOUR_CASE(OtherProgram, FileDeletedWhileHeldGoesWhenItsLastHandleCloses) {
  // On Windows itself the name may be gone already (POSIX semantics): no
  // file is found then, where the documented answer is a refusal.
  const auto marked = [](DWORD code) {
    return ThisPlatform() == Platform::kWindows && code == ERROR_FILE_NOT_FOUND ? ERROR_ACCESS_DENIED : code;
  };
  const std::u16string held = InScratch(u"held.txt");
  other::HoldOpen(held, kShareAll);
  CHECK_EQ(Delete(held), 0);
  struct Row {
    Pass pass;
    DWORD onWine;  // the share modes' answer
  };
  const Row rows[] = {{kWrite2, ERROR_SHARING_VIOLATION},
                      {kRead0, ERROR_SHARING_VIOLATION},
                      {kReadSharingRead, 0},
                      {kReadSharingAll, 0}};
  for (const Row& row : rows) {
    const Note which(row.pass.name);
    CHECK_EQ(marked(Attempt(held, row.pass)), WindowsOrWine<DWORD>(kDeletePending, ERROR_ACCESS_DENIED, row.onWine));
  }
  CHECK_EQ(marked(Delete(held)), WindowsOrWine<DWORD>(kDeletePending, ERROR_ACCESS_DENIED, 0));

  // Held by the tool's own handle this time, which it then closes.
  const std::u16string own = InScratch(u"own.txt");
  {
    const File handle(own, GENERIC_READ, kShareAll, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL);
    REQUIRE_TRUE(handle.opened());
    CHECK_EQ(Delete(own), 0);
    CHECK_EQ(marked(Attempt(own, kReadSharingAll)), WindowsOrWine<DWORD>(kDeletePending, ERROR_ACCESS_DENIED, 0));
  }
  CHECK_EQ(Attempt(own, kReadSharingAll), ERROR_FILE_NOT_FOUND);
  CHECK_EQ(FileAttributesOf(own), INVALID_FILE_ATTRIBUTES);
  CHECK_EQ(Attempt(own, kWrite0), 0);
}

BEHAVIOUR_CASE(OtherProgram, FileItMakesIsNewAndOneThereIsLeftAlone) {
  const std::u16string path = InScratch(u"test_2_128.txt");
  other::MakeFile(path);
  CHECK_EQ(FileAttributesOf(path), FILE_ATTRIBUTE_ARCHIVE);
  {
    const File replaced(path, GENERIC_WRITE, FILE_SHARE_WRITE, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL);
    CHECK_TRUE(replaced.opened());
    CHECK_EQ(replaced.error(), ERROR_ALREADY_EXISTS);
  }
  REQUIRE_TRUE(SetFileAttributesOf(path, FILE_ATTRIBUTE_HIDDEN));
  const DWORD hidden = FileAttributesOf(path);
  CHECK_EQ(hidden & FILE_ATTRIBUTE_HIDDEN, FILE_ATTRIBUTE_HIDDEN);
  other::MakeFile(path);
  CHECK_EQ(FileAttributesOf(path), hidden);
  other::MakeFile(InScratch(u"Missing\\test_0_0.txt"));
  CHECK_EQ(Attempt(InScratch(u"Missing\\test_0_0.txt"), kRead0), ERROR_PATH_NOT_FOUND);
}

// attrib +r: the file keeps its other attributes, and is read but neither
// written nor deleted.
BEHAVIOUR_CASE(OtherProgram, FileItMakesReadOnlyIsReadButNotWrittenNorDeleted) {
  const std::u16string path = InScratch(u"test_0_0.txt");
  REQUIRE_EQ(Attempt(path, kWrite0, FILE_ATTRIBUTE_HIDDEN), 0);
  other::MakeReadOnly(path);
  CHECK_EQ(FileAttributesOf(path), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_READONLY);
  for (const Pass& pass : {kWrite2, kWrite0}) {
    const Note which(pass.name);
    CHECK_EQ(Attempt(path, pass, FILE_ATTRIBUTE_HIDDEN), ERROR_ACCESS_DENIED);
  }
  CHECK_EQ(Attempt(path, kRead2), 0);
  CHECK_EQ(Attempt(path, kRead0), 0);
  CHECK_EQ(Delete(path), ERROR_ACCESS_DENIED);
  other::RemoveFile(path);
  CHECK_EQ(Attempt(path, kRead0), 0);
  other::MakeReadOnly(InScratch(u"missing.txt"));
  CHECK_EQ(FileAttributesOf(InScratch(u"missing.txt")), INVALID_FILE_ATTRIBUTES);
}

BEHAVIOUR_CASE(OtherProgram, FileItDeletesIsNotFound) {
  const std::u16string path = InScratch(u"test_2_0.txt");
  REQUIRE_EQ(Attempt(path, kWrite2, 0), 0);
  other::RemoveFile(path);
  CHECK_EQ(Attempt(path, kRead2), ERROR_FILE_NOT_FOUND);
  CHECK_EQ(Delete(path), ERROR_FILE_NOT_FOUND);
  CHECK_EQ(Attempt(path, kWrite2, 0), 0);
}

// rd /s: the folder goes with its files, and its paths are then not found. A
// file it cannot delete (held open without delete sharing) stays, and so
// does the folder, until that file is closed.
BEHAVIOUR_CASE(OtherProgram, FolderItRemovesGoesWithItsFilesUnlessOneStays) {
  const std::u16string folder = InScratch(u"Cache");
  const std::u16string kept = folder + u"\\test_2_128.txt";
  const std::u16string other = folder + u"\\test_0_0.txt";
  REQUIRE_TRUE(MakeFolder(folder));
  REQUIRE_EQ(Attempt(other, kWrite0), 0);
  {
    const File held(kept, GENERIC_WRITE, FILE_SHARE_WRITE, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL);
    REQUIRE_TRUE(held.opened());
    other::RemoveFolder(folder);
    CHECK_EQ(Attempt(other, kRead0), ERROR_FILE_NOT_FOUND);
    CHECK_EQ(FileAttributesOf(kept), FILE_ATTRIBUTE_ARCHIVE);
    CHECK_EQ(Attempt(other, kWrite0), 0);
  }
  other::RemoveFolder(folder);
  for (const Pass& pass : {kWrite2, kWrite0, kRead2, kRead0}) {
    const Note which(pass.name);
    CHECK_EQ(Attempt(kept, pass), ERROR_PATH_NOT_FOUND);
  }
  CHECK_EQ(Delete(kept), ERROR_PATH_NOT_FOUND);
  CHECK_TRUE(MakeFolder(folder));
}

}  // namespace
}  // namespace behaviour
