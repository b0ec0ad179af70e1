#include "host_recorder.h"

namespace velmora::testing {

namespace {

TMsgResult FirstButton(TMsgButtons buttons) {
    switch (buttons) {
    case TMsgButtons::AbortRetry:
        return TMsgResult::Abort;
    case TMsgButtons::RetryCancel:
        return TMsgResult::Retry;
    case TMsgButtons::YesNo:
    case TMsgButtons::YesNoCancel:
        return TMsgResult::Yes;
    case TMsgButtons::Ok:
    case TMsgButtons::OkCancel:
        break;
    }
    return TMsgResult::Ok;
}

} // namespace

void THostRecorder::AddLog(std::string_view line) {
    std::lock_guard guard(Lock);
    LogLines.emplace_back(line);
}

TMsgResult THostRecorder::MessageBox(std::string_view text, TMsgKind, TMsgButtons buttons) {
    std::lock_guard guard(Lock);
    BoxTexts.emplace_back(text);
    if (Answers.empty())
        return FirstButton(buttons);
    TMsgResult answer = Answers.front();
    Answers.pop_front();
    return answer;
}

void THostRecorder::PostMessage(uint32_t msg, intptr_t wParam, intptr_t lParam) {
    std::lock_guard guard(Lock);
    PostedMessages.push_back({msg, wParam, lParam});
}

void THostRecorder::AnswerNextBoxes(std::vector<TMsgResult> answers) {
    std::lock_guard guard(Lock);
    Answers.insert(Answers.end(), answers.begin(), answers.end());
}

std::vector<std::string> THostRecorder::Logs() const {
    std::lock_guard guard(Lock);
    return LogLines;
}

std::vector<std::string> THostRecorder::Boxes() const {
    std::lock_guard guard(Lock);
    return BoxTexts;
}

std::vector<TPosted> THostRecorder::Posted() const {
    std::lock_guard guard(Lock);
    return PostedMessages;
}

std::string THostRecorder::LogText() const {
    std::lock_guard guard(Lock);
    std::string text;
    for (const auto& line : LogLines) {
        if (!text.empty())
            text += '\n';
        text += line;
    }
    return text;
}

void THostRecorder::Clear() {
    std::lock_guard guard(Lock);
    LogLines.clear();
    BoxTexts.clear();
    PostedMessages.clear();
}

} // namespace velmora::testing
