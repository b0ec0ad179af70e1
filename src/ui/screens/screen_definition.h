// The screen definitions of DATA/options.ini: sections SCREEN0..SCREEN30 with ITEMS (caption, zone
// markers TOP:, LEFT:, RIGHT: and parameter numbers), PRESENT and NOTPRESENT. Parsing only, no
// widgets, so the rules are tested on text. Window thread.
#pragma once

#include <filesystem>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace velmora {

class TListParams;

inline constexpr int MaxScreens = 31;
inline constexpr int CodeNumberView = 255;       // 20, 21, 22 as one line
inline constexpr int CodingUnitNumberView = 254; // 37, 38, 39 as one line

// A number list that cannot be read (a number above 255).
class ScreenFileError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

enum class TZone { Top, Left, Main };

struct TScreenItem {
    int Number;
    TZone Zone;
    bool operator==(const TScreenItem&) const = default;
};

struct TScreenDefinition {
    int Index = 0;
    std::string Caption; // translated; the index when ITEMS has none
    std::vector<TScreenItem> Items;
    bool HasTop = false;
    bool HasLeft = false;
};

// Numbers separated by any non-digit, "a-b" for a range: "1,3,5-7" gives 1 3 5 6 7. Throws
// ScreenFileError for a number above 255.
std::vector<int> ParseNumberList(std::string_view text);
// One ITEMS value of screen `index`. With `hasCodeParts` (the set has number 44) the runs 20,21,22 and
// 37,38,39 become the combined views 255 and 254 first.
TScreenDefinition ParseScreenItems(std::string items, int index, bool hasCodeParts);
// The screens of `file` that apply to `params` (PRESENT all there, NOTPRESENT none), in index order.
// A section whose lists cannot be read is skipped and its error added to `errors`.
std::vector<TScreenDefinition> ReadScreenDefinitions(const std::filesystem::path& file,
                                                     const TListParams& params,
                                                     std::vector<std::string>& errors);

} // namespace velmora
