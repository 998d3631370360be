#pragma once
// The Win32 types and constants that the tools use. The Windows builds take
// them from <windows.h>; the Linux build, where the logic runs on the fake,
// takes the same names, values and sizes from linux_types.h.
#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#include <shlobj.h>
#else
#include "win32/linux_types.h"
#endif

static_assert(sizeof(DWORD) == 4 && sizeof(LONG) == 4, "Win32 sizes");
