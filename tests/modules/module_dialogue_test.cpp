// The E-GAS and SRS dialogues end to end against the simulated modules, on a KKL cable ("SIM") and
// through the simulated ELM327 ("SIMELM"), in virtual time: identification, fault list with texts,
// erase, the list read again, the protocol log; and the failure paths.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "host_recorder.h"
#include "modules/module_dialogue.h"
#include "modules/module_fault_texts.h"
#include "platform/clock.h"
#include "platform/text_encoding.h"
#include "sim/modules/sim_module.h"
#include "sim/sim_port.h"
#include "temp_folder.h"

namespace velmora {
namespace {

struct TPortKind {
    const char* Prefix;
    TSimAdapterKind Kind;
    char Adapter;
};

class ModuleDialogueTest : public ::testing::TestWithParam<TPortKind> {
protected:
    void SetUp() override {
        Folder.WriteFile("DATA/AB1.txt", "; test texts\r\n3 Zuendkreis A\r\n4 Zuendkreis B\r\n");
        Folder.WriteFile("DATA/EGAS_ASR.txt", "2 Sammelfehler\r\n");
    }

    // Opens the port on `unit` (a built-in unit or a profile text written to a file).
    TSimPort& Open(const std::string& profile = "") {
        std::string unit = "hfm";
        if (!profile.empty())
            unit = Folder.WriteFile("car.ini", profile).string();
        Port = std::make_unique<TSimPort>(std::string(GetParam().Prefix) + ":" + unit, GetParam().Kind);
        EXPECT_TRUE(Port->Open(false, 9600));
        return *Port;
    }
    TModuleDialogue Dialogue() { return TModuleDialogue(*Port, GetParam().Adapter, GetParam().Prefix); }
    bool Cable() const { return GetParam().Adapter != 'E'; }
    static bool Has(const std::vector<std::string>& lines, const std::string& text) {
        return std::any_of(lines.begin(), lines.end(),
                           [&](const std::string& line) { return line.find(text) != std::string::npos; });
    }

    // The requests of a protocol log in order, as their hex text ("5001"): on a cable the frames sent (each
    // followed by its echo), through the ELM327 its ISOMSG commands.
    static std::vector<std::string> Requests(const std::vector<std::string>& items) {
        std::vector<std::string> requests;
        for (size_t i = 0; i < items.size(); ++i) {
            const std::string& line = items[i];
            if (const size_t at = line.find("ISOMSG"); at != std::string::npos) {
                requests.push_back(line.substr(at + 6));
            } else if (i + 1 < items.size() && items[i + 1] == line && line.size() >= 12 &&
                       line.find_first_not_of("0123456789ABCDEF") == std::string::npos) {
                const size_t length = std::stoul(line.substr(4, 2), nullptr, 16);
                requests.push_back(line.substr(2, 2) + line.substr(6, 2 * (length - 5)));
                ++i; // the echo
            }
        }
        return requests;
    }

    TManualClock ManualClock;
    TScopedClock UseClock{ManualClock};
    testing::TTempFolder Folder;
    testing::THostRecorder Host;
    std::unique_ptr<TSimPort> Port;
};

TEST_P(ModuleDialogueTest, SrsReadEraseAndReadAgain) {
    Open();
    TModuleDialogue first = Dialogue();
    const uint32_t start = ManualClock.TickCount();
    ASSERT_TRUE(first.DiagnoseSRS(false)) << Host.LogText();
    EXPECT_LT(ManualClock.TickCount() - start, 15000u) << "virtual time of one dialogue";
    const std::vector<std::string> log = Host.Logs();
    EXPECT_TRUE(Has(log, "          Module: SRS"));
    EXPECT_TRUE(Has(log, "        Supplier: MBB"));
    EXPECT_TRUE(Has(log, "          ECU Nr: 002 820 05 26"));
    EXPECT_TRUE(Has(log, "Коды неисправностей :"));
    EXPECT_TRUE(Has(log, "    3 - Zuendkreis A"));
    EXPECT_TRUE(Has(log, "    4 - Zuendkreis B"));
    EXPECT_TRUE(Has(log, "Коннект закрыт"));
    ASSERT_EQ(first.Faults().size(), 2u);
    EXPECT_EQ(first.Faults()[0].Code, 3);
    EXPECT_TRUE(first.FailureText().empty());
    // The protocol log, numbered from 001.
    EXPECT_EQ(std::filesystem::path(first.ProtocolLogPath()).filename(), "ISO41001.txt");
    const std::string saved = Folder.ReadFile("LOGS/ISO41001.txt");
    if (Cable()) {
        EXPECT_NE(saved.find("Параметры протокола ( Адрес: 41h, Скорость: 9600N1 )"), std::string::npos);
        // The MBB module wants spaced bytes: a cable switches to 3 ms and 100 ms after the identification.
        EXPECT_NE(saved.find("Тайминги протокола [мс]: 0, 200, 500"), std::string::npos);
        EXPECT_NE(saved.find("Тайминги протокола [мс]: 3, 100, 500"), std::string::npos);
        // The exact frames on the wire: 50 01 and the closing 70.
        EXPECT_NE(saved.find("\r\n415006019800\r\n"), std::string::npos);
        EXPECT_NE(saved.find("\r\n417005B600\r\n"), std::string::npos);
    } else {
        EXPECT_NE(saved.find("ISOSET41SN1FAC8"), std::string::npos);
        EXPECT_NE(saved.find("ISOMSG5001"), std::string::npos);
        // The ELM327 spaces the bytes itself: its timings stay.
        EXPECT_EQ(saved.find("Тайминги протокола [мс]: 3, 100, 500"), std::string::npos);
    }

    Host.Clear();
    TModuleDialogue erase = Dialogue();
    ASSERT_TRUE(erase.DiagnoseSRS(true)) << Host.LogText();
    EXPECT_TRUE(Has(Host.Logs(), "Удаление ошибок! ВЫКЛЮЧИ ЗАЖИГАНИЕ И ЖДИ БОЛЕЕ 10 СЕКУНД!"));
    EXPECT_TRUE(Port->Car()->Module(TSimModuleKind::Srs)->Faults().empty());

    Host.Clear();
    TModuleDialogue again = Dialogue();
    ASSERT_TRUE(again.DiagnoseSRS(false)) << Host.LogText();
    EXPECT_TRUE(Has(Host.Logs(), "Память неисправностей пуста!"));
    EXPECT_TRUE(again.Faults().empty());
    EXPECT_EQ(std::filesystem::path(again.ProtocolLogPath()).filename(), "ISO41003.txt");
}

TEST_P(ModuleDialogueTest, EGasReadEraseAndReadAgain) {
    Open();
    TModuleDialogue first = Dialogue();
    ASSERT_TRUE(first.DiagnoseEGas(EGasAddress, false)) << Host.LogText();
    ASSERT_FALSE(Host.Logs().empty());
    EXPECT_EQ(Host.Logs().front(), std::string("Диагностика E-GAS ( Адаптер: ") +
                                       (Cable() ? "K-Line" : "ELM327 velmora") +
                                       ", Порт: " + GetParam().Prefix + ", Скорость: 10400 )");
    if (Cable()) {
        EXPECT_EQ(first.ProtocolLog().Items().at(1), "Параметры протокола ( Адрес: 18h, Скорость: 10400N1 )");
    }
    EXPECT_TRUE(Has(Host.Logs(), "          Module: E-GAS"));
    EXPECT_TRUE(Has(Host.Logs(), "    2 - Sammelfehler"));
    EXPECT_TRUE(Has(Host.Logs(), "    4 - описание не найдено."));
    EXPECT_FALSE(Has(Host.Logs(), "Пауза 3 секунды")) << "found at 10400 at once";

    Host.Clear();
    TModuleDialogue erase = Dialogue();
    ASSERT_TRUE(erase.DiagnoseEGas(EGasAddress, true)) << Host.LogText();
    EXPECT_TRUE(Has(Host.Logs(), "Удаление ошибок! ВЫКЛЮЧИ ЗАЖИГАНИЕ И ЖДИ БОЛЕЕ 10 СЕКУНД!"));
    // The erase: the fault memory once more, 50 01, then 18 00 and three 50 01.
    const std::vector<std::string> requests = Requests(erase.ProtocolLog().Items());
    ASSERT_GE(requests.size(), 6u);
    EXPECT_EQ(std::vector<std::string>(requests.end() - 6, requests.end()),
              (std::vector<std::string>{"1000", "5001", "1800", "5001", "5001", "5001"}));

    Host.Clear();
    TModuleDialogue again = Dialogue();
    ASSERT_TRUE(again.DiagnoseEGas(EGasAddress, false)) << Host.LogText();
    EXPECT_TRUE(Has(Host.Logs(), "Память неисправностей пуста!"));
    EXPECT_FALSE(Has(Host.Logs(), "Sammelfehler"));
    EXPECT_EQ(std::filesystem::path(again.ProtocolLogPath()).filename(), "ISO18003.txt");
}

TEST_P(ModuleDialogueTest, EGasAt9600IsFoundAfterTheFallbackOnACable) {
    Open("[Unit]\nBase=hfm\n[EGAS]\nBaud=9600\n");
    TModuleDialogue dialogue = Dialogue();
    ASSERT_TRUE(dialogue.DiagnoseEGas(EGasAddress, false)) << Host.LogText();
    // A cable tries 10400 first; the ELM327 measures the rate on the sync byte itself.
    EXPECT_EQ(Has(Host.Logs(), "Пауза 3 секунды"), Cable());
    EXPECT_EQ(Has(Host.Logs(), "Скорость: 9600 )"), Cable());
    EXPECT_EQ(dialogue.Faults().size(), 2u);
}

TEST_P(ModuleDialogueTest, SilentModulesAreNotFound) {
    Open("[Unit]\nBase=hfm\n[EGAS]\nSilent=1\n[SRS]\nSilent=1\n");
    TModuleDialogue egas = Dialogue();
    EXPECT_FALSE(egas.DiagnoseEGas(EGasAddress, false));
    EXPECT_EQ(egas.FailureText(), EGasNotFoundText);
    EXPECT_TRUE(Has(Host.Logs(), "Модуль E-GAS не найден!"));
    EXPECT_EQ(Has(Host.Logs(), "Пауза 3 секунды"), Cable());
    EXPECT_FALSE(egas.ProtocolLogPath().empty()) << "saved also when nothing was found";

    TModuleDialogue srs = Dialogue();
    EXPECT_FALSE(srs.DiagnoseSRS(false));
    EXPECT_EQ(srs.FailureText(), SrsNotFoundText);
}

// A frame that fails its checksum is never taken (as a fault list, its end or an acknowledgement): the
// request is sent again and a list holding one is read again; with no sound frame the dialogue fails.
TEST_P(ModuleDialogueTest, FramesFailingTheirChecksumAreAskedForAgainAndNeverTaken) {
    struct TCase {
        const char* Module;
        int Every; // every N-th frame of the module fails its sum
        bool Erase;
        bool Done;
    };
    const TCase cases[] = {
        {"EGAS", 7, true, true}, {"SRS", 7, false, true}, {"EGAS", 1, true, false}, {"SRS", 1, false, false}};
    for (const TCase& c : cases) {
        SCOPED_TRACE(std::string(c.Module) + " every " + std::to_string(c.Every));
        Open("[Unit]\nBase=hfm\n[" + std::string(c.Module) +
             "]\nWrongChecksumEvery=" + std::to_string(c.Every) + "\n");
        Host.Clear();
        TModuleDialogue dialogue = Dialogue();
        const bool srs = std::string(c.Module) == "SRS";
        const bool done = srs ? dialogue.DiagnoseSRS(c.Erase) : dialogue.DiagnoseEGas(EGasAddress, c.Erase);
        EXPECT_EQ(done, c.Done) << Host.LogText();
        EXPECT_TRUE(Has(dialogue.ProtocolLog().Items(), "Ошибка контрольной суммы пакета!"));
        EXPECT_GT(dialogue.BadSumFrames(), 0);
        EXPECT_TRUE(Has(Host.Logs(),
                        "Кадров с ошибкой контрольной суммы: " + std::to_string(dialogue.BadSumFrames())));
        EXPECT_FALSE(dialogue.ProtocolLogPath().empty());
        if (c.Done) {
            // The module's own faults, whole: none lost with a bad frame, none made up from one.
            ASSERT_EQ(dialogue.Faults().size(), 2u);
            EXPECT_EQ(dialogue.Faults()[0].Code, srs ? 3 : 2);
            EXPECT_EQ(dialogue.Faults()[1].Code, 4);
            EXPECT_EQ(Has(Host.Logs(), "Удаление ошибок! ВЫКЛЮЧИ ЗАЖИГАНИЕ И ЖДИ БОЛЕЕ 10 СЕКУНД!"), c.Erase);
        } else {
            EXPECT_EQ(dialogue.FailureText(), NoSoundFrameText);
            EXPECT_TRUE(dialogue.Faults().empty());
            EXPECT_FALSE(Has(Host.Logs(), "Память неисправностей пуста!")) << "no list was read";
            EXPECT_FALSE(Has(Host.Logs(), "Удаление ошибок! ВЫКЛЮЧИ ЗАЖИГАНИЕ И ЖДИ БОЛЕЕ 10 СЕКУНД!"));
        }
    }
}

// The adapter's link goes (a pty or WiFi peer gone) after `writesLeft` writes: every call then fails.
class TVanishingPort : public TBasePort {
public:
    TVanishingPort(TBasePort& target, int writesLeft) : Target(target), WritesLeft(writesLeft) {}
    bool Open(bool showErrors, int baud) override { return Target.Open(showErrors, baud); }
    bool IsOpen() override { return WritesLeft > 0 && Target.IsOpen(); }
    int InQueue() override { return Check().InQueue(); }
    void Close() override { Target.Close(); }
    void SetParams(int baud, uint8_t parity, uint8_t stopBits) override {
        Check().SetParams(baud, parity, stopBits);
    }
    void SetRTS(bool on) override { Check().SetRTS(on); }
    void SetParity(uint8_t parity) override { Check().SetParity(parity); }
    bool ReadByte(uint8_t& value) override { return Check().ReadByte(value); }
    int ReadBuf(TPortBuffer& buffer) override { return Check().ReadBuf(buffer); }
    int ReadBufEx(TPortBuffer& buffer, int count) override { return Check().ReadBufEx(buffer, count); }
    bool WriteBuf(TPortBuffer buffer) override { return Write().WriteBuf(buffer); }
    bool WriteByte(uint8_t value) override { return Write().WriteByte(value); }
    bool WritePortEx(const uint8_t* data, int length) override { return Write().WritePortEx(data, length); }
    void SetCommBreak() override { Check().SetCommBreak(); }
    void ClearCommBreak() override { Check().ClearCommBreak(); }
    void SetTimeouts(int a, int b, int c, int d, int e) override { Check().SetTimeouts(a, b, c, d, e); }

private:
    TBasePort& Check() {
        if (WritesLeft <= 0)
            throw PortException("Порт SIM: адаптер отключен");
        return Target;
    }
    TBasePort& Write() {
        TBasePort& port = Check();
        --WritesLeft;
        return port;
    }
    TBasePort& Target;
    int WritesLeft;
};

TEST_P(ModuleDialogueTest, WithProtocolLogs001To999TakenTheLogIsNotWritten) {
    for (int n = 1; n <= 999; ++n) {
        char name[32];
        std::snprintf(name, sizeof name, "LOGS/ISO18%03d.txt", n);
        Folder.WriteFile(name, "");
    }
    Open();
    TModuleDialogue dialogue = Dialogue();
    ASSERT_TRUE(dialogue.DiagnoseEGas(EGasAddress, false)) << Host.LogText();
    EXPECT_EQ(dialogue.ProtocolLogPath(), "");
    ASSERT_FALSE(Host.Logs().empty());
    EXPECT_TRUE(Host.Logs().back().starts_with("Не удалось записать протокол в ")) << Host.LogText();
    EXPECT_FALSE(std::filesystem::exists(Folder.Path() / "LOGS" / "ISO181000.txt"));
}

TEST_P(ModuleDialogueTest, ALinkThatDropsEndsTheDialogueWithItsTextAndTheLogSaved) {
    Open();
    TVanishingPort vanishing(*Port, 12);
    TModuleDialogue dialogue(vanishing, GetParam().Adapter, GetParam().Prefix);
    EXPECT_FALSE(dialogue.DiagnoseSRS(false));
    EXPECT_EQ(dialogue.FailureText(), "Порт SIM: адаптер отключен");
    EXPECT_TRUE(Has(Host.Logs(), "Порт SIM: адаптер отключен"));
    ASSERT_FALSE(dialogue.ProtocolLogPath().empty()) << "the exchange so far is saved";
    EXPECT_FALSE(Folder.ReadFile("LOGS/ISO41001.txt").empty());
}

TEST_P(ModuleDialogueTest, AFullFaultMemoryIsAskedForSixteenCodes) {
    Open("[Unit]\nBase=hfm\n[SRS]\nFaults=1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16 17 18 19 20 21 22\n");
    TModuleDialogue dialogue = Dialogue();
    ASSERT_TRUE(dialogue.DiagnoseSRS(false)) << Host.LogText();
    ASSERT_EQ(dialogue.Faults().size(), 16u);
    EXPECT_EQ(dialogue.Faults().back().Code, 16);
    EXPECT_FALSE(Has(Host.Logs(), "   17"));
}

INSTANTIATE_TEST_SUITE_P(Adapters, ModuleDialogueTest,
                         ::testing::Values(TPortKind{"SIM", TSimAdapterKind::Kkl, 'K'},
                                           TPortKind{"SIMELM", TSimAdapterKind::Elm, 'E'}),
                         [](const auto& row) { return std::string(row.param.Prefix); });

class ModuleDialogueCableTest : public ModuleDialogueTest {};

TEST_P(ModuleDialogueCableTest, CableWithoutEchoEndsTheDialogueWithTheExchangeError) {
    Open("[Unit]\nBase=hfm\n[LineFaults]\nNoEcho=1\n");
    TModuleDialogue dialogue = Dialogue();
    EXPECT_FALSE(dialogue.DiagnoseEGas(EGasAddress, false));
    EXPECT_EQ(dialogue.FailureText(), DialogueAbortedText);
    EXPECT_TRUE(Has(dialogue.ProtocolLog().Items(), "Внимание! ЭХО посылки не получено!"));
}

TEST_P(ModuleDialogueCableTest, BoschSrsKeepsItsTimingsAndARefusedCommandStopsTheDialogue) {
    Open("[Unit]\nBase=hfm\n[SRS]\nSupplier=3\nMinByteSpacingMs=0\n");
    TModuleDialogue bosch = Dialogue();
    ASSERT_TRUE(bosch.DiagnoseSRS(false)) << Host.LogText();
    EXPECT_FALSE(Has(bosch.ProtocolLog().Items(), "Тайминги протокола [мс]: 3, 100, 500"));

    // A Bosch identification on a module that wants spaced bytes: every request is refused five times.
    Open("[Unit]\nBase=hfm\n[SRS]\nSupplier=3\n");
    Host.Clear();
    TModuleDialogue refused = Dialogue();
    EXPECT_FALSE(refused.DiagnoseSRS(false));
    EXPECT_EQ(refused.FailureText(), DialogueAbortedText);
    const std::vector<std::string> log = Host.Logs();
    EXPECT_EQ(std::count(log.begin(), log.end(), "Неправильный таймаут между байтами запроса. D00074"), 5);
}

// The module falls deaf (nothing more reaches the cable) at the first request after the E-GAS fault list
// has been read (three 10 00 frames) and closed with 50 01: the erase's own fault read fails. Every byte
// written is kept.
class TDeafAfterListPort : public TBasePort {
public:
    explicit TDeafAfterListPort(TBasePort& target) : Target(target) {}
    bool Open(bool showErrors, int baud) override { return Target.Open(showErrors, baud); }
    bool IsOpen() override { return Target.IsOpen(); }
    int InQueue() override { return Deaf ? 0 : Target.InQueue(); }
    void Close() override { Target.Close(); }
    void SetParams(int baud, uint8_t parity, uint8_t stopBits) override {
        Target.SetParams(baud, parity, stopBits);
    }
    void SetRTS(bool on) override { Target.SetRTS(on); }
    void SetParity(uint8_t parity) override { Target.SetParity(parity); }
    bool ReadByte(uint8_t& value) override { return Target.ReadByte(value) && !Deaf; }
    int ReadBuf(TPortBuffer& buffer) override { return Heard(buffer, Target.ReadBuf(buffer)); }
    int ReadBufEx(TPortBuffer& buffer, int count) override {
        return Heard(buffer, Target.ReadBufEx(buffer, count));
    }
    bool WriteBuf(TPortBuffer buffer) override {
        Wrote(buffer.Data, buffer.Count);
        return Target.WriteBuf(buffer);
    }
    bool WriteByte(uint8_t value) override {
        Wrote(&value, 1);
        return Target.WriteByte(value);
    }
    bool WritePortEx(const uint8_t* data, int length) override {
        Wrote(data, length);
        return Target.WritePortEx(data, length);
    }
    void SetCommBreak() override { Target.SetCommBreak(); }
    void ClearCommBreak() override { Target.ClearCommBreak(); }
    void SetTimeouts(int a, int b, int c, int d, int e) override { Target.SetTimeouts(a, b, c, d, e); }

    std::string Written; // every byte sent
    size_t DeafAt = 0;   // the length of Written when the module fell deaf
    bool Deaf = false;

private:
    int Heard(TPortBuffer& buffer, int count) {
        if (!Deaf)
            return count;
        buffer.Count = 0;
        return 0;
    }
    void Wrote(const uint8_t* data, int length) {
        static const std::string read("\x18\x10\x06\x00\x2E\x00", 6), close("\x18\x50\x06\x01\x6F\x00", 6);
        size_t reads = 0;
        for (size_t at = Written.find(read); at != std::string::npos; at = Written.find(read, at + 1))
            ++reads;
        if (!Deaf && reads >= 3 && Written.ends_with(close)) {
            Deaf = true;
            DeafAt = Written.size();
        }
        Written.append(reinterpret_cast<const char*>(data), size_t(length));
    }

    TBasePort& Target;
};

TEST_P(ModuleDialogueCableTest, AFailedFaultReadStopsTheEGasErase) {
    Open();
    TDeafAfterListPort deaf(*Port);
    TModuleDialogue dialogue(deaf, GetParam().Adapter, GetParam().Prefix);
    EXPECT_FALSE(dialogue.DiagnoseEGas(EGasAddress, true));
    ASSERT_TRUE(deaf.Deaf) << Host.LogText();
    EXPECT_EQ(dialogue.FailureText(), DialogueAbortedText);
    // Only the fault read was begun: neither 50 01 nor 18 00 follows it.
    const std::string after = deaf.Written.substr(deaf.DeafAt);
    EXPECT_EQ(after.find("\x50"), std::string::npos);
    EXPECT_EQ(after.find("\x18\x18"), std::string::npos);
    EXPECT_FALSE(Has(Host.Logs(), "Удаление ошибок! ВЫКЛЮЧИ ЗАЖИГАНИЕ И ЖДИ БОЛЕЕ 10 СЕКУНД!"));
    EXPECT_EQ(Port->Car()->Module(TSimModuleKind::EGas)->Faults(), (std::vector<uint16_t>{2, 4}));
}

INSTANTIATE_TEST_SUITE_P(Cable, ModuleDialogueCableTest,
                         ::testing::Values(TPortKind{"SIM", TSimAdapterKind::Kkl, 'K'}),
                         [](const auto& row) { return std::string(row.param.Prefix); });

TEST(ModuleDialogue, RequestTextOfACode) {
    const std::pair<int, const char*> cases[] = {{0x5001, "5001"},     {0x70, "70"},     {0x70F, "070F"},
                                                 {0x282207, "282207"}, {0x1000, "1000"}, {0x3F01, "3F01"}};
    for (const auto& [code, text] : cases)
        EXPECT_EQ(TModuleDialogue::RequestText(code), text);
}

TEST(ModuleDialogue, CarSoftInterfaceHasNoModuleAdapter) {
    testing::THostRecorder host;
    testing::TTempFolder folder;
    TSimPort port("SIM", TSimAdapterKind::Kkl);
    TModuleDialogue dialogue(port, 'C', "COM1");
    EXPECT_FALSE(dialogue.DiagnoseSRS(false));
    EXPECT_EQ(dialogue.FailureText(), "Экземпляр класса TAdapter не создан!");
}

TEST(ModuleFaultTexts, FileByModuleAndPartNumberAndLinesByCode) {
    EXPECT_EQ(ModuleFaultFileName(0x18, "0125452832"), "EGAS_ASR.txt");
    EXPECT_EQ(ModuleFaultFileName(0x20, ""), "EGAS_ASR.txt");
    EXPECT_EQ(ModuleFaultFileName(0x41, "0028200526"), "AB1.txt");
    EXPECT_EQ(ModuleFaultFileName(0x41, "0018209826"), "AB2.txt");
    EXPECT_EQ(ModuleFaultFilePath("AB1.txt", 'R').filename(), "AB1.txt");
    EXPECT_EQ(ModuleFaultFilePath("AB1.txt", 'E').parent_path().filename(), "EN");
    EXPECT_EQ(ModuleFaultFilePath("AB1.txt", 'D').parent_path().filename(), "EN");

    std::string bad;
    const TModuleFaultTexts texts =
        ParseModuleFaultTexts("; comment\n\n1 No fault\n  17   Two  words \nx text\n12\n99999 big\n3text\n"
                              "0 lowest\n65535 highest\n65536 over\n-1 under\n",
                              &bad);
    EXPECT_EQ(texts.Texts.size(), 4u);
    ASSERT_NE(texts.Text(0), nullptr);
    EXPECT_EQ(*texts.Text(0), "lowest");
    ASSERT_NE(texts.Text(0xFFFF), nullptr);
    EXPECT_EQ(*texts.Text(0xFFFF), "highest");
    ASSERT_NE(texts.Text(17), nullptr);
    EXPECT_EQ(*texts.Text(17), "Two  words");
    EXPECT_EQ(texts.Text(12), nullptr);
    EXPECT_EQ(bad, "5, 6, 7, 8, 11, 12");
}

TEST(ModuleFaultTexts, MissingFileIsNamedAndCodesStillListed) {
    TManualClock clock;
    TScopedClock useClock(clock);
    testing::TTempFolder folder;
    testing::THostRecorder host;
    TSimPort port("SIM", TSimAdapterKind::Kkl);
    ASSERT_TRUE(port.Open(false, 9600));
    TModuleDialogue dialogue(port, 'K', "SIM");
    ASSERT_TRUE(dialogue.DiagnoseEGas(EGasAddress, false));
    EXPECT_NE(host.LogText().find("File not found: EGAS_ASR.txt"), std::string::npos);
    EXPECT_NE(host.LogText().find("    2 - описание не найдено."), std::string::npos);
}

// The shipped files: every line read, Russian and English with the same codes, and a text for the codes
// the simulated modules hold by default.
TEST(ModuleFaultTexts, ShippedFilesParseCleanlyInBothLanguages) {
    for (const char* name : {"EGAS_ASR.txt", "AB1.txt", "AB2.txt"}) {
        const std::filesystem::path data = VELMORA_DATA_DIR;
        std::string badRu, badEn;
        const auto read = [](const std::filesystem::path& file, std::string& bad) {
            std::ifstream in(file, std::ios::binary);
            EXPECT_TRUE(in.good()) << file;
            const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
            return ParseModuleFaultTexts(DecodeText(bytes), &bad);
        };
        const TModuleFaultTexts ru = read(data / name, badRu);
        const TModuleFaultTexts en = read(data / "EN" / name, badEn);
        EXPECT_EQ(badRu, "") << name;
        EXPECT_EQ(badEn, "") << name;
        ASSERT_EQ(ru.Texts.size(), en.Texts.size()) << name;
        for (const auto& [code, text] : ru.Texts)
            EXPECT_NE(en.Text(code), nullptr) << name << " " << code;
    }
    const TModuleFaultTexts egas =
        LoadModuleFaultTexts(std::filesystem::path(VELMORA_DATA_DIR) / "EGAS_ASR.txt");
    for (int code : {2, 4})
        EXPECT_NE(egas.Text(code), nullptr) << code;
    const TModuleFaultTexts srs = LoadModuleFaultTexts(std::filesystem::path(VELMORA_DATA_DIR) / "AB1.txt");
    for (int code : {3, 4})
        EXPECT_NE(srs.Text(code), nullptr) << code;
}

// The E-GAS numbers 2-15 of module N4/1, each naming its part where the listing gives one, in both
// languages.
TEST(ModuleFaultTexts, EGasCodesNameTheirParts) {
    const std::filesystem::path data = VELMORA_DATA_DIR;
    const TModuleFaultTexts ru = LoadModuleFaultTexts(data / "EGAS_ASR.txt");
    const TModuleFaultTexts en = LoadModuleFaultTexts(data / "EN" / "EGAS_ASR.txt");
    const struct {
        int Code;
        const char *Ru, *En;
    } table[] = {
        {3, "Привод дроссельной заслонки M16/1", "Throttle actuator M16/1"},
        {4, "Выключатель круиз-контроля S40", "Cruise control switch S40"},
        {5, "Выключатель стоп-сигнала S9/1", "Stop-lamp switch S9/1"},
        {6, "Выключатель блокировки стартера / фонарей заднего хода",
         "Starter lock-out / backup-lamp switch"},
        {13, "Левый привод дроссельной заслонки M16/4", "Left throttle actuator M16/4"},
    };
    const auto starts = [](const std::string* text, std::string_view head) {
        return text != nullptr && text->starts_with(head);
    };
    for (const auto& row : table) {
        EXPECT_TRUE(starts(ru.Text(row.Code), row.Ru)) << row.Code;
        EXPECT_TRUE(starts(en.Text(row.Code), row.En)) << row.Code;
    }
    for (int code = 2; code <= 15; ++code) {
        EXPECT_NE(ru.Text(code), nullptr) << code;
        EXPECT_NE(en.Text(code), nullptr) << code;
    }
}

} // namespace
} // namespace velmora
