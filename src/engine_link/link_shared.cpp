#include "engine_link/link_shared.h"

#include <ctime>
#include <string_view>

#include "lang/dictionary.h"
#include "lang/translated_format.h"

namespace velmora {

namespace {

std::atomic<bool> userStop{false};
std::atomic<uint16_t> progressMark{0};

} // namespace

std::atomic<int> KLineBreakMs{165};

std::atomic<bool>& UserStop() {
    return userStop;
}

std::mutex& PortLock() {
    static std::mutex lock;
    return lock;
}

void SetProgressMark(uint16_t mark) {
    progressMark.store(mark);
}

uint16_t ProgressMark() {
    return progressMark.load();
}

std::string FailureReason(const std::exception& failure) {
    const std::string_view text = failure.what();
    return FormatText("0x%.4X ", unsigned(ProgressMark())) +
           (text.empty() ? Translate("ошибка без описания") : std::string(text));
}

std::string DateTimeText() {
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char text[32];
    std::strftime(text, sizeof text, "%d.%m.%Y %H:%M:%S", &local);
    return text;
}

} // namespace velmora
