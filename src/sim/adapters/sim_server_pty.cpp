// The velmora-sim server's pseudo-terminal (Linux): the serial line a tester opens as a COM port.
#include <cerrno>
#include <cmath>
#include <poll.h>
#include <sys/prctl.h>
#include <unistd.h>

#include "sim/adapters/sim_server.h"
#include "sim/adapters/sim_server_stream.h"

namespace velmora {

namespace {

// The master side. It never ends: a PC that closes its side may open it again, and a write nobody
// reads is dropped as a UART drops an overrun.
class TPtyStream final : public TServedStream {
public:
    explicit TPtyStream(int master) : Master(master) {}

    bool Send(const std::vector<uint8_t>& bytes) override {
        [[maybe_unused]] const ssize_t written = write(Master, bytes.data(), bytes.size());
        return true;
    }
    bool WaitInput(double ms) override {
        const int64_t waitNs = int64_t(std::ceil(ms * 1e6));
        const timespec wait{time_t(waitNs / 1000000000), long(waitNs % 1000000000)};
        pollfd p{Master, POLLIN, 0};
        return ppoll(&p, 1, &wait, nullptr) > 0;
    }
    int Receive(uint8_t* data, int size) override {
        const ssize_t got = read(Master, data, size_t(size));
        return got > 0 ? int(got) : 0;
    }
    TSeenLine SeenLine() override { return ReadPtyLine(Master); }

private:
    int Master;
};

} // namespace

void SharpenWakeups() {
    // The kernel may otherwise delay each wake-up by its default slack of 50 us, a twentieth of a frame.
    prctl(PR_SET_TIMERSLACK, 1UL);
}

bool TSimServer::CanServePty(std::string&) {
    return true;
}

bool TSimServer::OpenPtyLine(std::string& error) {
    return OpenPty(Pty, error);
}

void TSimServer::ServePty() {
    TPtyStream stream(Pty.Master);
    Serve(stream);
}

void TSimServer::ClosePtyLine() {
    ClosePty(Pty);
}

} // namespace velmora
