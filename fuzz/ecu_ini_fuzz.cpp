// ECU.ini, the parameter descriptions of the user. Input: the file. Properties: a load either completes
// or stops with one of the description errors; the set holds only records with a CMD address, each
// number once, from the sections P0..P219 and U220..U255; every record converts and prints its values.
#include <set>

#include "fuzz_target.h"
#include "params/param_errors.h"
#include "params/param_list.h"

VELMORA_FUZZ_TARGET(ecu_ini) {
    const std::filesystem::path path =
        velmora::fuzz::WriteFuzzFile("ECU.ini", std::string_view(reinterpret_cast<const char*>(data), size));
    velmora::TListParams params;
    try {
        params.LoadIni(path);
    } catch (const velmora::ParamError&) {
    }
    std::set<int> numbers;
    for (const auto& param : params) {
        FUZZ_CHECK(param->HasCmd(), "a record without CMD");
        FUZZ_CHECK(param->Number <= 255, "number " + std::to_string(param->Number));
        FUZZ_CHECK(numbers.insert(param->Number).second, "number twice: " + std::to_string(param->Number));
        for (uint8_t raw : {0x00, 0x80, 0xFF}) {
            param->SetData(raw, raw, raw, raw);
            try {
                param->FormatValue();
            } catch (const velmora::FormatError&) {
            }
            param->BitText();
        }
        param->RangeMin();
        param->RangeMax();
    }
    return 0;
}
