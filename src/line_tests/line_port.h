// What every function on the line itself shares: the request (chosen port, adapter kind, whether a
// diagnostic session holds the line) and the port it opens for its own use and always frees, with the line
// taken for it (links/line_lease.h). Called on one thread at a time (the window's job thread, the
// command-line tool).
#pragma once

#include <exception>
#include <string>
#include <string_view>

#include "links/line_lease.h"

namespace velmora {

class TBasePort;

struct TLineRequest {
    std::string PortName;        // as the port button shows it; "Port ?" when none was chosen
    char Adapter = 'K';          // 'K' (or 'S') plain cable, 'C' CarSoft 7.4, 'E' ELM327
    bool SessionRunning = false; // the worker holds a connection
    // The line the caller has already taken for this run (the window takes it before it starts the job,
    // so that a refusal comes at once); null: the function takes the line itself.
    const TLineLease* Held = nullptr;
};

// Texts the line functions refuse with (translated before use).
constexpr const char* SessionRunningText = "Во время сеанса обмена функция недоступна!";
constexpr const char* ElmRefusedText = "Функция недоступна для адаптера ELM327!";

// The process port, created and opened for one line function and freed when this goes out of scope,
// whatever the function did with it. The line is taken for `job` first unless `held` already holds it; a
// line held by another job is refused in the log (LineBusyText) and its port left alone. A port that does
// not open is logged with its cause and fix (OpenFailureText).
class TLinePort {
public:
    TLinePort(std::string_view name, int baud, const char* job, const TLineLease* held = nullptr);
    ~TLinePort();
    TLinePort(const TLinePort&) = delete;
    TLinePort& operator=(const TLinePort&) = delete;

    explicit operator bool() const { return Opened != nullptr; }
    TBasePort& operator*() const { return *Opened; }
    TBasePort* operator->() const { return Opened; }
    // Frees the port now (the function's closing lines come after it).
    void Free();

private:
    TBasePort* Opened = nullptr;
    TLineLease Own;     // the line taken here
    bool Holds = false; // the line is this port's (taken here or held by the caller): it may free the port
};

// Logs the translated refusal and returns false.
bool Refuse(std::string_view text);
// A port that failed during a function (PortException, whose text is the user's): the text goes to the
// log and the function ends with false; its TLinePort has freed the port on the way out.
bool PortFailed(const std::exception& failure);

} // namespace velmora
