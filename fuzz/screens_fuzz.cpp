// The screen definitions of options.ini. Input: a flags byte choosing the parameter set the screens are
// matched against, then the file. Properties: a number list either reads numbers 0..255 or raises
// ScreenFileError; the screens come once each, in index order, with a caption and items 0..255.
#include "fuzz_target.h"
#include "params/param_list.h"
#include "platform/ini_file.h"
#include "ui/screens/screen_definition.h"

VELMORA_FUZZ_TARGET(screens) {
    velmora::fuzz::TFuzzInput input(data, size);
    const uint8_t flags = input.Byte();
    const std::string_view file = input.Remaining();
    static const velmora::TListParams noParams;
    static const velmora::TListParams hfmParams = [] {
        velmora::TListParams params;
        params.LoadBuiltinSet(1, 'A');
        return params;
    }();
    static const velmora::TListParams lhParams = [] {
        velmora::TListParams params;
        params.LoadBuiltinSet(3, 'h');
        return params;
    }();
    const velmora::TListParams* sets[] = {&noParams, &hfmParams, &lhParams};
    const velmora::TListParams& params = *sets[flags % 3];

    const std::filesystem::path path = velmora::fuzz::WriteFuzzFile("DATA/options.ini", file);
    std::vector<std::string> errors;
    const std::vector<velmora::TScreenDefinition> screens =
        velmora::ReadScreenDefinitions(path, params, errors);
    int previous = -1;
    for (const velmora::TScreenDefinition& screen : screens) {
        FUZZ_CHECK(screen.Index > previous && screen.Index < velmora::MaxScreens,
                   "screen index " + std::to_string(screen.Index));
        previous = screen.Index;
        FUZZ_CHECK(!screen.Caption.empty(), "a screen without caption");
        for (const velmora::TScreenItem& item : screen.Items)
            FUZZ_CHECK(item.Number >= 0 && item.Number <= 255, "item " + std::to_string(item.Number));
    }

    const velmora::TIniFile ini(path);
    for (const std::string& section : ini.ReadSections()) {
        for (const char* key : {"ITEMS", "PRESENT", "NOTPRESENT"}) {
            try {
                for (int number : velmora::ParseNumberList(ini.ReadString(section, key, "")))
                    FUZZ_CHECK(number >= 0 && number <= 255, "number " + std::to_string(number));
            } catch (const velmora::ScreenFileError&) {
            }
        }
    }
    return 0;
}
