// One exchange log read through the scanner and the text writer, wired together: the parameter set
// follows the unit the log's identification blocks name (or stays the one given, ECU.ini or the OBD
// descriptions). The converter writes its text from it; a recording reads its pairs and values from the
// same object, so a log is decoded one way only. One thread per object.
#pragma once

#include <functional>
#include <memory>
#include <span>
#include <vector>

#include "engine_link/ecu_ident.h"
#include "log_convert/log_scanner.h"
#include "log_convert/log_text_writer.h"
#include "log_convert/request_index.h"

namespace velmora {

class TListParams;

// The parameter sets one log is read with. A fixed set (ECU.ini, the OBD descriptions) serves the
// whole log; otherwise the set follows the identification blocks of the log.
class TLogParams {
public:
    explicit TLogParams(TListParams* fixed);
    ~TLogParams();

    // The set a log starts with.
    const TRequestIndex& Index() const { return *Indexes.front(); }
    // The set of the identified unit, when the log is read by identification; nullptr otherwise.
    const TRequestIndex* ForUnit(const TEcuIdent& ident);

private:
    // What decides the set of a unit; Units[i] has Indexes[i + 1] (Indexes[0] is the set before any
    // identification).
    struct TUnitKey {
        uint8_t UnitType, Supplier, DiagIndex;
        char VariantLetter;
        bool operator==(const TUnitKey&) const = default;
    };

    bool Follow = false;
    std::vector<TUnitKey> Units;
    // Earlier sets stay alive: texts and values already handed out were made from their records.
    std::vector<std::unique_ptr<TListParams>> Sets;
    std::vector<std::unique_ptr<TRequestIndex>> Indexes;
};

class TLogConversion {
public:
    // `params`: a fixed set for the whole log, or nullptr for the built-in sets by identification.
    explicit TLogConversion(TListParams* params);

    // Scans `bytes` (the log from Scanner.Consumed() on) and returns how many were used; see
    // TLogScanner::Scan. With `final` the text is ended.
    size_t Scan(std::span<const uint8_t> bytes, bool final);

    // Called with each record before the writer takes it (the writer's OnValue follows for a record that
    // completes a value).
    std::function<void(const TLogRecord&)> BeforeRecord;
    // Called once an identification block is complete, after the set of its unit was taken.
    std::function<void(const TEcuIdent&)> AfterIdentified;

    TLogParams Params;
    TLogScanner Scanner;
    TLogTextWriter Writer;

private:
    class TTap : public TLogSink {
    public:
        explicit TTap(TLogConversion& owner) : Owner(owner) {}
        void OnRecord(const TLogRecord& record) override;

    private:
        TLogConversion& Owner;
    };
    TTap Tap{*this};
};

} // namespace velmora
