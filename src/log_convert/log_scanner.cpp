#include "log_convert/log_scanner.h"

#include <cstdint>

#include "log_convert/request_index.h"
#include "params/unit_codes.h"

namespace velmora {

namespace {

constexpr size_t FullPairBytes = 4;  // command, complement, parameter, value
constexpr size_t ShortPairBytes = 2; // parameter and value; the unit supplied the command
constexpr uint8_t WakeUpPattern[] = {0xAA, 0x55, 0xF0, 0x0F};
constexpr size_t WakeUpBytes = 2; // AA 55; F0 0F begins the first identification pair

constexpr size_t MaxTextLine = 256;
constexpr size_t NeedMoreBytes = SIZE_MAX;

bool IsTextByte(uint8_t byte) {
    return (byte >= 0x20 && byte < 0x7F) || byte == '\t' || byte == '\r';
}

// The length of an adapter's text line starting at `at` (printable bytes up to and with CR LF, as an
// ELM327 link logged them between the pairs); 0 when there is none, NeedMoreBytes when the line may go
// on beyond the bytes at hand. A lone LF is no line end: it is a value of 0x0A after a parameter byte.
size_t TextLineLength(const uint8_t* at, size_t left, bool final) {
    const size_t limit = left < MaxTextLine ? left : MaxTextLine;
    for (size_t k = 0; k < limit; ++k) {
        if (at[k] == '\n')
            return k > 0 && at[k - 1] == '\r' ? k + 1 : 0;
        if (!IsTextByte(at[k]))
            return 0;
    }
    return !final && left < MaxTextLine ? NeedMoreBytes : 0;
}

bool IsWakeUp(const uint8_t* at) {
    return at[0] == WakeUpPattern[0] && at[1] == WakeUpPattern[1] && at[2] == WakeUpPattern[2] &&
           at[3] == WakeUpPattern[3];
}

} // namespace

// A command byte followed by its complement. 0xFF never travels as a command, nor 0x00 but to an EZ
// unit: the unit supplies them, so such a byte pair is a value and the next command.
bool TLogScanner::IsCommandAndComplement(uint8_t cmd, uint8_t next) const {
    if (cmd == 0xFF || (cmd == 0x00 && Unit.UnitType != UnitEz))
        return false;
    return next == uint8_t(0xFF - cmd);
}

size_t TLogScanner::Scan(std::span<const uint8_t> bytes, bool final, TLogSink& sink) {
    const uint8_t* b = bytes.data();
    const size_t n = bytes.size();
    size_t i = 0;
    while (i < n) {
        const size_t left = n - i;
        if (!final && left < FullPairBytes)
            break;
        const bool full = left >= FullPairBytes;
        if (full && IsWakeUp(b + i)) {
            FlushUnplaced(sink);
            TLogRecord record;
            record.Kind = TLogRecord::TKind::WakeUp;
            record.Offset = Position;
            sink.OnRecord(record);
            Synced = true;
            i += WakeUpBytes;
            Position += WakeUpBytes;
            continue;
        }
        const bool commandPair = left >= 2 && IsCommandAndComplement(b[i], b[i + 1]);
        if (!commandPair && IsTextByte(b[i])) {
            // A text line never holds a command and its complement (text bytes are below 0x80), but it
            // could be taken for pairs whose unit supplies the command.
            const size_t line = TextLineLength(b + i, left, final);
            if (line == NeedMoreBytes)
                break;
            if (line > 0) {
                // A text line is a run of its own.
                if (!Run.empty() && Run.back() != '\n')
                    FlushUnplaced(sink);
                for (size_t k = 0; k < line; ++k)
                    Unplaced(b[i + k], sink);
                i += line;
                continue;
            }
        }
        if (!Synced) {
            // Until the first (or the next) known command with its complement, nothing can be placed.
            if (commandPair && Index->IsKnownCommand(b[i])) {
                Synced = true;
                continue;
            }
            Unplaced(b[i], sink);
            ++i;
            continue;
        }
        if (full && commandPair && Index->IsKnown(b[i], b[i + 2])) {
            Emit(sink, b[i], b[i + 2], b[i + 3], true, true);
            i += FullPairBytes;
            continue;
        }
        // An EZ unit's command 0 travels with its complement whatever its word: such bytes are never
        // a lone parameter byte 0 whose command the unit supplied.
        if (full && commandPair && b[i] == 0x00) {
            Emit(sink, b[i], b[i + 2], b[i + 3], true, false);
            i += FullPairBytes;
            continue;
        }
        if (left >= ShortPairBytes) {
            if (const int cmd = Index->ImpliedCommand(b[i], Unit); cmd >= 0) {
                Emit(sink, uint8_t(cmd), b[i], b[i + 1], false, true);
                i += ShortPairBytes;
                continue;
            }
        }
        if (full && commandPair) {
            // A command the unit answered with its complement, but whose word is not known.
            Emit(sink, b[i], b[i + 2], b[i + 3], true, false);
            i += FullPairBytes;
            continue;
        }
        Synced = false;
        Unplaced(b[i], sink);
        ++i;
    }
    if (final)
        FlushUnplaced(sink);
    return i;
}

void TLogScanner::Emit(TLogSink& sink, uint8_t cmd, uint8_t param, uint8_t value, bool cmdInLog, bool known) {
    FlushUnplaced(sink);
    TLogRecord record;
    record.Cmd = cmd;
    record.Param = param;
    record.Value = value;
    record.CmdInLog = cmdInLog;
    record.Known = known;
    record.Offset = Position;
    sink.OnRecord(record);
    Position += cmdInLog ? FullPairBytes : ShortPairBytes;
}

void TLogScanner::Unplaced(uint8_t byte, TLogSink& sink) {
    if (!Run.empty() && Run.back() == '\n' && byte != '\n')
        FlushUnplaced(sink); // the text line before is a run of its own
    if (Run.empty())
        RunOffset = Position;
    Run.push_back(byte);
    ++Position;
    if (Run.size() >= MaxUnplacedRun)
        FlushUnplaced(sink);
}

void TLogScanner::FlushUnplaced(TLogSink& sink) {
    if (Run.empty())
        return;
    TLogRecord record;
    record.Kind = TLogRecord::TKind::Unplaced;
    record.Offset = RunOffset;
    record.Bytes = Run;
    sink.OnRecord(record);
    Run.clear();
}

} // namespace velmora
