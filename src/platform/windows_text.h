// Text at the edge of the Windows API (Windows build only): UTF-8, the program's encoding, to and from
// the system's UTF-16, and the system's own words for an error code. Any thread.
#pragma once

#include <string>
#include <string_view>

namespace velmora {

std::wstring WidenUtf8(std::string_view text);
std::string NarrowToUtf8(std::wstring_view text);
// FormatMessage's text for a GetLastError or WSAGetLastError code, without its final full stop and
// line end; "error <code>" when the system has none.
std::string WindowsErrorText(unsigned long code);

} // namespace velmora
