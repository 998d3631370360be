#include "cache_access_check/file_test_pass.h"

#include <gmock/gmock.h>

#include "support/fake_platform_test.h"

namespace cache_access_check {
namespace {

using namespace win32::fake;
using ::testing::ElementsAre;
using ::testing::IsEmpty;
using ::testing::UnorderedElementsAre;

const std::vector<DWORD> kShareModes = {FILE_SHARE_WRITE, 0};
const std::vector<DWORD> kAttributes = {FILE_ATTRIBUTE_NORMAL, FILE_ATTRIBUTE_ENCRYPTED, 0};

class FileTestPassTest : public FakePlatformTest {
 protected:
  static int Write(const std::u16string& folder) {
    return RunFileTests(folder, GENERIC_WRITE, kShareModes, kAttributes, CREATE_ALWAYS);
  }
  static int Read(const std::u16string& folder) {
    return RunFileTests(folder, GENERIC_READ, kShareModes, kAttributes, OPEN_EXISTING);
  }
};

TEST_F(FileTestPassTest, WritingPassLeavesSixFilesAndTheReadingPassRemovesThem) {
  EXPECT_EQ(Write(u"."), 0);
  EXPECT_THAT(FilePaths(), UnorderedElementsAre(u".\\test_2_128.txt", u".\\test_2_16384.txt", u".\\test_2_0.txt",
                                                u".\\test_0_128.txt", u".\\test_0_16384.txt", u".\\test_0_0.txt"));
  EXPECT_EQ(Read(u"."), 0);
  EXPECT_THAT(FilePaths(), IsEmpty());
  EXPECT_EQ(StandardOutput(), u"");
}

TEST_F(FileTestPassTest, EachFailureIsOneErrorLineInMatrixOrder) {
  FailAttribute(FILE_ATTRIBUTE_ENCRYPTED, ERROR_ACCESS_DENIED);
  EXPECT_EQ(Write(u"."), 2);
  EXPECT_EQ(Read(u"."), 2);  // the files that were never made cannot be opened
  EXPECT_EQ(StandardOutput(),
            u"Error creating file .\\test_2_16384.txt: Access is denied. (5)\n"
            u"Error creating file .\\test_0_16384.txt: Access is denied. (5)\n"
            u"Error opening file .\\test_2_16384.txt: The system cannot find the file specified. (2)\n"
            u"Error opening file .\\test_0_16384.txt: The system cannot find the file specified. (2)\n");
  EXPECT_EQ(StandardOutputFlushes(), 4);
  EXPECT_THAT(FilePaths(), IsEmpty());
}

TEST_F(FileTestPassTest, MissingFolderFailsEveryAttemptWithThePathCode) {
  EXPECT_EQ(Write(u"C:\\Nowhere"), 6);
  EXPECT_EQ(Read(u"C:\\Nowhere"), 6);
  EXPECT_PRED2(StartsWith, StandardOutput(), u"Error creating file C:\\Nowhere\\test_2_128.txt: "
                                    u"The system cannot find the path specified. (3)\n");
  EXPECT_PRED2(EndsWith, StandardOutput(), u"Error opening file C:\\Nowhere\\test_0_0.txt: "
                                  u"The system cannot find the path specified. (3)\n");
}

// With no system text, FormatMessageW sets a last error of its own: the line
// must still show the failed open's code.
TEST_F(FileTestPassTest, ErrorTextJoinsTheLinesOfTheSystemTextOrIsOnlyTheCode) {
  struct Case {
    std::optional<std::u16string> systemText;
    std::u16string line;
  };
  const Case cases[] = {
      {u"First line.\r\nSecond line. \r\n", u"Error creating file .\\test_0_0.txt: First line.Second line.  (5)\n"},
      {u"Bare\rreturns\nand feeds", u"Error creating file .\\test_0_0.txt: Barereturnsand feeds (5)\n"},
      {std::nullopt, u"Error creating file .\\test_0_0.txt:  (5)\n"},
  };
  for (const Case& c : cases) {
    Reset();
    AddFile(u".\\test_0_0.txt", FILE_ATTRIBUTE_READONLY);
    SetSystemMessage(ERROR_ACCESS_DENIED, c.systemText);
    EXPECT_EQ(RunFileTests(u".", GENERIC_WRITE, {0}, {0}, CREATE_ALWAYS), 1);
    EXPECT_EQ(StandardOutput(), c.line);
  }
}

// A test file an earlier run or another program left hidden or system: the
// writing pass asks for other attributes, which Windows refuses; the reading
// pass still opens it, and deletes it.
TEST_F(FileTestPassTest, LeftoverHiddenOrSystemTestFileIsRefusedToTheWritingPassThenDeleted) {
  for (const DWORD left : {FILE_ATTRIBUTE_HIDDEN, FILE_ATTRIBUTE_SYSTEM, FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM}) {
    Reset();
    AddFile(u".\\test_0_16384.txt", left);
    EXPECT_EQ(Write(u"."), 1);
    EXPECT_EQ(Read(u"."), 0);
    EXPECT_EQ(StandardOutput(), u"Error creating file .\\test_0_16384.txt: Access is denied. (5)\n") << left;
    EXPECT_THAT(FilePaths(), IsEmpty()) << left;
  }
}

TEST_F(FileTestPassTest, OtherAccessOpensWithoutDeleting) {
  AddFile(u".\\test_0_0.txt");
  EXPECT_EQ(RunFileTests(u".", GENERIC_READ | GENERIC_WRITE, {0}, {0, 128}, OPEN_EXISTING), 1);
  EXPECT_EQ(StandardOutput(),
            u"Error opening file .\\test_0_128.txt: The system cannot find the file specified. (2)\n");
  EXPECT_THAT(FilePaths(), ElementsAre(u".\\test_0_0.txt"));
  EXPECT_EQ(CallCount(Call::DeleteFileW), 0);
}

TEST_F(FileTestPassTest, EmptyListsMakeNoAttempt) {
  EXPECT_EQ(RunFileTests(u".", GENERIC_WRITE, {}, kAttributes, CREATE_ALWAYS), 0);
  EXPECT_EQ(RunFileTests(u".", GENERIC_READ, kShareModes, {}, OPEN_EXISTING), 0);
  EXPECT_EQ(StandardOutput(), u"");
  EXPECT_EQ(CallCount(Call::CreateFileW), 0);
}

TEST_F(FileTestPassTest, FolderEndingInABackslashIsUsedUnchanged) {
  AddFolder(u"D:\\");
  EXPECT_EQ(RunFileTests(u"D:\\", GENERIC_WRITE, {0}, {0}, CREATE_ALWAYS), 0);
  EXPECT_THAT(FilePaths(), ElementsAre(u"D:\\\\test_0_0.txt"));
}

TEST_F(FileTestPassTest, FileOpenElsewhereWithoutSharingIsASharingViolation) {
  AddFile(u".\\test_0_0.txt");
  const HANDLE held = win32::CreateFileW(u".\\test_0_0.txt", GENERIC_READ, 0, OPEN_EXISTING, 0);
  EXPECT_EQ(Read(u"."), 6);
  EXPECT_PRED2(HasSubstr, StandardOutput(), u"Error opening file .\\test_0_0.txt: The process cannot access "
                                                     u"the file because it is being used by another process. (32)\n");
  EXPECT_TRUE(FileExists(u".\\test_0_0.txt"));  // its delete failed, silently
  win32::CloseHandle(held);
}

TEST_F(FileTestPassTest, ReportClosesAValidHandleEvenANullOne) {
  EXPECT_EQ(ReportOpenResult(u"x", u"creating", win32::UniqueFileHandle(nullptr)), 0);
  EXPECT_EQ(CallCount(Call::CloseHandle), 1);
  EXPECT_EQ(StandardOutput(), u"");
}

}  // namespace
}  // namespace cache_access_check
