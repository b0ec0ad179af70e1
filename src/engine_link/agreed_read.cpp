#include "engine_link/agreed_read.h"

#include <algorithm>

#include "lang/dictionary.h"
#include "lang/translated_format.h"

namespace velmora {

std::optional<std::vector<uint8_t>> AgreedRead(const std::vector<std::vector<uint8_t>>& reads) {
    if (reads.size() < 2)
        return std::nullopt;
    for (size_t i = 0; i + 1 < reads.size(); ++i) {
        if (reads[i] == reads.back())
            return reads.back();
    }
    return std::nullopt;
}

std::vector<size_t> DifferingPositions(const std::vector<std::vector<uint8_t>>& reads) {
    std::vector<size_t> positions;
    size_t longest = 0;
    for (const auto& read : reads)
        longest = std::max(longest, read.size());
    for (size_t at = 0; at < longest; ++at) {
        bool same = true;
        for (const auto& read : reads)
            same = same && at < read.size() && read[at] == reads.front()[at];
        if (!same)
            positions.push_back(at);
    }
    return positions;
}

std::string DisagreedReadsText(std::string_view what, std::string_view label,
                               const std::vector<std::vector<uint8_t>>& reads,
                               const std::vector<size_t>& positionNames) {
    std::string places;
    for (size_t at : DifferingPositions(reads)) {
        const size_t name = at < positionNames.size() ? positionNames[at] : at;
        places += (places.empty() ? "" : ", ") + FormatText("0x%.2X", unsigned(name));
    }
    return TranslateFormat("Помехи на линии K: %s не совпали при %d чтениях (%s %s).",
                           Translate(what).c_str(), int(reads.size()), Translate(label).c_str(),
                           places.c_str());
}

} // namespace velmora
