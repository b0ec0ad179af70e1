#include "ui/window/replay_loader.h"

#include <QDateTime>

#include "engine_link/ident_report.h"
#include "lang/dictionary.h"
#include "params/poll_levels.h"
#include "params/unit_codes.h"
#include "recording/recording.h"

namespace velmora {

std::shared_ptr<TReplayRecording> LoadReplayRecording(const std::filesystem::path& file, std::string& error) {
    TRecording recording;
    if (!recording.Load(file)) {
        error = Translate(recording.Error());
        return nullptr;
    }
    auto rec = std::make_shared<TReplayRecording>();
    const TEcuIdent& ident = recording.Ident();
    rec->File = file;
    rec->Name = file.filename().string();
    rec->Date = QDateTime::fromMSecsSinceEpoch(recording.StartWallMs())
                    .toLocalTime()
                    .toString("dd.MM.yyyy HH:mm")
                    .toStdString();
    for (const std::string& part : {CarSummary(recording.Client(), ident), UnitSummary(ident)})
        if (!part.empty())
            rec->Car += (rec->Car.empty() ? "" : ", ") + part;
    rec->TimesEstimated = recording.TimesEstimated();
    rec->TimesText = recording.TimesText();
    rec->DurationMs = recording.DurationMs();
    rec->Ident = ident;
    rec->FaultContext = {ident.UnitType, ident.Supplier, ident.DiagIndex, ident.VariantLetter,
                         ident.HasPmsFaultMap()};
    // The set a live connection to this unit has: the screens and the graph are built on it as they were
    // live, and each value's bytes are decoded by its records.
    rec->Params = std::make_shared<TListParams>();
    rec->Params->LoadBuiltinSet(ident.UnitType, ident.VariantLetter);
    rec->Params->AssignColorRules(ident.UnitType, ident.Supplier, ident.DiagIndex);
    AssignPollLevels(*rec->Params, ident.UnitType, false);
    for (const TRecordedPair& pair : recording.Pairs()) {
        if (!pair.Record || pair.ValueSize == 0 || pair.Record->Number > 255)
            continue;
        rec->Values.push_back({pair.TimeMs, uint8_t(pair.Record->Number), pair.ValueBytes});
    }
    for (const TRecordedFaultRead& read : recording.FaultReads())
        if (read.Complete && read.Lh == (ident.UnitType == UnitLh))
            rec->Faults.push_back({read.EndMs, read.Buffer});
    return rec;
}

} // namespace velmora
