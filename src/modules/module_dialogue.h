// The dialogues with the E-GAS and SRS modules over a module adapter (K-line cable or ELM327): wake-up
// and identification, the request sequences, the fault list with its texts, erasing, and the protocol
// log saved as LOGS[/<client>]/ISO<address><nnn>.txt. Runs on one thread (the window's worker for the
// dialogue, the command-line tool's main thread); the abort flag may be raised from any thread.
#pragma once

#include <atomic>
#include <cstdint>
#include <exception>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "adapters/base_adapter.h"
#include "links/base_port.h"

namespace velmora {

constexpr uint8_t EGasAddress = 0x18;
constexpr uint8_t EgsAddress = 0x20;
constexpr uint8_t SrsAddress = 0x41;

// The texts a dialogue ends with when it cannot go on (Russian; translated when shown).
constexpr const char* DialogueAbortedText = "Диагностика прервана из-за ошибки обмена.";
constexpr const char* EGasNotFoundText = "Модуль E-GAS не найден!";
constexpr const char* SrsNotFoundText = "Модуль SRS не найден!";
constexpr const char* DialogueStoppedText = "Диагностика остановлена пользователем.";
constexpr const char* EraseNoticeText = "Удаление ошибок! ВЫКЛЮЧИ ЗАЖИГАНИЕ И ЖДИ БОЛЕЕ 10 СЕКУНД!";
constexpr const char* EgsInDevelopmentText = "В разработке!";
constexpr const char* NoSoundFrameText = "Модуль не прислал ни одного кадра с верной контрольной суммой.";
constexpr const char* NoSoundListText =
    "Список неисправностей не удалось прочитать без ошибок контрольной суммы.";

// The lines (Russian) with which a dialogue with the module at `address` is refused for the adapter
// kind: the CarSoft 7.4 interface has no module adapter. Empty when the dialogue may run.
std::vector<std::string> AdapterRefusal(char adapterKind, uint8_t address);

// One fault of the module as the dialogue printed it.
struct TModuleFault {
    uint16_t Code = 0;
    std::string Text; // from the module's fault text file, or "описание не найдено." (translated)
};

class TModuleDialogue {
public:
    // `port` is open and stays open after the dialogue; `adapterKind` is the port dialog's kind ('K' or
    // 'S' cable, 'E' ELM327; 'C' has no module adapter); `portName` is shown in the header line.
    TModuleDialogue(TBasePort& port, char adapterKind, std::string portName);
    ~TModuleDialogue();

    // Sends one request: `text` when given, else `code` in upper-case hex without leading zeros (a
    // leading "0" for an odd digit count). Asks again while the answer says so (the next fault record,
    // a refused command) unless `oneShot`. A frame that fails its checksum is never taken: the request is
    // sent again (a few times); a fault list that held one is read again from its start. A 10 00 request
    // clears the fault list first and, read whole, prints the fault texts. True when every exchange got
    // a sound frame and the last was no refusal.
    bool SendCommand(int code, std::string_view text = {}, bool oneShot = false);

    // The dialogues; true when they ran to the end. However they end (a failed command, Stop, a port that
    // fails under them), the protocol log is saved and FailureText says why.
    bool DiagnoseSRS(bool erase);
    bool DiagnoseEGas(uint8_t address, bool erase);

    // Writes the protocol log to LOGS[/<client>]/ISO<address hex2><nnn>.txt, the first free number from
    // 001; returns the path, or "" (with a log line) when it could not be written.
    std::string SaveProtocolLog(uint8_t address);

    std::string Client;                       // the client whose LOGS subfolder gets the protocol log
    const std::atomic<bool>* Abort = nullptr; // the user's Stop; not owned

    // Results of the last dialogue.
    const TProtocolLog& ProtocolLog() const { return Protocol; }
    const std::string& LastPayload() const { return Payload; }
    const std::vector<TModuleFault>& Faults() const { return FaultLines; }
    // The text the dialogue ended with when it did not run to the end ("" otherwise), Russian.
    const std::string& FailureText() const { return Failure; }
    const std::string& ProtocolLogPath() const { return LogPath; }
    // The identification read in the last dialogue (empty part number: none came).
    const TModuleInfo& ModuleInfo() const { return Info; }
    // Frames of the last dialogue that failed their checksum (and were not used).
    int BadSumFrames() const { return BadFrames; }

    // The request text SendCommand makes of a code.
    static std::string RequestText(int code);
    // How much of an answer frame text a request takes: room for the longest frame an adapter accepts (a
    // 128-byte frame is 256 characters of hex text).
    static constexpr int AnswerChars = 2 * TBaseAdapter::MaxPacketLength;

private:
    bool Start(uint8_t address, int baud, int interByteTime, int requestDelay, int answerTimeout);
    struct TAnswers {
        bool Answered = false; // every answer came as a sound frame and the last was no refusal
        bool BadSum = false;   // a frame failed its checksum on the way
    };
    // The exchanges of one request until the module has nothing more to say (or oneShot).
    TAnswers AskUntilDone(const std::string& request, bool oneShot);
    bool RunRequests(std::initializer_list<std::pair<int, const char*>> requests);
    bool RunSrs(bool erase);
    bool RunEGas(uint8_t address, bool erase);
    bool Fail(const char* text, uint8_t address);
    bool FailOnError(const std::exception& error, uint8_t address);
    void Finish(uint8_t address);
    void PrintFaultTexts();
    bool Aborted() const { return Abort && Abort->load(); }
    // Sleeps `ms` in short steps, false when stopped on the way.
    bool Pause(uint32_t ms);

    TBasePort& Port;
    char AdapterKind;
    std::string PortName;
    std::unique_ptr<TBaseAdapter> Adapter;
    TProtocolLog Protocol;
    TModuleInfo Info;
    std::string Payload;
    std::vector<TModuleFault> FaultLines;
    std::string Failure;
    const char* FrameFailure = nullptr; // why a request failed for frames that failed their checksum
    int BadFrames = 0;
    std::string LogPath;
};

} // namespace velmora
