// The binary exchange log of one engine connection: the bytes of every request pair the link took as a
// reading, buffered and appended to <program folder>/LOGS[/<client>]/<name>, and beside it a text trace:
// the adapter's text lines on an ELM327 link (<name without .bin>_elm.txt), the bytes of the pairs a
// noisy line made the link drop and repeat on a cable (<name without .bin>_line.txt). So the .bin holds
// exactly the bytes a cable would have logged for the readings that were used. A third file,
// <name without .bin>.times, holds when each append (a request pair) was made, written in blocks as the
// .bin is written (pair_times.h); the .bin itself carries no time.
// All operations are serialised inside the object: the worker appends and flushes, the window may
// switch auto-flush or copy the log as ECU.bin at the same time.
#pragma once

#include <cstdint>
#include <mutex>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "engine_link/pair_times.h"

namespace velmora {

class TExchangeLog {
public:
    // Bytes collected before a write to the file (4096 bytes).
    static constexpr size_t BufferSize = 4096;
    // Text of the adapter collected before a write to the trace file: an identification through an
    // ELM327 (about 20 KB of text for an EZ unit) stays in the trace of the unit's name.
    static constexpr size_t TraceBufferSize = 65536;
    // The log name until a unit is identified.
    static constexpr const char* TempLogName = "tmp001.bin";
    // With auto-flush the .bin is written after every append; its times wait for this many pairs (or
    // an explicit FlushLog), so that they stay small.
    static constexpr size_t AutoFlushTimesPairs = 256;

    TExchangeLog();
    // Writes out what is still buffered, so that a connection that ends abruptly keeps its bytes.
    ~TExchangeLog();
    TExchangeLog(const TExchangeLog&) = delete;
    TExchangeLog& operator=(const TExchangeLog&) = delete;

    // Starts the log of a new connection: bytes still buffered are written under the old name first,
    // then the buffer is empty and the name is "tmp001.bin" when none is set. The session's clock starts
    // here: the times file counts from this moment (SessionStartTick).
    void EnableLog();
    // Writes out what is buffered under the current name, then forgets the name.
    void ClearLogName();
    void SetAutoFlush(bool on);
    // The client whose LOGS subfolder and CLIENTS folder receive the files; empty for none.
    void SetClient(std::string_view client);

    // Chooses the first free name Format("%s%d%.3d.bin", prefix, diagIndex, n), n = 1, 2, ..., with the
    // prefix by unit family and supplier, and posts WM_USER+17 with 240. Returns the name. The file is
    // created at once and only when it did not exist, so two sessions never share a log.
    std::string NewLogName(uint8_t unitType, uint8_t supplier, uint8_t diagIndex);

    void AppendReceived(std::span<const uint8_t> bytes);
    // A request pair as the K-line carries it; command and complement are left out when the command is
    // 0 or the complement is 255 (the link sent only the parameter byte).
    void AppendPair(uint8_t cmd, uint8_t notCmd, uint8_t param, uint8_t value);
    // One text line of the adapter, ended by CR LF, for the trace file beside the log; it never enters
    // the .bin.
    void AppendText(std::string_view line);

    // Notes in the times that the connection is up and polling begins now (written with the next times).
    void MarkPollingBegan();

    // Appends the buffered bytes to the log file (and the text lines to the trace file). Bytes that could
    // not be written stay buffered for the next call; false when the file could not be written. The
    // first failure of a connection is logged once; after it, appends no longer try the file on their
    // own (a full buffer keeps its bytes and drops newer ones) and only this call tries again.
    bool FlushLog();
    // Flushes, then copies the log to LOGS[/<client>]/ECU.bin and, with a client, to
    // CLIENTS/<client>/ECU.bin, each with its times as ECU.times. False, with a log line, when there is
    // no log file or a copy failed.
    bool SaveEcuBin();

    std::string LogName() const;
    // <program folder>/LOGS[/<client>]/<name>
    std::string LogPath() const;
    // The text trace beside the log: <name without .bin>_elm.txt, or _line.txt after SetLineTrace(true).
    std::string TracePath() const;
    // The trace holds what a cable's line did (true) or an ELM327's text lines (false, the default).
    void SetLineTrace(bool line);
    // Bytes of this connection's log (or trace lines, or its times) could not be written or were
    // dropped; cleared by EnableLog.
    bool WriteFailed() const;
    // The tick count (Clock()) at which the current session started: time 0 of its times file.
    uint32_t SessionStartTick() const;
    // <program folder>/LOGS[/<client>]/<name without .bin>.times
    std::string TimesPath() const;

private:
    void AppendLocked(std::span<const uint8_t> bytes);
    // `times`: the pairs written out also get their times block now (not only every AutoFlushTimesPairs).
    bool FlushLocked(bool times = true);
    // Writes the buffer to the .bin at `path` and hands what reached the file to the times.
    bool WriteLogOut(const std::string& path);
    void WriteTimesLocked();
    void StartTimesSession();
    // Appends `data` to `path`; removes what reached the file from `data`. False when some was left.
    bool WriteOut(const std::string& path, std::string& data);
    // A write to `path` left bytes over: said once per connection, and appends stop trying the file on
    // their own. Always false.
    bool WriteFailedAt(const std::string& path);
    std::string LogPathLocked(std::string_view name, bool createFolder) const;

    mutable std::mutex Lock;
    std::string Buffer;
    std::string Trace; // the adapter's text lines not yet written
    std::string Name;
    std::string Client;
    std::string TraceSuffix = "_elm.txt";
    bool AutoFlush = false;
    bool Failed = false; // a write of this connection failed, or bytes were dropped
    bool Paused = false; // the last write failed: only FlushLog tries the file again

    // The times of this session's pairs: those whose bytes are still buffered, and those written to the
    // .bin whose block is not yet in the times file (a run of the .bin from WrittenOffset on).
    struct TTimes {
        uint32_t StartTick = 0;
        int64_t WallMs = 0;
        std::vector<TTimedChunk> Buffered;
        std::vector<TTimedChunk> Written;
        std::string WrittenPath; // the .bin they were written to
        uint64_t WrittenOffset = 0;
        uint64_t WrittenBytes = 0;
        uint32_t WrittenCrc = 0;
        std::string SessionPath;     // the .bin whose times file has this session's record
        bool Lost = false;           // the times could no longer follow the .bin: none more this session
        std::vector<uint32_t> Marks; // ms of PollingBegan marks not yet written
    };
    TTimes Times;
};

} // namespace velmora
