#include "ui/history/visit_rows.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <set>

#include "lang/dictionary.h"
#include "lang/translated_format.h"
#include "platform/utf8_path.h"

namespace velmora {

namespace {

const std::string& KeyOf(const TVisit& visit, THistoryKey by) {
    return by == THistoryKey::Car ? visit.Car : visit.Client;
}

// Lower case for the search: ASCII letters, and Cyrillic letters in UTF-8 (А-Я, Ё).
std::string Folded(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c < 0x80) {
            out += char(std::tolower(c));
            continue;
        }
        if (i + 1 < text.size()) {
            const auto next = static_cast<unsigned char>(text[i + 1]);
            if (c == 0xD0 && next >= 0x90 && next <= 0x9F) { // А-П
                out += char(0xD0);
                out += char(next + 0x20);
                ++i;
                continue;
            }
            if (c == 0xD0 && next >= 0xA0 && next <= 0xAF) { // Р-Я
                out += char(0xD1);
                out += char(next - 0x20);
                ++i;
                continue;
            }
            if (c == 0xD0 && next == 0x81) { // Ё
                out += char(0xD1);
                out += char(0x91);
                ++i;
                continue;
            }
        }
        out += char(c);
    }
    return out;
}

bool Finds(const TVisit& visit, const std::string& folded) {
    for (const std::string* field : {&visit.Car, &visit.Vin, &visit.Ident, &visit.Client})
        if (Folded(*field).find(folded) != std::string::npos)
            return true;
    return false;
}

// "remaining 1" of an erase: the faults still there after it; -1 when the detail says nothing.
int Remaining(const std::string& detail) {
    constexpr std::string_view prefix = "remaining ";
    if (!detail.starts_with(prefix))
        return -1;
    try {
        return std::stoi(detail.substr(prefix.size()));
    } catch (const std::exception&) {
        return -1;
    }
}

struct TFileKindText {
    const char* Kind;
    const char* Russian;
};
constexpr TFileKindText FileKindTexts[] = {
    {"report", "Отчёт для клиента"},
    {"fault_report", "Отчёт об ошибках"},
    {"exchange_log", "Лог обмена"},
    {"recording", "Запись"},
    {"log", "Протокол"},
};

struct TFunctionText {
    const char* Kind;
    const char* Russian;
};
constexpr TFunctionText FunctionTexts[] = {
    {"actuator", "Проверка исполнительного элемента"},
    {"adaptation", "Адаптация"},
    {"coding", "Кодирование"},
};

} // namespace

uint8_t UnitTypeOfText(const std::string& unit) {
    static constexpr const char* Families[] = {"HFM", "PMS", "LH", "EZ"};
    const std::string family = unit.substr(0, unit.find(' '));
    for (uint8_t i = 0; i < std::size(Families); ++i)
        if (family == Families[i])
            return uint8_t(i + 1);
    return 0;
}

std::vector<std::string> HistoryKeys(const std::vector<TVisit>& visits, THistoryKey by,
                                     const std::string& search) {
    const std::string folded = Folded(search);
    std::vector<std::string> keys;
    std::set<std::string> seen;
    for (auto it = visits.rbegin(); it != visits.rend(); ++it) {
        const std::string& key = KeyOf(*it, by);
        if (key.empty() || seen.count(key) || (!folded.empty() && !Finds(*it, folded)))
            continue;
        seen.insert(key);
        keys.push_back(key);
    }
    return keys;
}

std::vector<size_t> VisitsOf(const std::vector<TVisit>& visits, THistoryKey by, const std::string& key) {
    std::vector<size_t> found;
    for (size_t i = visits.size(); i-- > 0;)
        if (KeyOf(visits[i], by) == key || (by == THistoryKey::Car && !key.empty() && visits[i].Vin == key))
            found.push_back(i);
    return found;
}

std::string VisitMileage(const TVisit& visit) {
    std::string mileage;
    for (const TVisitEvent& event : visit.Events)
        if (event.Kind == "mileage")
            mileage = event.Detail; // the last report's figure
    return mileage;
}

std::vector<TVisitLine> VisitLines(const std::vector<TVisit>& visits, size_t index,
                                   const TFaultTextLookup& text) {
    const TVisit& visit = visits[index];
    std::vector<TVisit> earlier;
    for (size_t i = 0; i < index; ++i)
        if (visits[i].Car == visit.Car)
            earlier.push_back(visits[i]);

    std::vector<TVisitLine> lines;
    for (const TVisitFault& fault : visit.Faults) {
        TVisitLine line;
        line.Kind = TVisitLineKind::Fault;
        std::string head = fault.Unknown ? "?" + std::to_string(fault.Code) : FormatText("%.3d", fault.Code);
        const std::string meaning = fault.Unknown || !text ? std::string() : text(visit.Unit, fault.Code);
        if (!meaning.empty())
            head += "  " + meaning;
        std::vector<std::string> marks;
        if (fault.Stored)
            marks.push_back(Translate("Сохраненный"));
        if (fault.Current)
            marks.push_back(Translate("АКТУАЛЬНЫЙ"));
        if (fault.Erased)
            marks.push_back(Translate("стерта"));
        if (fault.Remained)
            marks.push_back(Translate("осталась после стирания"));
        if (!fault.Unknown) {
            std::string erasedOn;
            for (const TSeenBefore& seen : SeenBefore(earlier, fault.Code))
                if (seen.Erased)
                    erasedOn = seen.Date.substr(0, 10); // the latest erase
            if (!erasedOn.empty()) {
                marks.push_back(TranslateFormat("ПОВТОРНАЯ: стерта %s", erasedOn.c_str()));
                line.Recurring = true;
            }
        }
        line.Text = head;
        for (size_t i = 0; i < marks.size(); ++i)
            line.Text += (i == 0 ? "  —  " : ",  ") + marks[i];
        lines.push_back(std::move(line));
    }
    for (const TVisitEvent& event : visit.Events) {
        if (event.Kind == "mileage")
            continue; // shown in the visit's own line
        TVisitLine line;
        line.Failed = !event.Ok;
        const std::string time = event.When.size() > 11 ? event.When.substr(11) : event.When;
        if (event.Kind == "erase") {
            line.Kind = TVisitLineKind::Erase;
            const int remaining = Remaining(event.Detail);
            line.Text = time + "  " + Translate("Стирание ошибок") + ": " +
                        (!event.Ok        ? Translate("не выполнено")
                         : remaining == 0 ? Translate("стерты все")
                         : remaining > 0  ? TranslateFormat("осталось %d", remaining)
                                          : event.Detail);
        } else {
            line.Kind = TVisitLineKind::Function;
            std::string what = event.Kind;
            for (const TFunctionText& row : FunctionTexts)
                if (event.Kind == row.Kind)
                    what = Translate(row.Russian);
            line.Text = time + "  " + what + ": " + event.Detail +
                        (event.Ok ? std::string() : "  (" + Translate("не выполнено") + ")");
        }
        lines.push_back(std::move(line));
    }
    for (const TVisitFile& file : visit.Files) {
        TVisitLine line;
        line.Kind = TVisitLineKind::File;
        line.Path = file.Path;
        line.FileKind = file.Kind;
        std::error_code error;
        line.Missing = !std::filesystem::is_regular_file(Utf8Path(file.Path), error);
        std::string what = file.Kind;
        for (const TFileKindText& row : FileKindTexts)
            if (file.Kind == row.Kind)
                what = Translate(row.Russian);
        line.Text =
            what + ": " + file.Path + (line.Missing ? "  (" + Translate("файл отсутствует") + ")" : "");
        lines.push_back(std::move(line));
    }
    return lines;
}

} // namespace velmora
