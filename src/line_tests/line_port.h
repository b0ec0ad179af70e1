// What every function on the line itself shares: the request (chosen port, adapter kind, whether a
// diagnostic session holds the line) and the port it opens for its own use and always frees. Called on
// one thread at a time while no engine connection runs (the window's job thread, the command-line tool).
#pragma once

#include <exception>
#include <string>
#include <string_view>

namespace velmora {

class TBasePort;

struct TLineRequest {
    std::string PortName;        // as the port button shows it; "Port ?" when none was chosen
    char Adapter = 'K';          // 'K' (or 'S') plain cable, 'C' CarSoft 7.4, 'E' ELM327
    bool SessionRunning = false; // the worker holds a connection
};

// Texts the line functions refuse with (translated before use).
constexpr const char* SessionRunningText = "Во время сеанса обмена функция недоступна!";
constexpr const char* ElmRefusedText = "Функция недоступна для адаптера ELM327!";

// The process port, created and opened for one line function and freed when this goes out of scope,
// whatever the function did with it. A port that does not open is logged with its cause and fix
// (OpenFailureText).
class TLinePort {
public:
    TLinePort(std::string_view name, int baud);
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
};

// Logs the translated refusal and returns false.
bool Refuse(std::string_view text);
// A port that failed during a function (PortException, whose text is the user's): the text goes to the
// log and the function ends with false; its TLinePort has freed the port on the way out.
bool PortFailed(const std::exception& failure);

} // namespace velmora
