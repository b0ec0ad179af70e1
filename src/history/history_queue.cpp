#include "history/history_queue.h"

#include <fstream>

#include "history/visit_json.h"

namespace velmora {

bool THistoryQueue::Append(const TVisit& visit) {
    std::error_code ignored;
    if (File.has_parent_path())
        std::filesystem::create_directories(File.parent_path(), ignored);
    std::ofstream out(File, std::ios::binary | std::ios::app);
    out << VisitToJson(visit).dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) << "\n";
    out.flush();
    return bool(out);
}

std::vector<TVisit> THistoryQueue::Pending() const {
    std::vector<TVisit> visits;
    std::ifstream in(File, std::ios::binary);
    std::string line;
    while (std::getline(in, line)) {
        const TVisitJson document = TVisitJson::parse(line, nullptr, false);
        if (document.is_discarded())
            continue;
        if (std::optional<TVisit> visit = VisitFromJson(document))
            visits.push_back(std::move(*visit));
    }
    return visits;
}

int THistoryQueue::Flush(THistoryStore& store, std::string& error) {
    std::error_code failed;
    if (!std::filesystem::exists(File, failed))
        return 0;
    // The waiting visits are taken out of the way first, so that a visit the other program queues
    // meanwhile lands in a new file and is not lost when the rest is put back.
    std::filesystem::path takenFile = File;
    takenFile += ".taken";
    THistoryQueue taken(takenFile);
    if (std::filesystem::exists(taken.File, failed)) {
        // Left by a flush that did not end: its visits are still waiting.
        for (const TVisit& visit : taken.Pending())
            Append(visit);
        std::filesystem::remove(taken.File, failed);
    }
    std::filesystem::rename(File, taken.File, failed);
    if (failed)
        return 0;
    int written = 0;
    for (const TVisit& visit : taken.Pending()) {
        if (error.empty() && store.AddVisit(visit, error) != 0)
            ++written;
        else
            Append(visit);
    }
    std::filesystem::remove(taken.File, failed);
    return written;
}

} // namespace velmora
