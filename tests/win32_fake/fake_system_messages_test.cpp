// System texts, the local heap and message boxes on the fake.
#include <gmock/gmock.h>

#include "support/fake_platform_test.h"
#include "win32/api.h"
#include "win32/unique_handles.h"

namespace {

using namespace win32::fake;
using ::testing::ElementsAre;

constexpr DWORD kSystemFlags =
    FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_FROM_SYSTEM;

class FakeSystemMessagesTest : public FakePlatformTest {};

TEST_F(FakeSystemMessagesTest, GivesTheSystemTextInABufferThatMustBeFreed) {
  char16_t* buffer = nullptr;
  EXPECT_EQ(win32::FormatMessageW(kSystemFlags, ERROR_ACCESS_DENIED, 0x0400, &buffer), 19u);
  ASSERT_NE(buffer, nullptr);
  EXPECT_EQ(std::u16string(buffer), u"Access is denied.\r\n");
  EXPECT_EQ(LocalAllocationCount(), 1);
  EXPECT_EQ(win32::LocalFree(buffer), nullptr);
  EXPECT_EQ(LocalAllocationCount(), 0);
}

TEST_F(FakeSystemMessagesTest, CodeWithoutTextGivesNothing) {
  win32::UniqueLocalText text;
  EXPECT_EQ(win32::FormatMessageW(kSystemFlags, 0xDEAD, 0, text.put()), 0u);
  EXPECT_EQ(text.get(), nullptr);
  SetSystemMessage(5, std::nullopt);
  EXPECT_EQ(win32::FormatMessageW(kSystemFlags, 5, 0, text.put()), 0u);
  SetSystemMessage(5, u"line one\r\nline two\r\n");
  EXPECT_EQ(win32::FormatMessageW(kSystemFlags, 5, 0, text.put()), 20u);
}

TEST_F(FakeSystemMessagesTest, BoxesAreRecordedAndAnsweredAsScriptedOrWithTheirDefault) {
  AnswerNextBox(IDNO);
  EXPECT_EQ(win32::MessageBoxW(u"Go?", u"Ask", MB_YESNOCANCEL), IDNO);
  EXPECT_EQ(win32::MessageBoxW(u"Go?", u"Ask", MB_YESNOCANCEL), IDYES);
  EXPECT_EQ(win32::MessageBoxW(u"Done", u"Tell", MB_OK), IDOK);
  FailCall(Call::MessageBoxW, 0);
  EXPECT_EQ(win32::MessageBoxW(u"Lost", u"Tell", MB_OK), 0);
  EXPECT_THAT(ShownBoxes(), ElementsAre(ShownBox{u"Go?", u"Ask", MB_YESNOCANCEL},
                                        ShownBox{u"Go?", u"Ask", MB_YESNOCANCEL}, ShownBox{u"Done", u"Tell", MB_OK}));
}

}  // namespace
