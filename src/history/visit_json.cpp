#include "history/visit_json.h"

namespace velmora {

TVisitJson VisitToJson(const TVisit& visit) {
    TVisitJson faults = TVisitJson::array();
    for (const TVisitFault& f : visit.Faults)
        faults.push_back({{"code", f.Code},
                          {"stored", f.Stored},
                          {"current", f.Current},
                          {"known", !f.Unknown},
                          {"erased", f.Erased},
                          {"remained", f.Remained}});
    TVisitJson events = TVisitJson::array();
    for (const TVisitEvent& e : visit.Events)
        events.push_back({{"date", e.When}, {"kind", e.Kind}, {"detail", e.Detail}, {"ok", e.Ok}});
    TVisitJson files = TVisitJson::array();
    for (const TVisitFile& f : visit.Files)
        files.push_back({{"kind", f.Kind}, {"path", f.Path}});
    return TVisitJson{
        {"date", visit.When},   {"client", visit.Client},
        {"car", visit.Car},     {"vin", visit.Vin.empty() ? TVisitJson(nullptr) : TVisitJson(visit.Vin)},
        {"ident", visit.Ident}, {"unit", visit.Unit},
        {"port", visit.Port},   {"faults", faults},
        {"events", events},     {"files", files}};
}

std::optional<TVisit> VisitFromJson(const TVisitJson& d) {
    try {
        TVisit v;
        v.When = d.at("date").get<std::string>();
        v.Client = d.at("client").get<std::string>();
        v.Car = d.at("car").get<std::string>();
        v.Vin = d.at("vin").is_null() ? std::string() : d.at("vin").get<std::string>();
        v.Ident = d.at("ident").get<std::string>();
        v.Unit = d.at("unit").get<std::string>();
        v.Port = d.at("port").get<std::string>();
        for (const auto& f : d.at("faults"))
            v.Faults.push_back({f.at("code").get<int>(), f.at("stored").get<bool>(),
                                f.at("current").get<bool>(), !f.at("known").get<bool>(),
                                f.at("erased").get<bool>(), f.at("remained").get<bool>()});
        for (const auto& e : d.at("events"))
            v.Events.push_back({e.at("date").get<std::string>(), e.at("kind").get<std::string>(),
                                e.at("detail").get<std::string>(), e.at("ok").get<bool>()});
        for (const auto& f : d.at("files"))
            v.Files.push_back({f.at("kind").get<std::string>(), f.at("path").get<std::string>()});
        return v;
    } catch (const nlohmann::json::exception&) {
        return std::nullopt;
    }
}

} // namespace velmora
