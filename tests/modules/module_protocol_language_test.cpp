// The protocol log of a module dialogue speaks the program's language: an English or German dialogue
// writes no Russian note (reception times, answers, their absence), on a cable and through an ELM327.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <tuple>

#include "host_recorder.h"
#include "lang/dictionary.h"
#include "lang/dictionary_table.h"
#include "modules/module_dialogue.h"
#include "platform/clock.h"
#include "sim/sim_port.h"
#include "temp_folder.h"

namespace velmora {
namespace {

std::string Shipped(const char* file) {
    std::ifstream in(std::filesystem::path(VELMORA_DATA_DIR) / file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

TEST(ModuleProtocolLanguage, NotesFollowTheLanguage) {
    const std::tuple<char, const char*, TSimAdapterKind, char> rows[] = {
        {'E', "SIM:hfm", TSimAdapterKind::Kkl, 'K'},
        {'D', "SIM:hfm", TSimAdapterKind::Kkl, 'K'},
        {'E', "SIMELM:hfm", TSimAdapterKind::Elm, 'E'},
        {'E', "SIM:modules-silent", TSimAdapterKind::Kkl, 'K'}, // the notes of a module that never answers
    };
    for (const auto& [language, portName, kind, adapter] : rows) {
        TManualClock clock;
        TScopedClock useClock(clock);
        testing::TTempFolder folder;
        testing::THostRecorder host;
        for (const char* file : {"english.txt", "deutsch.txt"})
            folder.WriteFile(std::string("DATA/") + file, Shipped(file));
        ResetDictionary();
        SetLanguage(language);
        TSimPort port(portName, kind);
        ASSERT_TRUE(port.Open(false, 9600));
        TModuleDialogue dialogue(port, adapter, portName);
        dialogue.DiagnoseEGas(EGasAddress, false);
        ASSERT_FALSE(dialogue.ProtocolLog().Items().empty()) << portName;
        for (const std::string& line : dialogue.ProtocolLog().Items())
            EXPECT_FALSE(HasCyrillic(line)) << language << " " << portName << ": " << line;
    }
    SetLanguage('R');
    ResetDictionary();
}

} // namespace
} // namespace velmora
