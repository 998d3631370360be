// The system's texts for the codes the tools show, as FormatMessageW gives
// them (allocated, with their line end), and the shell's folder lookup.
#include "tests/behaviour/behaviour_case.h"
#include "tests/behaviour/declared_differences.h"
#include "win32/api.h"
#include "win32/unique_handles.h"

namespace behaviour {
namespace {

constexpr DWORD kFromSystem =
    FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_FROM_SYSTEM;

struct Text {
  DWORD units = 0;
  std::u16string text;
  DWORD error = 0;
};

Text SystemText(DWORD code, DWORD language) {
  win32::UniqueLocalText buffer;
  Text t;
  t.units = win32::FormatMessageW(kFromSystem, code, language, buffer.put());
  if (t.units != 0 && buffer.get() != nullptr) {
    t.text.assign(buffer.get(), t.units);
  } else {
    t.error = win32::GetLastError();
  }
  return t;
}

// Windows' texts (en-US), as Microsoft's System Error Codes pages list them,
// and Wine's own: each ends with CR LF. Every code a tool shows, or that the
// sweeps make a call give (injected, or from the state another program left).
struct Row {
  DWORD code;
  std::u16string windows;
  std::u16string wine;
};

const Row kRows[] = {
    {0, u"The operation completed successfully.\r\n", u"Success.\r\n"},
    {2, u"The system cannot find the file specified.\r\n", u"File not found.\r\n"},
    {3, u"The system cannot find the path specified.\r\n", u"Path not found.\r\n"},
    {5, u"Access is denied.\r\n", u"Access denied.\r\n"},
    {6, u"The handle is invalid.\r\n", u"Invalid handle.\r\n"},
    {8, u"Not enough memory resources are available to process this command.\r\n", u"Not enough memory.\r\n"},
    {32, u"The process cannot access the file because it is being used by another process.\r\n",
     u"Sharing violation.\r\n"},
    {80, u"The file exists.\r\n", u"File exists.\r\n"},
    {87, u"The parameter is incorrect.\r\n", u"Invalid parameter.\r\n"},
    {109, u"The pipe has been ended.\r\n", u"Broken pipe.\r\n"},
    {112, u"There is not enough space on the disk.\r\n", u"Disk full.\r\n"},
    {123, u"The filename, directory name, or volume label syntax is incorrect.\r\n", u"Invalid name.\r\n"},
    {161, u"The specified path is invalid.\r\n", u"Path is invalid.\r\n"},
    {183, u"Cannot create a file when that file already exists.\r\n", u"File already exists.\r\n"},
    {206, u"The filename or extension is too long.\r\n", u"File name is too long.\r\n"},
    {234, u"More data is available.\r\n", u"More data available.\r\n"},
    {259, u"No more data is available.\r\n", u"No more data available.\r\n"},
    {317, u"The system cannot find message text for message number 0x%1 in the message file for %2.\r\n",
     u"Message 0x%1 not found in file %2.\r\n"},
    {1018, u"Illegal operation attempted on a registry key that has been marked for deletion.\r\n",
     u"Key deleted.\r\n"},
    {1113, u"No mapping for the Unicode character exists in the target multi-byte code page.\r\n",
     u"No Unicode translation.\r\n"},
    {1450, u"Insufficient system resources exist to complete the requested service.\r\n", u"No system resources.\r\n"},
};

BEHAVIOUR_CASE(SystemMessages, TextOfEachCodeTheToolsShow) {
  for (const Row& row : kRows) {
    const Note note("code " + std::to_string(row.code));
    const std::u16string expected = WindowsOrWine(kSystemTexts, row.windows, row.wine);
    for (const DWORD language : {DWORD{0}, DWORD{0x0400}}) {
      const Text t = SystemText(row.code, language);
      CHECK_EQ(t.text, expected);
      CHECK_EQ(t.units, expected.size());
    }
  }
}

BEHAVIOUR_CASE(SystemMessages, CodeWithoutATextGivesNothing) {
  const Text t = SystemText(0xDEAD, 0x0400);
  CHECK_EQ(t.units, 0);
  CHECK_EQ(t.text, u"");
  CHECK_EQ(t.error, ERROR_MR_MID_NOT_FOUND);
}

BEHAVIOUR_CASE(ShellFolders, LocalApplicationDataIsAnAbsolutePath) {
  char16_t path[MAX_PATH] = {};
  REQUIRE_EQ(win32::SHGetFolderPathW(CSIDL_LOCAL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, path), S_OK);
  const std::u16string folder(path);
  REQUIRE_TRUE(folder.size() > 3);
  CHECK_TRUE(folder[1] == u':' && folder[2] == u'\\');
  CHECK_TRUE(folder.back() != u'\\');
  CHECK_EQ(win32::WideCharToMultiByte(CP_UTF8, 0, path, -1, nullptr, 0), folder.size() + 1);
}

}  // namespace
}  // namespace behaviour
