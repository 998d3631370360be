// The text conversions, at every edge of the encodings: dsn-restore's own
// (NarrowText, WidenText), the check's UTF-8 probe through the seam, and,
// where a real Win32 runs the cases, the platform's WideCharToMultiByte and
// MultiByteToWideChar with their error flags. The tables hold the expected
// bytes and units themselves, so that the model's run checks the tools
// against the same expectations.
#include "dsn_restore/text_conversion.h"
#include "tests/behaviour/behaviour_case.h"
#include "tests/behaviour/declared_differences.h"
#include "tests/behaviour/platform.h"
#include "win32/api.h"

namespace behaviour {
namespace {

// UTF-16 that converts: its UTF-8.
struct Utf16Row {
  const char* name;
  std::u16string units;
  std::string bytes;
};

const Utf16Row kUtf16Rows[] = {
    {"U+007F", u"\u007F", "\x7F"},
    {"U+0080", u"\u0080", "\xC2\x80"},
    {"U+07FF", u"\u07FF", "\xDF\xBF"},
    {"U+0800", u"\u0800", "\xE0\xA0\x80"},
    {"U+D7FF", u"\uD7FF", "\xED\x9F\xBF"},
    {"U+E000", u"\uE000", "\xEE\x80\x80"},
    {"U+FFFD", u"\uFFFD", "\xEF\xBF\xBD"},
    {"U+FFFF", u"\uFFFF", "\xEF\xBF\xBF"},
    {"D800 DC00 (U+10000)", u"\xD800\xDC00", "\xF0\x90\x80\x80"},
    {"D800 DFFF (U+103FF)", u"\xD800\xDFFF", "\xF0\x90\x8F\xBF"},
    {"DBFF DC00 (U+10FC00)", u"\xDBFF\xDC00", "\xF4\x8F\xB0\x80"},
    {"DBFF DFFF (U+10FFFF)", u"\xDBFF\xDFFF", "\xF4\x8F\xBF\xBF"},
    {"text around an emoji", u"a\U0001F600z", "a\xF0\x9F\x98\x80z"},
};

// UTF-16 with a surrogate alone: NarrowText stops before it; the platform
// fails under WC_ERR_INVALID_CHARS and writes U+FFFD for it otherwise.
struct LoneRow {
  const char* name;
  std::u16string units;
  std::string before;    // what NarrowText keeps
  std::string replaced;  // the UTF-8 without WC_ERR_INVALID_CHARS
};

const LoneRow kLoneRows[] = {
    {"D800 alone", u"a\xD800z", "a", "a\xEF\xBF\xBDz"},
    {"DBFF at the end", u"ab\xDBFF", "ab", "ab\xEF\xBF\xBD"},
    {"DC00 alone", u"\xDC00z", "", "\xEF\xBF\xBDz"},
    {"DFFF after text", u"\u00E9\xDFFF", "\xC3\xA9", "\xC3\xA9\xEF\xBF\xBD"},
    {"DC00 before D800", u"\xDC00\xD800", "", "\xEF\xBF\xBD\xEF\xBF\xBD"},
    {"D800 before a letter", u"\xD800z", "", "\xEF\xBF\xBDz"},
};

// UTF-8, well formed or not: the UTF-16 WidenText makes of it. The platform
// fails on every malformed one under MB_ERR_INVALID_CHARS.
struct Utf8Row {
  const char* name;
  std::string bytes;
  std::u16string units;
  bool wellFormed;
};

const Utf8Row kUtf8Rows[] = {
    {"U+007F", "\x7F", u"\u007F", true},
    {"U+0080, the shortest two bytes", "\xC2\x80", u"\u0080", true},
    {"U+07FF", "\xDF\xBF", u"\u07FF", true},
    {"U+0800", "\xE0\xA0\x80", u"\u0800", true},
    {"U+D7FF", "\xED\x9F\xBF", u"\uD7FF", true},
    {"U+E000", "\xEE\x80\x80", u"\uE000", true},
    {"U+FFFD", "\xEF\xBF\xBD", u"\uFFFD", true},
    {"U+FFFF", "\xEF\xBF\xBF", u"\uFFFF", true},
    {"U+10000", "\xF0\x90\x80\x80", u"\xD800\xDC00", true},
    {"U+10FFFF", "\xF4\x8F\xBF\xBF", u"\xDBFF\xDFFF", true},
    {"lone continuation 80", "a\x80z", u"a\uFFFDz", false},
    {"lone continuation BF", "\xBF", u"\uFFFD", false},
    {"overlong NUL C0 80", "\xC0\x80", u"\uFFFD", false},
    {"overlong C1 BF", "\xC1\xBF", u"\uFFFD", false},
    {"overlong three bytes E0 9F BF", "\xE0\x9F\xBF", u"\uFFFD", false},
    {"overlong four bytes F0 8F BF BF", "\xF0\x8F\xBF\xBF", u"\uFFFD", false},
    {"encoded D800", "\xED\xA0\x80", u"\uFFFD", false},
    {"encoded DFFF", "\xED\xBF\xBF", u"\uFFFD", false},
    {"past U+10FFFF", "\xF4\x90\x80\x80", u"\uFFFD", false},
    {"continuation missing before a letter", "\xC3z", u"\uFFFDz", false},
    {"second continuation missing", "\xE2\x82z", u"\uFFFDz", false},
    {"a lead byte where a continuation should be", "\xC3\xC3\xA9", u"\uFFFD\u00E9", false},
    {"cut short by the end", "a\xC3", u"a\uFFFD", false},
    {"FF", "\xFF", u"\uFFFD", false},
};

std::string Named(const char* name) { return name; }

BEHAVIOUR_CASE(TextConversion, Utf16ToUtf8AtEachEdge) {
  for (const Utf16Row& row : kUtf16Rows) {
    const Note note(Named(row.name));
    const dsn_restore::Utf8Text narrow = dsn_restore::NarrowText(row.units);
    CHECK_EQ(narrow.bytes, row.bytes);
    CHECK_TRUE(!narrow.unpairedSurrogateAt);
    if (const auto platform = PlatformToUtf8(row.units, WC_ERR_INVALID_CHARS)) {
      CHECK_EQ(platform->bytes, row.bytes);
      CHECK_EQ(platform->error, ERROR_SUCCESS);
    }
  }
}

BEHAVIOUR_CASE(TextConversion, Utf16WithALoneSurrogate) {
  for (const LoneRow& row : kLoneRows) {
    const Note note(Named(row.name));
    const dsn_restore::Utf8Text narrow = dsn_restore::NarrowText(row.units);
    CHECK_EQ(narrow.bytes, row.before);
    CHECK_EQ(narrow.unpairedSurrogateAt, std::optional<std::size_t>(row.before.size()));
    if (const auto strict = PlatformToUtf8(row.units, WC_ERR_INVALID_CHARS)) {
      CHECK_EQ(strict->result, 0);
      CHECK_EQ(strict->error, ERROR_NO_UNICODE_TRANSLATION);
    }
    if (const auto replacing = PlatformToUtf8(row.units, 0)) {
      CHECK_EQ(replacing->bytes, row.replaced);
    }
  }
}

BEHAVIOUR_CASE(TextConversion, Utf8ToUtf16AtEachEdge) {
  for (const Utf8Row& row : kUtf8Rows) {
    const Note note(Named(row.name));
    CHECK_EQ(dsn_restore::WidenText(row.bytes.c_str()), row.units);
    if (const auto platform = PlatformFromUtf8(row.bytes, MB_ERR_INVALID_CHARS)) {
      if (row.wellFormed) {
        CHECK_EQ(platform->units, row.units);
      } else {
        CHECK_EQ(platform->result, 0);
        CHECK_EQ(platform->error, ERROR_NO_UNICODE_TRANSLATION);
      }
    }
  }
}

// The check's probe, and the same call converting: the seam's
// WideCharToMultiByte into UTF-8, with no flag as the check calls it.
BEHAVIOUR_CASE(TextConversion, SeamUtf8ProbeGivesTheSizeAndTheBytes) {
  for (const Utf16Row& row : kUtf16Rows) {
    const Note note(Named(row.name));
    const int units = static_cast<int>(row.units.size());
    CHECK_EQ(win32::WideCharToMultiByte(CP_UTF8, 0, row.units.c_str(), units, nullptr, 0), row.bytes.size());
    // With the NUL, as the check asks (length -1).
    CHECK_EQ(win32::WideCharToMultiByte(CP_UTF8, 0, row.units.c_str(), -1, nullptr, 0), row.bytes.size() + 1);
    std::string bytes(row.bytes.size(), '\0');
    CHECK_EQ(
        win32::WideCharToMultiByte(CP_UTF8, 0, row.units.c_str(), units, bytes.data(), static_cast<int>(bytes.size())),
        row.bytes.size());
    CHECK_EQ(bytes, row.bytes);
  }
  for (const LoneRow& row : kLoneRows) {
    const Note note(Named(row.name));
    const int units = static_cast<int>(row.units.size());
    CHECK_EQ(win32::WideCharToMultiByte(CP_UTF8, 0, row.units.c_str(), units, nullptr, 0), row.replaced.size());
    CHECK_EQ(win32::WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, row.units.c_str(), units, nullptr, 0), 0);
    CHECK_EQ(win32::GetLastError(), ERROR_NO_UNICODE_TRANSLATION);
  }
}

// UTF-8 takes no flag but WC_ERR_INVALID_CHARS: a probe with another flag
// fails for every path, which the check would report as a path it cannot
// convert.
BEHAVIOUR_CASE(TextConversion, SeamUtf8ProbeRefusesOtherFlags) {
  const std::u16string path = u"C:\\Users\\Jos\u00e9\\AppData\\Local";
  struct Row {
    const char* name;
    DWORD flags;
  };
  const Row rows[] = {
      {"WC_COMPOSITECHECK", 0x200}, {"WC_DEFAULTCHAR", 0x40},        {"WC_DISCARDNS", 0x10},
      {"WC_SEPCHARS", 0x20},        {"WC_NO_BEST_FIT_CHARS", 0x400},
  };
  for (const Row& row : rows) {
    const Note note(row.name);
    const int refused = WindowsOrWine(kUtf8Flags, 0, 29);
    CHECK_EQ(win32::WideCharToMultiByte(CP_UTF8, row.flags, path.c_str(), -1, nullptr, 0), refused);
    if (refused == 0) {
      CHECK_EQ(win32::GetLastError(), ERROR_INVALID_FLAGS);
    }
  }
  CHECK_EQ(win32::WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, path.c_str(), -1, nullptr, 0), 29);
}

}  // namespace
}  // namespace behaviour
