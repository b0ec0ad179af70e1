// A recorded session: an exchange log (.bin) read the way its text conversion reads it, with the time
// of every request pair from the times file beside it (or, without a usable one, estimated at the
// line's nominal rate and said so), the parameter values it carries and the fault-memory reads. The
// command-line replay and the window's replay read recordings through this one object. Loading is
// done on one thread; a loaded recording is read-only (any thread may read it), except that
// ApplyValue sets a value into the recording's own parameter records (one thread at a time).
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "engine_link/ecu_ident.h"
#include "faults/fault_memory.h"

namespace velmora {

class TECUparam;
class TLogConversion;
class TListParams;

// Time per request pair when a recording has no usable times (ms): a cable's pair at 9600 baud (four
// frames of 10 and 11 bits and the unit's reaction), and an ELM327's one-byte table read.
constexpr double NominalCablePairMs = 9.271;
constexpr double NominalElmPairMs = 13.917;

// One request pair of the log, in log order.
struct TRecordedPair {
    uint32_t TimeMs = 0; // when it was answered, from the session's start (see TRecording::TimesEstimated)
    uint8_t Cmd = 0;
    uint8_t Param = 0;
    uint8_t Value = 0;
    bool CmdInLog = true; // false: the log held only parameter and value (the unit supplied the command)
    bool IsFault = false; // a byte of a fault-memory read
    // This pair completes a value of Record: ValueSize bytes, as TECUparam::SetData takes them.
    uint8_t ValueSize = 0;
    std::array<uint8_t, 4> ValueBytes{};
    // The parameter (of the set the log was read with; the recording owns it) whose value completes
    // here; nullptr for other pairs.
    TECUparam* Record = nullptr;
    uint64_t Offset = 0; // of the pair's first byte in the .bin
};

// One read of the fault memory as the log shows it: the bytes by fault address (HFM/PMS bitmap
// addresses, or LH slots), from its first to its last address.
struct TRecordedFaultRead {
    uint32_t StartMs = 0;
    uint32_t EndMs = 0; // the time of its last byte
    bool Lh = false;    // slots 1-30 read with command 0x30
    bool Complete = false;
    TFaultBuf Buffer{};                 // addresses not read are 0
    size_t FirstPair = 0, LastPair = 0; // indexes into Pairs()
};

struct TRecordingOptions {
    // The parameter descriptions, as for the conversion: this ECU.ini (it must be readable), or ECU.ini
    // in the program folder when empty and present; without one the built-in set of the identified unit.
    std::filesystem::path EcuIni;
};

class TRecording {
public:
    TRecording();
    ~TRecording();
    TRecording(const TRecording&) = delete;
    TRecording& operator=(const TRecording&) = delete;

    // Reads `bin` and its times file (<name>.times beside it). False with Error() when the file cannot be
    // read, is no exchange log of the engine link, or holds no request pair.
    bool Load(const std::filesystem::path& bin, const TRecordingOptions& options = {});
    // Why Load failed, translated, with the file name.
    const std::string& Error() const { return LoadError; }

    const std::filesystem::path& File() const { return BinFile; }
    // The client whose LOGS subfolder holds the log (LOGS/<client>/x.bin); empty otherwise.
    const std::string& Client() const { return ClientName; }
    // The unit the log's identification block names, as the conversion reads it; Identified() false
    // when the log has none.
    bool Identified() const { return HasIdent; }
    const TEcuIdent& Ident() const { return UnitIdent; }
    // When the session started, in ms since 1970-01-01 UTC: from the times file, or else the log
    // file's last change less the recording's duration (DateFromTimes() false).
    int64_t StartWallMs() const { return StartWall; }
    bool DateFromTimes() const { return WallFromTimes; }

    // Whether some or all pair times are estimated rather than measured, how many pairs (from the
    // first) have measured times, and the text that says so (translated; empty when all are measured).
    bool TimesEstimated() const { return MeasuredCount < Timeline.size(); }
    size_t MeasuredPairs() const { return MeasuredCount; }
    std::string TimesText() const;
    // The reason the times file could not serve the whole log (a Russian text from pair_times.h).
    const std::string& TimesProblem() const { return Problem; }

    // When the connection was up and polling began, on the recording's clock (ms); -1 when the times
    // do not say (no times file, an older one). Values a live watch printed count from here.
    int64_t PollingBeganMs() const { return PollingBegan; }

    // The pairs in log order; times never decrease.
    const std::vector<TRecordedPair>& Pairs() const { return Timeline; }
    const std::vector<TRecordedFaultRead>& FaultReads() const { return Faults; }
    // The time of the last pair (ms).
    uint32_t DurationMs() const { return Timeline.empty() ? 0 : Timeline.back().TimeMs; }
    // The index of the first pair later than `ms` (Pairs().size() when none is).
    size_t FirstPairAfter(uint32_t ms) const;

    // The state of the session at `ms`: the last value of each parameter at or before it (one pair per
    // parameter record, in the order of their times), and the last fault read finished by then
    // (nullptr when none).
    std::vector<const TRecordedPair*> LastValuesAt(uint32_t ms) const;
    const TRecordedFaultRead* LastFaultReadAt(uint32_t ms) const;

    // Sets the value `pair` completes into its record, so that the record formats it (CSV, views);
    // false when the pair completes no value.
    static bool ApplyValue(const TRecordedPair& pair);

private:
    void Clear();
    void AssignTimes(std::span<const uint8_t> bin, std::span<const uint8_t> times, bool haveTimes,
                     double pairMs);
    void CollectFaultReads();

    std::filesystem::path BinFile;
    std::string LoadError;
    std::string ClientName;
    bool HasIdent = false;
    TEcuIdent UnitIdent;
    int64_t StartWall = 0;
    bool WallFromTimes = false;
    size_t MeasuredCount = 0;
    int64_t PollingBegan = -1;
    std::string Problem;
    std::vector<TRecordedPair> Timeline;
    std::vector<TRecordedFaultRead> Faults;
    size_t RecordCount = 0; // distinct parameter records with values
    // Keeps the parameter sets the records point into.
    std::unique_ptr<TListParams> FixedSet;
    std::unique_ptr<TLogConversion> Conversion;
};

} // namespace velmora
