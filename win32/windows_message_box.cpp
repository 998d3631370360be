// The seam's Windows side for message boxes.
#include "win32/api.h"
#include "win32/windows_text.h"

namespace win32 {

int MessageBoxW(const char16_t* text, const char16_t* caption, UINT type) {
  return ::MessageBoxW(nullptr, AsWide(text), AsWide(caption), type);
}

}  // namespace win32
