#include "cache_access_check/check_run.h"

#include <gmock/gmock.h>

#include "support/fake_platform_test.h"

namespace cache_access_check {
namespace {

using namespace win32::fake;
using ::testing::IsEmpty;

const std::u16string kLocal = u"C:\\Users\\tester\\AppData\\Local";
const std::u16string kCache = kLocal + u"\\Halvernik ODBC Driver\\Cache";

class CheckRunTest : public FakePlatformTest {
 protected:
  void SetUp() override {
    FakePlatformTest::SetUp();
    SetLocalAppData(S_OK, kLocal);
  }
};

int CountOf(const std::u16string& text, const std::u16string& part) {
  int count = 0;
  for (auto at = text.find(part); at != std::u16string::npos; at = text.find(part, at + 1)) {
    ++count;
  }
  return count;
}

TEST_F(CheckRunTest, EverythingUsableGivesOnlyTheVerdictThenWaitsForOneCharacter) {
  AddFolder(kCache);
  SetStandardInput('\n');
  EXPECT_EQ(RunCacheAccessCheck(), 0);
  EXPECT_EQ(StandardOutput(), u"All tests passed successfully.\n");
  EXPECT_EQ(StandardInputReads(), 1);
  EXPECT_THAT(FilePaths(), IsEmpty());
  EXPECT_EQ(CallCount(Call::CreateFileW), 24);
}

TEST_F(CheckRunTest, MissingCacheFolderGivesTwelveErrorLinesAndStillTestsTheCurrentDirectory) {
  EXPECT_EQ(RunCacheAccessCheck(), 0);  // standard input at its end: no wait
  const std::u16string& out = StandardOutput();
  EXPECT_EQ(CountOf(out, u"Error creating file " + kCache + u"\\test_"), 6);
  EXPECT_EQ(CountOf(out, u"Error opening file " + kCache + u"\\test_"), 6);
  EXPECT_EQ(CountOf(out, u"The system cannot find the path specified. (3)\n"), 12);
  EXPECT_PRED2(EndsWith, out, u"\n12 errors occurred during file creation tests.\n");
  EXPECT_EQ(CountOf(out, u"\n"), 13);
  EXPECT_FALSE(FolderExists(kCache));  // nothing creates it
}

TEST_F(CheckRunTest, OneFailureGivesItsLineAndACountOfOne) {
  AddFolder(kCache);
  AddFolder(u".\\test_0_0.txt");  // a folder where a test file would go
  RunCacheAccessCheck();
  EXPECT_EQ(StandardOutput(),
            u"Error creating file .\\test_0_0.txt: Access is denied. (5)\n"
            u"Error opening file .\\test_0_0.txt: Access is denied. (5)\n"
            u"2 errors occurred during file creation tests.\n");
  EXPECT_TRUE(FolderExists(u".\\test_0_0.txt"));

  Reset();
  SetLocalAppData(S_OK, kLocal);
  AddFolder(kCache);
  FailCall(Call::CreateFileW, ERROR_DISK_FULL, 1);
  RunCacheAccessCheck();
  EXPECT_EQ(StandardOutput(),
            u"Error creating file " + kCache + u"\\test_2_128.txt: There is not enough space on the disk. (112)\n"
            u"Error opening file " + kCache + u"\\test_2_128.txt: The system cannot find the file specified. (2)\n"
            u"2 errors occurred during file creation tests.\n");
}

TEST_F(CheckRunTest, LeftoverHiddenTestFileIsOneErrorAndIsGoneAfterTheRun) {
  AddFile(kCache + u"\\test_2_128.txt", FILE_ATTRIBUTE_HIDDEN);
  RunCacheAccessCheck();
  EXPECT_EQ(StandardOutput(), u"Error creating file " + kCache + u"\\test_2_128.txt: Access is denied. (5)\n"
                              u"1 errors occurred during file creation tests.\n");
  EXPECT_THAT(FilePaths(), IsEmpty());
}

TEST_F(CheckRunTest, FolderLookupThatFailsSkipsTheCacheFolderSilently) {
  for (const HRESULT result : {E_FAIL, S_FALSE}) {
    Reset();
    SetLocalAppData(result, kLocal);
    FailFolder(u".", ERROR_ACCESS_DENIED);
    RunCacheAccessCheck();
    EXPECT_EQ(CountOf(StandardOutput(), u"Error "), 12);
    EXPECT_EQ(CountOf(StandardOutput(), u"Error creating file .\\test_"), 6);
    EXPECT_PRED2(EndsWith, StandardOutput(), u"(5)\n12 errors occurred during file creation tests.\n");
    EXPECT_EQ(CountOf(StandardOutput(), u"AccessToken"), 0);
  }
}

TEST_F(CheckRunTest, PathThatCannotBeConvertedIsSaidWithNoEndOfLine) {
  FailUtf8Conversion();
  FailFolder(u".", ERROR_ACCESS_DENIED);
  RunCacheAccessCheck();
  EXPECT_PRED2(StartsWith, StandardOutput(), u"AccessToken: Failed to convert AppData path " + kLocal +
                                    u" to UTF-8Error creating file .\\test_2_128.txt: Access is denied. (5)\n");
  EXPECT_EQ(CountOf(StandardOutput(), u"Error "), 12);

  Reset();
  SetLocalAppData(S_OK, kLocal);
  FailUtf8Conversion();
  RunCacheAccessCheck();
  EXPECT_EQ(StandardOutput(), u"AccessToken: Failed to convert AppData path " + kLocal +
                                  u" to UTF-8All tests passed successfully.\n");
}

TEST_F(CheckRunTest, CacheFolderIsBuiltWithOneSeparator) {
  struct Case {
    std::u16string local;
    std::u16string cache;
  };
  const Case cases[] = {
      {u"C:\\Users\\tester\\AppData\\Local", kCache},
      {u"D:\\", u"D:\\Halvernik ODBC Driver\\Cache"},
      {u"E:\\Data\\\\", u"E:\\Data\\\\Halvernik ODBC Driver\\Cache"},  // one backslash removed, no more
      {u"C:\\Users\\Jos\u00e9\\AppData\\Local", u"C:\\Users\\Jos\u00e9\\AppData\\Local\\Halvernik ODBC Driver\\Cache"},
  };
  for (const Case& c : cases) {
    SetLocalAppData(S_OK, c.local);
    EXPECT_EQ(GetCacheFolder(), c.cache);
  }
  EXPECT_EQ(StandardOutput(), u"");
}

}  // namespace
}  // namespace cache_access_check
