#pragma once
// Windows compares registry and file names without regard to letter case by
// upcasing each UTF-16 unit through its own table (upcase_table.cpp, made by
// make_upcase_table.py). A letter outside the Basic Multilingual Plane is a
// surrogate pair, whose halves have no upper case: it is never folded.

namespace win32::fake {

char16_t UpcaseUnit(char16_t unit);

}  // namespace win32::fake
