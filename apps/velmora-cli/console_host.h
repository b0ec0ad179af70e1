// The host of the command-line tool: log lines go to stdout, message boxes to stderr (answered with
// their safest button, as nobody is there to click), posted window messages are dropped.
// Any thread; lines are written whole.
#pragma once

#include <mutex>

#include "platform/host.h"

namespace velmora {

class TConsoleHost : public THost {
public:
    void AddLog(std::string_view line) override;
    TMsgResult MessageBox(std::string_view text, TMsgKind kind, TMsgButtons buttons) override;
    void PostMessage(uint32_t, intptr_t, intptr_t) override {}

private:
    std::mutex Lock;
    TNullHost SafeAnswers;
};

} // namespace velmora
