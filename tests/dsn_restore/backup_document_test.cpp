#include "dsn_restore/backup_document.h"

#include <gmock/gmock.h>

#include "support/fake_platform_test.h"

namespace dsn_restore {

void PrintTo(const BackupMember& m, std::ostream* os) {
  *os << "{\"" << win32::fake::Utf8ForPrinting(m.name) << "\": \"" << win32::fake::Utf8ForPrinting(m.value)
      << "\"}";
}

namespace {

using ::testing::ElementsAre;

std::vector<BackupMember> MembersOf(std::u16string_view text) {
  const BackupDocument document = ReadBackupDocument(text);
  const auto* members = std::get_if<BackupMembers>(&document);
  EXPECT_NE(members, nullptr) << win32::fake::Utf8ForPrinting(text);
  return members != nullptr ? members->members : std::vector<BackupMember>{};
}

TEST(ReadBackupDocument, TakesStringMembersInDocumentOrder) {
  EXPECT_THAT(MembersOf(u"{\"Server\":\"db1\",\"Port\":\"5432\",\"\":\"default\",\"Port\":\"6543\"}"),
              ElementsAre(BackupMember{u"Server", u"db1"}, BackupMember{u"Port", u"5432"},
                          BackupMember{u"", u"default"}, BackupMember{u"Port", u"6543"}));
  EXPECT_THAT(MembersOf(u" \r\n\t{\"a\":\"\"} \r\n\t"), ElementsAre(BackupMember{u"a", u""}));
}

TEST(ReadBackupDocument, DecodesUnicodeWhetherTypedOrEscaped) {
  struct Case {
    std::u16string json;
    BackupMember member;
  };
  const Case cases[] = {
      {u"{\"caf\u00e9\":\"\u00e9\"}", {u"caf\u00e9", u"\u00e9"}},
      {u"{\"e\":\"\\u00e9\"}", {u"e", u"\u00e9"}},
      {u"{\"cjk\":\"\u6570\u636e\u5e93\"}", {u"cjk", u"\u6570\u636e\u5e93"}},
      {u"{\"emoji\":\"\U0001F600\"}", {u"emoji", u"\U0001F600"}},
      {u"{\"emoji\":\"\\ud83d\\ude00\"}", {u"emoji", u"\U0001F600"}},
      {u"{\"\u0100\":\"\u0100\"}", {u"\u0100", u"\u0100"}},
      {u"{\"cut\\u0000name\":\"cut\\u0000value\"}", {u"cut", u"cut"}},
      {u"{\"tab\":\"a\\tb\\\"c\\\\\"}", {u"tab", u"a\tb\"c\\"}},
  };
  for (const Case& c : cases) {
    EXPECT_THAT(MembersOf(c.json), ElementsAre(c.member));
  }
}

TEST(ReadBackupDocument, RefusesTextThatIsNotStrictJson) {
  struct Case {
    const char* name;
    std::u16string text;
    std::u16string message;
    std::size_t position;
  };
  const Case cases[] = {
      {"lone word", u"hello", u"unexpected character, expected a valid root value", 0},
      {"trailing comma", u"{\"a\":\"b\",}", u"", 0},
      {"comment", u"{\"a\":\"b\"} // note", u"", 0},
      {"truncated", u"{\"a\":\"b\"", u"", 0},
      {"NaN", u"{\"a\":NaN}", u"", 0},
      {"unpaired surrogate unit", u"{\"a\":\"\xD800\"}", u"unpaired surrogate in UTF-16 text", 6},
      {"unpaired surrogate escape", u"{\"a\":\"\\ud800\"}", u"", 0},
      {"document cut by U+0000", std::u16string(u"{\"a\":\0\"b\"}", 10), u"", 0},
  };
  for (const Case& c : cases) {
    const BackupDocument document = ReadBackupDocument(c.text);
    const auto* unreadable = std::get_if<UnreadableBackup>(&document);
    ASSERT_NE(unreadable, nullptr) << c.name;
    EXPECT_FALSE(unreadable->readerMessage.empty()) << c.name;
    if (!c.message.empty()) {
      EXPECT_EQ(unreadable->readerMessage, c.message) << c.name;
      EXPECT_EQ(unreadable->bytePosition, c.position) << c.name;
    }
  }
}

TEST(ReadBackupDocument, ReportsTheReaderMessageAndBytePosition) {
  // "é" is two bytes in UTF-8, so the stray character stands at byte 10.
  const BackupDocument document = ReadBackupDocument(u"{\"\u00e9\":\"x\" x}");
  const auto* unreadable = std::get_if<UnreadableBackup>(&document);
  ASSERT_NE(unreadable, nullptr);
  EXPECT_EQ(unreadable->readerMessage, u"unexpected character, expected a comma or a closing brace");
  EXPECT_EQ(unreadable->bytePosition, 10u);
}

TEST(ReadBackupDocument, RootWithoutMembersIsRefusedQuietly) {
  for (const std::u16string text : {u"{}", u"[]", u"[{\"a\":\"b\"}]", u"\"text\"", u"42", u"true", u"null"}) {
    EXPECT_TRUE(std::holds_alternative<NoBackupMembers>(ReadBackupDocument(text)))
        << win32::fake::Utf8ForPrinting(text);
  }
}

TEST(ReadBackupDocument, NamesTheFirstMemberThatIsNotAString) {
  for (const std::u16string value : {u"5432", u"true", u"null", u"[]", u"{}", u"1.5"}) {
    const BackupDocument document = ReadBackupDocument(u"{\"Server\":\"db1\",\"Port\":" + value + u",\"x\":1}");
    const auto* member = std::get_if<NonStringMember>(&document);
    ASSERT_NE(member, nullptr) << win32::fake::Utf8ForPrinting(value);
    EXPECT_EQ(member->name, u"Port");
  }
}

}  // namespace
}  // namespace dsn_restore
