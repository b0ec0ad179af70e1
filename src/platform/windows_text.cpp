#include "platform/windows_text.h"

#include <windows.h>

namespace velmora {

std::wstring WidenUtf8(std::string_view text) {
    const int size = MultiByteToWideChar(CP_UTF8, 0, text.data(), int(text.size()), nullptr, 0);
    std::wstring wide(size_t(size), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), int(text.size()), wide.data(), size);
    return wide;
}

std::string NarrowToUtf8(std::wstring_view text) {
    const int size =
        WideCharToMultiByte(CP_UTF8, 0, text.data(), int(text.size()), nullptr, 0, nullptr, nullptr);
    std::string narrow(size_t(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), int(text.size()), narrow.data(), size, nullptr, nullptr);
    return narrow;
}

std::string WindowsErrorText(unsigned long code) {
    wchar_t* text = nullptr;
    const DWORD length = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                            FORMAT_MESSAGE_IGNORE_INSERTS,
                                        nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::string message = length > 0 ? NarrowToUtf8(std::wstring_view(text, length)) : std::string();
    LocalFree(text);
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r' || message.back() == '.' ||
                                message.back() == ' '))
        message.pop_back();
    return message.empty() ? "error " + std::to_string(code) : message;
}

} // namespace velmora
