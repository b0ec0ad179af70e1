// The scanner of an exchange log's raw bytes: finds the request pairs (command, its complement,
// parameter, value — or parameter and value alone where the unit supplies the command), the wake-up
// pattern and the bytes that fit nowhere. It only parses bytes handed to it, block by block; reading
// the file is the converter's business. One scanner per log; one thread.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "log_convert/request_index.h"

namespace velmora {

struct TLogRecord {
    enum class TKind { Pair, WakeUp, Unplaced };
    TKind Kind = TKind::Pair;
    uint8_t Cmd = 0;
    uint8_t Param = 0;
    uint8_t Value = 0;
    bool CmdInLog = true;           // false: only parameter and value were in the log, Cmd is implied
    bool Known = true;              // a pair whose word is neither a known request nor a parameter of the set
    uint64_t Offset = 0;            // of the record's first byte in the log
    std::span<const uint8_t> Bytes; // Unplaced: the bytes (valid during the call only)
};

class TLogSink {
public:
    virtual ~TLogSink() = default;
    virtual void OnRecord(const TLogRecord& record) = 0;
};

class TLogScanner {
public:
    // Unplaced bytes are handed on in pieces of at most this many.
    static constexpr size_t MaxUnplacedRun = 4096;

    explicit TLogScanner(const TRequestIndex& index) : Index(&index) {}

    // A new set of known words for the bytes that follow (the converter learns the unit's family).
    void SetIndex(const TRequestIndex& index) { Index = &index; }
    // The unit identified in the log: its rule decides which command a lone parameter byte had, and
    // whether a command byte 0x00 travels on the line (an EZ unit's does).
    void SetUnit(TLogUnit unit) { Unit = unit; }

    // Scans `bytes`, the log from offset Consumed() on, and returns how many of them it used. Unless
    // `final`, a record that could reach past the end is left for the next call (the caller carries
    // the unused tail over); with `final` everything is used and pending unplaced bytes are handed on.
    size_t Scan(std::span<const uint8_t> bytes, bool final, TLogSink& sink);

    uint64_t Consumed() const { return Position; }

private:
    void Unplaced(uint8_t byte, TLogSink& sink);
    void FlushUnplaced(TLogSink& sink);
    void Emit(TLogSink& sink, uint8_t cmd, uint8_t param, uint8_t value, bool cmdInLog, bool known);

    bool IsCommandAndComplement(uint8_t cmd, uint8_t next) const;

    const TRequestIndex* Index;
    TLogUnit Unit;
    bool Synced = false;
    uint64_t Position = 0; // log offset of the next byte to scan
    uint64_t RunOffset = 0;
    std::vector<uint8_t> Run;
};

} // namespace velmora
