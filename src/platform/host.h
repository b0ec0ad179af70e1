// How the core speaks to whoever runs it (the window, the command-line tool, a test): log lines,
// message boxes and posted window messages. The core never shows or prints anything itself.
// Any thread may call Host(); implementations deliver to their own thread as they need.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace velmora {

// Posted messages are numbered WM_USER + n, as the window's message table has them.
constexpr uint32_t WM_USER = 0x400;

enum class TMsgKind { Information, Warning, Error, Confirmation };
enum class TMsgButtons { Ok, AbortRetry, RetryCancel, YesNo, YesNoCancel, OkCancel };
enum class TMsgResult { Ok, Cancel, Abort, Retry, Yes, No };

class THost {
public:
    virtual ~THost() = default;
    // One line for the log memo; the text is already translated. Synchronous: it returns once the line
    // is added (or queued in order, where the window thread is busy).
    virtual void AddLog(std::string_view line) = 0;
    // A modal message box; returns the button the user chose.
    virtual TMsgResult MessageBox(std::string_view text, TMsgKind kind, TMsgButtons buttons) = 0;
    // A message to the main window, queued and delivered in order on the window thread.
    virtual void PostMessage(uint32_t msg, intptr_t wParam, intptr_t lParam) = 0;
    // Gives the window one chance to repaint before a blocking call.
    virtual void ProcessMessages() {}
};

// A host that drops everything and answers every box with its safest button (Cancel, Abort, No, Ok).
class TNullHost : public THost {
public:
    void AddLog(std::string_view) override {}
    TMsgResult MessageBox(std::string_view, TMsgKind, TMsgButtons buttons) override;
    void PostMessage(uint32_t, intptr_t, intptr_t) override {}
};

// The host in use; a TNullHost until the program installs its own.
THost& Host();
// Installs `host` (nullptr restores the null host). The caller keeps ownership.
void SetHost(THost* host);

// The shared log routine: translates nothing, adds one line through the host.
void AddLog(std::string_view line);

} // namespace velmora
