#include "line_tests/line_port.h"

#include "lang/dictionary.h"
#include "lang/translated_format.h"
#include "links/port_factory.h"

namespace velmora {

TLinePort::TLinePort(std::string_view name, int baud, const char* job, const TLineLease* held) {
    if (held && *held) {
        Holds = true;
    } else {
        Own = TLineLease::Take(job);
        Holds = bool(Own);
    }
    if (!Holds) {
        AddLog(LineBusyText());
        return;
    }
    if (CreatePort(baud, name) && Port() && Port()->IsOpen())
        Opened = Port();
    else
        AddLog(OpenFailureText(name)); // with the cause and its fix, where the port tells it
}

TLinePort::~TLinePort() {
    Free();
}

void TLinePort::Free() {
    Opened = nullptr;
    if (!Holds)
        return; // the port is another job's
    Holds = false;
    // Given back after the port is gone, also when closing it throws.
    TLineLease own = std::move(Own);
    FreePort();
}

bool Refuse(std::string_view text) {
    AddLog(Translate(text));
    return false;
}

bool PortFailed(const std::exception& failure) {
    AddLog(failure.what());
    return false;
}

} // namespace velmora
