#include "platform/host.h"

#include <atomic>

namespace velmora {

namespace {

TNullHost nullHost;
std::atomic<THost*> currentHost{&nullHost};

} // namespace

TMsgResult TNullHost::MessageBox(std::string_view, TMsgKind, TMsgButtons buttons) {
    switch (buttons) {
    case TMsgButtons::AbortRetry:
        return TMsgResult::Abort;
    case TMsgButtons::RetryCancel:
    case TMsgButtons::YesNoCancel:
    case TMsgButtons::OkCancel:
        return TMsgResult::Cancel;
    case TMsgButtons::YesNo:
        return TMsgResult::No;
    case TMsgButtons::Ok:
        break;
    }
    return TMsgResult::Ok;
}

THost& Host() { return *currentHost.load(); }

void SetHost(THost* host) { currentHost.store(host ? host : &nullHost); }

void AddLog(std::string_view line) { Host().AddLog(line); }

} // namespace velmora
