// Test host: records log lines, message boxes and posted messages, and answers boxes from a script.
#pragma once

#include <deque>
#include <mutex>
#include <string>
#include <vector>

#include "platform/host.h"

namespace velmora::testing {

struct TPosted {
    uint32_t Msg;
    intptr_t WParam;
    intptr_t LParam;
    bool operator==(const TPosted&) const = default;
};

class THostRecorder : public THost {
public:
    THostRecorder() { SetHost(this); }
    ~THostRecorder() override { SetHost(nullptr); }

    void AddLog(std::string_view line) override;
    TMsgResult MessageBox(std::string_view text, TMsgKind kind, TMsgButtons buttons) override;
    void PostMessage(uint32_t msg, intptr_t wParam, intptr_t lParam) override;

    // Answers for the next message boxes, in order; when none is left the box gets its first button.
    void AnswerNextBoxes(std::vector<TMsgResult> answers);

    std::vector<std::string> Logs() const;
    std::vector<std::string> Boxes() const;
    std::vector<TPosted> Posted() const;
    // The log lines joined with '\n'.
    std::string LogText() const;
    void Clear();

private:
    mutable std::mutex Lock;
    std::vector<std::string> LogLines;
    std::vector<std::string> BoxTexts;
    std::vector<TPosted> PostedMessages;
    std::deque<TMsgResult> Answers;
};

} // namespace velmora::testing
