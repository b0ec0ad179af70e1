#include "modules/module_dialogue.h"

#include <cstdio>
#include <fstream>

#include "adapters/module_frame.h"
#include "lang/dictionary.h"
#include "lang/translated_format.h"
#include "modules/module_fault_texts.h"
#include "platform/clock.h"
#include "platform/host.h"
#include "platform/utf8_path.h"

namespace velmora {

namespace {

// SRS: 9600 baud; 1 ms between request bytes (0 on a cable until the module is known), 200 ms before
// each request, 500 ms for an answer. Modules of other suppliers than Bosch want 3 ms and 100 ms.
constexpr int SrsBaud = 9600;
constexpr int SrsInterByteMs = 1;
constexpr int SrsRequestDelayMs = 200;
constexpr int SrsSlowInterByteMs = 3;
constexpr int SrsSlowRequestDelayMs = 100;
constexpr uint8_t BoschSupplier = 3;
// E-GAS: 10400 baud, 9600 when a cable finds nothing there; 100 ms before each request.
constexpr int EGasBaud = 10400;
constexpr int EGasFallbackBaud = 9600;
constexpr int EGasRequestDelayMs = 100;
constexpr uint32_t EGasFallbackPauseMs = 3000;
constexpr int AnswerTimeoutMs = 500;
// Frames in a row that failed their checksum after which a request is given up; passes over a fault
// list that held such a frame after which the list is given up.
constexpr int MaxResends = 3;
constexpr int MaxListPasses = 5;
constexpr int AccessCodeRounds = 3;
constexpr uint32_t PauseStepMs = 100;

constexpr int ReadFaultsCode = 0x1000;
constexpr int CloseCode = 0x70;

} // namespace

std::vector<std::string> AdapterRefusal(char adapterKind, uint8_t address) {
    if (adapterKind != 'C')
        return {};
    return {address == SrsAddress ? "Диагностика SRS невозможна с выбранным типом адаптера."
                                  : "Диагностика ЭБУ E-GAS невозможна с выбранным типом адаптера.",
            "Используйте адаптер K-Line (USB KKL, VAG COM 409.1)!"};
}

TModuleDialogue::TModuleDialogue(TBasePort& port, char adapterKind, std::string portName)
    : Port(port), AdapterKind(adapterKind), PortName(std::move(portName)) {}

TModuleDialogue::~TModuleDialogue() = default;

std::string TModuleDialogue::RequestText(int code) {
    char text[16];
    std::snprintf(text, sizeof text, "%X", unsigned(code));
    std::string request = text;
    if (request.size() % 2 != 0)
        request.insert(0, "0");
    return request;
}

bool TModuleDialogue::Pause(uint32_t ms) {
    for (uint32_t waited = 0; waited < ms; waited += PauseStepMs) {
        if (Aborted())
            return false;
        Clock().Sleep(std::min(PauseStepMs, ms - waited));
    }
    return !Aborted();
}

TModuleDialogue::TAnswers TModuleDialogue::AskUntilDone(const std::string& request, bool oneShot) {
    TAnswers result;
    std::string answer;
    if (!Adapter->Exchange(request, answer, AnswerChars))
        return result;
    int badInRow = 0;
    bool more = false, failed = false;
    for (;;) {
        Payload = Adapter->ParsePacket(answer);
        Protocol.Add(Payload);
        if (!Payload.empty()) {
            badInRow = 0;
            Adapter->ShowModuleInfo(Payload, more, failed);
            if (!more || oneShot || Aborted())
                break;
        } else if (Adapter->LastFrameBadSum()) {
            // Its bytes are not to be believed: the same request again, a few times.
            result.BadSum = true;
            if (++badInRow > MaxResends) {
                FrameFailure = NoSoundFrameText;
                return result;
            }
        } else {
            // No frame in the answer (its header or length was wrong): nothing was acknowledged.
            return result;
        }
        if (Aborted() || !Adapter->Exchange(request, answer, AnswerChars)) {
            // The module fell silent in the middle: a list or a repeat cut short is no success.
            return result;
        }
    }
    result.Answered = !failed && !Aborted();
    return result;
}

bool TModuleDialogue::SendCommand(int code, std::string_view text, bool oneShot) {
    if (!Adapter || Aborted())
        return false;
    const std::string request = text.empty() ? RequestText(code) : std::string(text);
    const bool faultRead = request == "1000";
    bool ok = false;
    for (int pass = 1;; ++pass) {
        if (faultRead)
            Adapter->Info.ClearFaults();
        const TAnswers answers = AskUntilDone(request, oneShot);
        ok = answers.Answered;
        // A record may have been lost with a frame that failed its sum: the list is read again from its
        // start (the module starts over after its end record), a few times at most.
        if (!ok || !faultRead || oneShot || !answers.BadSum)
            break;
        if (pass == MaxListPasses) {
            FrameFailure = NoSoundListText;
            ok = false;
            break;
        }
        AddLog(Translate("Кадр с ошибкой контрольной суммы: список неисправностей читается снова."));
    }
    if (faultRead && ok && !oneShot)
        PrintFaultTexts();
    return ok;
}

void TModuleDialogue::PrintFaultTexts() {
    const TModuleInfo& info = Adapter->Info;
    const std::string fileName = ModuleFaultFileName(Adapter->KLineAddress, info.PartNumber());
    const TModuleFaultTexts texts = LoadModuleFaultTexts(ModuleFaultFilePath(fileName, Language()));
    FaultLines.clear();
    if (info.Faults().empty())
        return;
    AddLog(Translate("Коды неисправностей :"));
    if (!texts.Found)
        AddLog("File not found: " + fileName);
    for (uint16_t code : info.Faults()) {
        const std::string* text = texts.Text(code);
        TModuleFault fault{code, text ? *text : Translate("описание не найдено.")};
        AddLog(FormatText("%5u - %s", unsigned(code), fault.Text.c_str()));
        FaultLines.push_back(std::move(fault));
    }
}

bool TModuleDialogue::Start(uint8_t address, int baud, int interByteTime, int requestDelay,
                            int answerTimeout) {
    Protocol.Clear();
    FaultLines.clear();
    Failure.clear();
    FrameFailure = nullptr;
    BadFrames = 0;
    LogPath.clear();
    Payload.clear();
    Info = TModuleInfo{};
    try {
        Adapter = CreateAdapter(AdapterKind);
    } catch (const AdapterException& error) {
        Failure = error.what();
        AddLog(error.what());
        return false;
    }
    Adapter->Info.ShowRaw = false;
    Adapter->SetProtocolLog(Protocol);
    Adapter->Abort = Abort;
    Adapter->SetPort(&Port);
    Adapter->Init(address, 'S', baud, ParityNone);
    Adapter->SetTimings(interByteTime, requestDelay, answerTimeout);
    return true;
}

bool TModuleDialogue::RunRequests(std::initializer_list<std::pair<int, const char*>> requests) {
    for (const auto& [code, text] : requests) {
        if (code < 0) {
            AddLog(""); // a blank line in the log window between the steps
            continue;
        }
        if (!SendCommand(code, text ? text : ""))
            return false;
    }
    return true;
}

bool TModuleDialogue::Fail(const char* text, uint8_t address) {
    const char* shown = Aborted() ? DialogueStoppedText : FrameFailure ? FrameFailure : text;
    Failure = shown;
    AddLog(Translate(shown));
    Finish(address);
    return false;
}

void TModuleDialogue::Finish(uint8_t address) {
    if (Adapter) {
        Info = Adapter->Info;
        BadFrames = Adapter->BadSumFrames();
    }
    Adapter.reset();
    if (BadFrames > 0)
        LogT("Кадров с ошибкой контрольной суммы: %d", BadFrames);
    LogPath = SaveProtocolLog(address);
}

bool TModuleDialogue::RunSrs(bool erase) {
    AddLog(TranslateFormat("Диагностика SRS ( Порт: %s, Адаптер: %s )", PortName.c_str(),
                           AdapterDisplayName(AdapterKind).c_str()));
    AddLog("");
    const bool cable = AdapterKind != 'E';
    if (!Start(SrsAddress, SrsBaud, cable ? 0 : SrsInterByteMs, SrsRequestDelayMs, AnswerTimeoutMs))
        return false;
    if (!Adapter->Connect())
        return Fail(SrsNotFoundText, SrsAddress);
    if (cable && Adapter->Info.Supplier() != BoschSupplier) {
        Adapter->Init(SrsAddress, 'S', SrsBaud, ParityNone);
        Adapter->SetTimings(SrsSlowInterByteMs, SrsSlowRequestDelayMs, AnswerTimeoutMs);
        Adapter->PrintProtocol();
    }
    if (!Pause(200))
        return Fail(DialogueAbortedText, SrsAddress);
    if (!RunRequests({{0x282207, nullptr},
                      {0x5001, nullptr},
                      {0, "300801B609"},
                      {0x5001, nullptr},
                      {ReadFaultsCode, nullptr},
                      {0x2300, nullptr},
                      {0x5001, nullptr},
                      {0, "3008D9B601"},
                      {0x5001, nullptr}}))
        return Fail(DialogueAbortedText, SrsAddress);
    if (erase) {
        for (int round = 0; round < AccessCodeRounds; ++round)
            if (!SendCommand(Adapter->GetAccessCode()))
                return Fail(DialogueAbortedText, SrsAddress);
        AddLog("");
        AddLog(Translate(EraseNoticeText));
        AddLog("");
    }
    if (!SendCommand(CloseCode))
        return Fail(DialogueAbortedText, SrsAddress);
    Finish(SrsAddress);
    return true;
}

bool TModuleDialogue::RunEGas(uint8_t address, bool erase) {
    const auto header = [&](int baud) {
        AddLog(TranslateFormat("Диагностика E-GAS ( Адаптер: %s, Порт: %s, Скорость: %d )",
                               AdapterDisplayName(AdapterKind).c_str(), PortName.c_str(), baud));
        AddLog("");
    };
    header(EGasBaud);
    if (!Start(address, EGasBaud, 0, EGasRequestDelayMs, AnswerTimeoutMs))
        return false;
    Port.SetParams(EGasBaud, ParityNone, OneStopBit);
    if (!Pause(200))
        return Fail(DialogueStoppedText, address);
    bool connected = Adapter->Connect();
    if (!connected && AdapterKind != 'E' && !Aborted()) {
        Adapter->Init(address, 'S', EGasFallbackBaud, ParityNone);
        AddLog(Translate("Пауза 3 секунды"));
        AddLog("");
        if (!Pause(EGasFallbackPauseMs))
            return Fail(DialogueStoppedText, address);
        header(EGasFallbackBaud);
        connected = Adapter->Connect();
    }
    if (!connected)
        return Fail(EGasNotFoundText, address);
    if (!Pause(300))
        return Fail(DialogueStoppedText, address);
    if (!RunRequests({{0, "3008000001"},
                      {0, "3008030001"},
                      {0x5001, nullptr},
                      {-1, nullptr},
                      {ReadFaultsCode, nullptr},
                      {-1, nullptr},
                      {0x5001, nullptr}}))
        return Fail(DialogueAbortedText, address);
    if (erase) {
        if (!SendCommand(ReadFaultsCode, {}, true) || !SendCommand(0x5001) || !Pause(200) ||
            !SendCommand(0x1800) || !Pause(300) ||
            !RunRequests({{0x5001, nullptr}, {0x5001, nullptr}, {0x5001, nullptr}}))
            return Fail(DialogueAbortedText, address);
        AddLog("");
        AddLog(Translate(EraseNoticeText));
    }
    Finish(address);
    return true;
}

bool TModuleDialogue::DiagnoseSRS(bool erase) {
    try {
        return RunSrs(erase);
    } catch (const std::exception& error) {
        return FailOnError(error, SrsAddress);
    }
}

bool TModuleDialogue::DiagnoseEGas(uint8_t address, bool erase) {
    try {
        return RunEGas(address, erase);
    } catch (const std::exception& error) {
        return FailOnError(error, address);
    }
}

bool TModuleDialogue::FailOnError(const std::exception& error, uint8_t address) {
    // The port failed under the dialogue (the adapter or its link is gone): the text says why, and what
    // was exchanged so far is saved all the same.
    Failure = error.what();
    AddLog(Failure);
    Finish(address);
    return false;
}

std::string TModuleDialogue::SaveProtocolLog(uint8_t address) {
    const std::string folder = BuildPath("", "LOGS", Client, true);
    std::string path;
    for (int n = 1; n < 1000; ++n) {
        const std::string name = "ISO" + HexByte(address) + FormatText("%.3d.txt", n);
        const std::string candidate = BuildPath(name, "LOGS", Client, false);
        std::error_code ignored;
        if (!std::filesystem::exists(Utf8Path(candidate), ignored)) {
            path = candidate;
            break;
        }
    }
    std::ofstream out;
    if (!path.empty())
        out.open(Utf8Path(path), std::ios::binary | std::ios::trunc);
    for (const std::string& line : Protocol.Items())
        out << line << "\r\n";
    out.flush();
    if (path.empty() || !out) {
        AddLog(TranslateFormat("Не удалось записать протокол в %s", (path.empty() ? folder : path).c_str()));
        return "";
    }
    return path;
}

} // namespace velmora
