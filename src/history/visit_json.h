// A visit as JSON: the queue of visits waiting for their store and `velmora-cli history --json` use
// the same fields. Any thread.
#pragma once

#include <nlohmann/json.hpp>
#include <optional>
#include <string>

#include "history/visit.h"

namespace velmora {

using TVisitJson = nlohmann::ordered_json;

// date, client, car, vin, ident, unit, port, faults (code, stored, current, known, erased, remained),
// events (date, kind, detail, ok), files (kind, path)
TVisitJson VisitToJson(const TVisit& visit);
// nullopt when the document is not a visit.
std::optional<TVisit> VisitFromJson(const TVisitJson& document);

} // namespace velmora
