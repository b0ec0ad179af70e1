// Whole identification sessions against the simulated units in virtual time: the family and supplier
// each unit is taken for, the report, the exchange-log name on disk, and what a failure leaves behind.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>

#include "engine_link/engine_link.h"
#include "engine_link/exchange_log.h"
#include "engine_link/ident_session.h"
#include "host_recorder.h"
#include "links/port_factory.h"
#include "params/unit_codes.h"
#include "platform/clock.h"
#include "sim/sim_port.h"
#include "temp_folder.h"

namespace velmora {
namespace {

namespace fs = std::filesystem;

class IdentSessionTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { RegisterSimPorts(); }

    // The port of a profile written to the program folder, behind a plain cable or `kind`.
    std::string Profile(const std::string& name, const std::string& text, const std::string& kind = "SIM") {
        return kind + ":" + Folder.WriteFile(name + ".ini", text).string();
    }
    TIdentOutcome Run(const std::string& port, char adapter = 'K') {
        TExchangeLog log;
        TEngineLink link(log);
        TIdentOutcome outcome = RunIdentSession(link, log, {port, adapter, false});
        Ident = link.Ident;
        LogName = log.LogName();
        return outcome;
    }
    bool Logged(std::string_view text) const { return Host.LogText().find(text) != std::string::npos; }
    fs::path LogFile(const std::string& name) const { return Folder.Path() / "LOGS" / name; }

    TManualClock ManualClock;
    TScopedClock UseClock{ManualClock};
    testing::THostRecorder Host;
    testing::TTempFolder Folder;
    TEcuIdent Ident;
    std::string LogName;
};

TEST_F(IdentSessionTest, BuiltinUnitsAreIdentifiedReportedAndNamed) {
    struct TCase {
        const char* Port;
        int UnitType, Supplier, DiagIndex;
        char Variant;
        const char* ReportLine;
        const char* LogName;
    };
    const TCase cases[] = {
        {"SIM:hfm", UnitHfm, SupplierBosch, 52, 'h', "VIN: WDB124 09 21F123", "B52001.bin"},
        {"SIM:hfm-new", UnitHfm, SupplierBosch, 62, 'h', "System: HFM", "B62001.bin"},
        {"SIM:hfm40", UnitHfm, SupplierBosch, 40, 'o', "Diagnosis index: 40", "B40001.bin"},
        {"SIM:hfm-vdo", UnitHfm, SupplierVdo, 42, 'o', "  VDO", "V42001.bin"},
        {"SIM:pms", UnitPms, SupplierSiemens, 61, 0, "  SIEMENS", "S61001.bin"},
        {"SIM:pms-bosch", UnitPms, SupplierBosch, 45, 0, "System: PMS", "B45001.bin"},
        {"SIM:pms-vdo", UnitPms, SupplierVdo, 52, 0, "VIN: ", "V52001.bin"},
        {"SIM:hfm-siemens", UnitHfm, SupplierSiemens, 64, 'h', "  SIEMENS", "S64001.bin"},
        {"SIM:lh", UnitLh, SupplierBosch, 44, 'h', "System: LH", "LH44001.bin"},
        // The lh unit above took LH44001.bin.
        {"SIM:lh-w", UnitLh, SupplierBosch, 44, 'w', "Cylinders/Valves: 8/4", "LH44002.bin"},
        // A block that starts as an LH candidate and fails the LH rules is an EZ.
        {"SIM:ez", UnitEz, SupplierBosch, 23, 0, "Control unit: EZ", "EZ23001.bin"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Port);
        Host.Clear();
        const TIdentOutcome outcome = Run(c.Port);
        EXPECT_TRUE(outcome.Identified) << outcome.Reason << "\n" << Host.LogText();
        EXPECT_EQ(Ident.UnitType, c.UnitType);
        EXPECT_EQ(Ident.Supplier, c.Supplier);
        EXPECT_EQ(Ident.DiagIndex, c.DiagIndex);
        EXPECT_EQ(Ident.VariantLetter, c.Variant);
        EXPECT_TRUE(Logged(c.ReportLine)) << Host.LogText();
        EXPECT_EQ(LogName, c.LogName);
        EXPECT_TRUE(fs::exists(LogFile(c.LogName)));
        EXPECT_EQ(Port(), nullptr);
        EXPECT_FALSE(Logged("Большой таймаут обмена"));
    }
    EXPECT_TRUE(Logged(
        "Блок зажигания EZ прочитан: данные выше. Других функций у этого блока нет, связь завершена."));
}

TEST_F(IdentSessionTest, CraftedBlocksFallThroughTheRules) {
    struct TCase {
        const char* Name;
        const char* Profile;
        bool Identified;
        int UnitType, Supplier;
        std::vector<const char*> Lines;
    };
    const TCase cases[] = {
        // An EZ candidate whose byte 2 is no digit is nothing known.
        {"ez-unknown",
         "[Unit]\nBase=ez\n[Ident]\n02=\"X\"\n",
         false,
         UnitUnknown,
         SupplierVdo,
         {"Тип системы не определен. Сигнатура  d4d",
          "STOP!!! Блок не опознан как HFM, диагностика невозможна!"}},
        // An HFM of a supplier letter nobody knows is taken for VDO.
        {"hfm-x",
         "[Unit]\nBase=hfm\n[Ident]\n00=2C 58\n",
         true,
         UnitHfm,
         SupplierVdo,
         {"Тип блока не определен. Сигнатура 2c58", "Предположу что это ЭБУ фирмы VDO", "  VDO"}},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        Host.Clear();
        const TIdentOutcome outcome = Run(Profile(c.Name, c.Profile));
        EXPECT_EQ(outcome.Identified, c.Identified) << outcome.Reason << "\n" << Host.LogText();
        EXPECT_EQ(Ident.UnitType, c.UnitType);
        EXPECT_EQ(Ident.Supplier, c.Supplier);
        for (const char* line : c.Lines)
            EXPECT_TRUE(Logged(line)) << line << "\n" << Host.LogText();
    }
}

TEST_F(IdentSessionTest, EachConnectionGetsTheNextFreeLogName) {
    EXPECT_TRUE(Run("SIM:pms-bosch").Identified);
    EXPECT_TRUE(Run("SIM:pms-bosch").Identified);
    EXPECT_EQ(LogName, "B45002.bin");
    EXPECT_GT(fs::file_size(LogFile("B45001.bin")), 0u);
    EXPECT_GT(fs::file_size(LogFile("B45002.bin")), 0u);
}

TEST_F(IdentSessionTest, FailuresFreeThePortAndKeepTheLog) {
    struct TCase {
        const char* Name;
        std::string Port;
        const char* Reason; // the start of the reason
        // Where what was received before the failure is kept: tmp001.bin the sound pairs, tmp001_line.txt
        // the tries that were dropped; "" nothing.
        const char* Kept;
    };
    const TCase cases[] = {
        {"no port", "SIM:/nonexistent/unit.ini", "Не могу открыть порт SIM:/nonexistent/unit.ini", ""},
        {"silent", Profile("silent", "[Unit]\nBase=hfm\nBreakMinMs=300\n"), "ОШИБКА! ECU не отвечает!", ""},
        {"complement", Profile("wrong", "[Unit]\nBase=hfm\n[LineFaults]\nWrongComplementEvery=1\n"),
         "0x0C00 Попытки восстановить связь истекли!", "tmp001_line.txt"},
        {"vanish", Profile("vanish", "[Unit]\nBase=hfm\n[LineFaults]\nVanishAfterRequests=6\n"), "0x0",
         "tmp001.bin"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        Host.Clear();
        fs::remove(LogFile("tmp001.bin"));
        fs::remove(LogFile("tmp001_line.txt"));
        const TIdentOutcome outcome = Run(c.Port);
        EXPECT_FALSE(outcome.Identified);
        EXPECT_TRUE(outcome.Reason.starts_with(c.Reason)) << outcome.Reason;
        EXPECT_TRUE(Logged(outcome.Reason));
        EXPECT_EQ(Port(), nullptr);
        EXPECT_EQ(LogName, "tmp001.bin");
        if (*c.Kept)
            EXPECT_TRUE(fs::exists(LogFile(c.Kept)));
        else
            EXPECT_FALSE(fs::exists(LogFile("tmp001.bin")) || fs::exists(LogFile("tmp001_line.txt")));
    }
    EXPECT_TRUE(Logged("StopOnError: 0x0"));
}

TEST_F(IdentSessionTest, AdapterKinds) {
    struct TCase {
        const char* Port;
        char Adapter;
        bool ElmAsKkl;
        int UnitType;
        const char* LogName;
    };
    const TCase cases[] = {
        {"SIMELM:lh", 'E', false, UnitLh, "LH44001.bin"},
        {"SIMELM:hfm-new", 'E', true, UnitHfm, "B62001.bin"},
        {"SIMCARSOFT:pms", 'C', false, UnitPms, "S61001.bin"}, // at 9600 baud the interface is a cable
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Port);
        TExchangeLog log;
        TEngineLink link(log);
        const TIdentOutcome outcome = RunIdentSession(link, log, {c.Port, c.Adapter, c.ElmAsKkl});
        EXPECT_TRUE(outcome.Identified) << outcome.Reason << "\n" << Host.LogText();
        EXPECT_EQ(link.Ident.UnitType, c.UnitType);
        EXPECT_EQ(log.LogName(), c.LogName);
        EXPECT_EQ(link.UseElmTables, c.Adapter == 'E' && !c.ElmAsKkl);
        EXPECT_EQ(Port(), nullptr);
    }
}

TEST_F(IdentSessionTest, ElmAdapterThatCannotWakeTheUnit) {
    const TIdentOutcome outcome = Run(Profile("silent", "[Unit]\nBase=hfm\nBreakMinMs=300\n", "SIMELM"), 'E');
    EXPECT_FALSE(outcome.Identified);
    // "BUS INIT: ...ERROR" to HFMCONNECT is a failed wake-up: the standard request is tried, then the
    // wake-up fails with its own text and no request pair is ever sent.
    const std::string failure = "Ошибка при подключении к ЭБУ через адаптер ELM327 velmora";
    EXPECT_EQ(outcome.Reason, failure);
    EXPECT_TRUE(Logged(failure));
    EXPECT_FALSE(Logged("HFMDATA"));
    EXPECT_NE(std::find(Host.Posted().begin(), Host.Posted().end(), testing::TPosted{WM_USER + 3, 0, 0}),
              Host.Posted().end());
    EXPECT_EQ(Port(), nullptr);
}

} // namespace
} // namespace velmora
