#include "console_host.h"

#include <iostream>

namespace velmora {

void TConsoleHost::AddLog(std::string_view line) {
    std::lock_guard lock(Lock);
    std::cout << line << '\n' << std::flush;
}

TMsgResult TConsoleHost::MessageBox(std::string_view text, TMsgKind kind, TMsgButtons buttons) {
    {
        std::lock_guard lock(Lock);
        std::cerr << text << '\n' << std::flush;
    }
    return SafeAnswers.MessageBox(text, kind, buttons);
}

} // namespace velmora
