#pragma once

#include <string>
#include <string_view>

// What the Win32 implementation of the file layer shares: paths as the wide
// calls take them, and the system's errors as the layer's error numbers.
namespace quillstamper::os {

std::wstring WideFromUtf8(std::string_view text);
std::string Utf8FromWide(std::wstring_view text);

// The path, absolute with '\' between its parts and the long-path prefix
// (\\?\, \\?\UNC\ for a share), so that no length limit or reserved name
// applies. Empty for an empty path.
std::wstring SystemPath(const std::string& path);
// name in the folder that systemFolder names (as SystemPath gives it).
std::wstring SystemPathIn(const std::wstring& systemFolder, const std::string& name);
// A system path back as the user writes one: no prefix, '/' between parts.
std::string UserPath(std::wstring_view systemPath);

// The error number for a Win32 error (GetLastError), EIO when none fits.
int ErrnoFromWin32(unsigned long error);
// errno set from GetLastError(); returns false, for the callers' returns.
bool FailWithLastError();

} // namespace quillstamper::os
