// box-driver: runs a program inside Wine and answers its message boxes as a
// user would, recording each one (caption, body text, buttons, answer).
//
//   box-driver.exe LOG SHOTS ANSWERS PROGRAM [ARGS...]
//     LOG      file that receives one line per box, UTF-8:
//              caption TAB text TAB buttons TAB answer, with \\, \t, \r, \n escaped
//     SHOTS    folder for a BMP picture of each box (box-1.bmp, ...), or "-"
//     ANSWERS  comma-separated answers for the boxes in order: yes, no, cancel,
//              ok, close (the title bar's close button), enter (the default
//              button); once they are used up, every box gets enter
//   box-driver.exe --system-text CODE
//     prints the system's text for a Win32 error code, escaped as above
//   box-driver.exe --picture-window TITLE FILE
//     waits for a visible top-level window whose title contains TITLE (a
//     console window, say), saves a BMP picture of it in FILE and prints
//     its title
//
// Exits with the program's exit status, or 124 when it runs for more than
// ten minutes.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <set>
#include <string>
#include <vector>

namespace {

std::string Utf8(const std::wstring& text) {
  if (text.empty()) {
    return {};
  }
  const int bytes = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                        nullptr, nullptr);
  std::string out(static_cast<size_t>(bytes), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), bytes, nullptr, nullptr);
  return out;
}

std::wstring Escaped(const std::wstring& text) {
  std::wstring out;
  for (const wchar_t c : text) {
    switch (c) {
      case L'\\': out += L"\\\\"; break;
      case L'\t': out += L"\\t"; break;
      case L'\r': out += L"\\r"; break;
      case L'\n': out += L"\\n"; break;
      default: out += c;
    }
  }
  return out;
}

std::wstring WindowText(HWND window) {
  std::wstring text(static_cast<size_t>(GetWindowTextLengthW(window)) + 1, L'\0');
  text.resize(static_cast<size_t>(GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
  return text;
}

std::wstring ClassName(HWND window) {
  wchar_t name[64] = {};
  GetClassNameW(window, name, 64);
  return name;
}

struct Button {
  HWND window;
  int id;
  std::wstring text;
};

std::vector<Button> Buttons(HWND box) {
  std::vector<Button> buttons;
  EnumChildWindows(
      box,
      [](HWND child, LPARAM param) -> BOOL {
        if (ClassName(child) == L"Button" && IsWindowVisible(child)) {
          std::wstring text = WindowText(child);
          text.erase(std::remove(text.begin(), text.end(), L'&'), text.end());
          reinterpret_cast<std::vector<Button>*>(param)->push_back({child, GetDlgCtrlID(child), text});
        }
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&buttons));
  return buttons;
}

// The body of a message box is the static control with the id 0xFFFF.
std::wstring BoxText(HWND box) {
  const HWND text = GetDlgItem(box, 0xFFFF);
  return text != nullptr ? WindowText(text) : L"";
}

void SaveBitmap(HWND box, const std::wstring& path) {
  RedrawWindow(box, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
  Sleep(300);
  RECT rect{};
  GetWindowRect(box, &rect);
  const int width = rect.right - rect.left;
  const int height = rect.bottom - rect.top;
  const HDC screen = GetDC(nullptr);
  const HDC memory = CreateCompatibleDC(screen);
  const HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
  const HGDIOBJ old = SelectObject(memory, bitmap);
  BitBlt(memory, 0, 0, width, height, screen, rect.left, rect.top, SRCCOPY);
  SelectObject(memory, old);

  BITMAPINFOHEADER info{};
  info.biSize = sizeof info;
  info.biWidth = width;
  info.biHeight = height;
  info.biPlanes = 1;
  info.biBitCount = 24;
  info.biCompression = BI_RGB;
  const DWORD stride = (static_cast<DWORD>(width) * 3 + 3) & ~3u;
  std::vector<BYTE> pixels(stride * static_cast<DWORD>(height));
  GetDIBits(memory, bitmap, 0, static_cast<UINT>(height), pixels.data(), reinterpret_cast<BITMAPINFO*>(&info),
            DIB_RGB_COLORS);
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);

  BITMAPFILEHEADER file{};
  file.bfType = 0x4D42;
  file.bfOffBits = sizeof file + sizeof info;
  file.bfSize = file.bfOffBits + static_cast<DWORD>(pixels.size());
  if (FILE* out = _wfopen(path.c_str(), L"wb")) {
    fwrite(&file, sizeof file, 1, out);
    fwrite(&info, sizeof info, 1, out);
    fwrite(pixels.data(), 1, pixels.size(), out);
    fclose(out);
  }
}

// Presses the answer's button (by posting the click to the dialog, as the
// button itself does) and says which answer was given.
std::wstring Answer(HWND box, const std::wstring& answer) {
  if (answer == L"close") {
    PostMessageW(box, WM_SYSCOMMAND, SC_CLOSE, 0);
    return answer;
  }
  int id = 0;
  if (answer == L"yes") id = IDYES;
  else if (answer == L"no") id = IDNO;
  else if (answer == L"cancel") id = IDCANCEL;
  else if (answer == L"ok") id = IDOK;
  else id = LOWORD(SendMessageW(box, DM_GETDEFID, 0, 0));  // enter
  PostMessageW(box, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(box, id)));
  return answer;
}

std::vector<std::wstring> Split(const std::wstring& list) {
  std::vector<std::wstring> parts;
  size_t start = 0;
  while (start <= list.size()) {
    const size_t comma = list.find(L',', start);
    const std::wstring part = list.substr(start, comma == std::wstring::npos ? std::wstring::npos : comma - start);
    if (!part.empty()) {
      parts.push_back(part);
    }
    if (comma == std::wstring::npos) {
      break;
    }
    start = comma + 1;
  }
  return parts;
}

std::wstring Quoted(const std::wstring& arg) {
  std::wstring out = L"\"";
  for (const wchar_t c : arg) {
    if (c == L'"') out += L'\\';
    out += c;
  }
  return out + L"\"";
}

struct Search {
  DWORD processId;
  std::vector<HWND> boxes;
};

std::vector<HWND> VisibleBoxes(DWORD processId) {
  Search search{processId, {}};
  EnumWindows(
      [](HWND window, LPARAM param) -> BOOL {
        auto* s = reinterpret_cast<Search*>(param);
        DWORD owner = 0;
        GetWindowThreadProcessId(window, &owner);
        if (owner == s->processId && IsWindowVisible(window) && ClassName(window) == L"#32770") {
          s->boxes.push_back(window);
        }
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.boxes;
}

int PrintSystemText(DWORD code) {
  wchar_t* buffer = nullptr;
  const DWORD units = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_FROM_SYSTEM, nullptr, code, 0,
      reinterpret_cast<LPWSTR>(&buffer), 0, nullptr);
  const std::string text = Utf8(Escaped(units != 0 ? std::wstring(buffer, units) : L""));
  LocalFree(buffer);
  fwrite(text.data(), 1, text.size(), stdout);
  return 0;
}

struct TitleSearch {
  std::wstring part;
  HWND found;
};

int PictureWindow(const std::wstring& titlePart, const std::wstring& path) {
  TitleSearch search{titlePart, nullptr};
  for (int tries = 0; tries < 6000 && search.found == nullptr; ++tries) {
    Sleep(100);
    EnumWindows(
        [](HWND window, LPARAM param) -> BOOL {
          auto* s = reinterpret_cast<TitleSearch*>(param);
          if (IsWindowVisible(window) && WindowText(window).find(s->part) != std::wstring::npos) {
            s->found = window;
            return FALSE;
          }
          return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
  }
  if (search.found == nullptr) {
    fputs("box-driver: no such window\n", stderr);
    return 1;
  }
  Sleep(1000);  // let it draw its text
  SaveBitmap(search.found, path);
  const std::string title = Utf8(WindowText(search.found)) + "\n";
  fwrite(title.data(), 1, title.size(), stdout);
  return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc == 3 && std::wstring(argv[1]) == L"--system-text") {
    return PrintSystemText(wcstoul(argv[2], nullptr, 10));
  }
  if (argc == 4 && std::wstring(argv[1]) == L"--picture-window") {
    return PictureWindow(argv[2], argv[3]);
  }
  if (argc < 5) {
    fputs("usage: box-driver.exe LOG SHOTS ANSWERS PROGRAM [ARGS...]\n", stderr);
    return 2;
  }
  const std::wstring logPath = argv[1];
  const std::wstring shots = argv[2];
  const std::vector<std::wstring> answers = Split(argv[3]);
  std::wstring commandLine;
  for (int i = 4; i < argc; ++i) {
    commandLine += (i > 4 ? L" " : L"") + Quoted(argv[i]);
  }

  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                      &process)) {
    fprintf(stderr, "box-driver: cannot start the program (%lu)\n", GetLastError());
    return 2;
  }

  FILE* log = _wfopen(logPath.c_str(), L"wb");
  std::set<HWND> answered;
  size_t shown = 0;
  // Emulated, a 32-bit program takes about a minute to start.
  const ULONGLONG deadline = GetTickCount64() + 600000;
  bool finished = false;
  while (!finished) {
    finished = WaitForSingleObject(process.hProcess, 50) == WAIT_OBJECT_0;
    for (const HWND box : VisibleBoxes(process.dwProcessId)) {
      if (answered.count(box) != 0) {
        continue;
      }
      Sleep(150);  // let the box finish laying itself out
      ++shown;
      std::wstring buttons;
      for (const Button& button : Buttons(box)) {
        buttons += (buttons.empty() ? L"" : L",") + button.text;
      }
      if (shots != L"-") {
        SaveBitmap(box, shots + L"\\box-" + std::to_wstring(shown) + L".bmp");
      }
      const std::wstring caption = WindowText(box);
      const std::wstring text = BoxText(box);
      const std::wstring given = Answer(box, shown <= answers.size() ? answers[shown - 1] : L"enter");
      const std::string line =
          Utf8(Escaped(caption) + L"\t" + Escaped(text) + L"\t" + buttons + L"\t" + given) + "\n";
      if (log != nullptr) {
        fwrite(line.data(), 1, line.size(), log);
        fflush(log);
      }
      answered.insert(box);
    }
    if (!finished && GetTickCount64() > deadline) {
      TerminateProcess(process.hProcess, 124);
      finished = true;
    }
  }
  if (log != nullptr) {
    fclose(log);
  }
  DWORD status = 0;
  GetExitCodeProcess(process.hProcess, &status);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return static_cast<int>(status);
}
