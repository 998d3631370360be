#pragma once
// One pass of the file test over one folder: an attempt for every pair of a
// share mode and a flags-and-attributes value, one error line per failure.
#include <string>
#include <vector>

#include "win32/platform_types.h"
#include "win32/unique_handles.h"

namespace cache_access_check {

// Creates (GENERIC_WRITE, CREATE_ALWAYS) or opens (GENERIC_READ,
// OPEN_EXISTING) "<folder>\test_<share>_<attributes>.txt" for each pair, share
// modes in the outer loop. A reading pass deletes each file after its attempt.
// Returns the number of failed attempts.
int RunFileTests(std::u16string folder, DWORD desiredAccess, const std::vector<DWORD>& shareModes,
                 const std::vector<DWORD>& flagsAndAttributes, DWORD creationDisposition);

// 0 when the attempt opened the file (the handle is closed here), else 1 after
// writing the error line "Error <operation> file <name>: <error text>".
int ReportOpenResult(std::u16string fileName, std::u16string operation, win32::UniqueFileHandle handle);

// The system's text for the calling thread's last error, on one line, then
// " (<code>)". Must run before anything else can change the last error.
std::u16string GetLastErrorText();

}  // namespace cache_access_check
