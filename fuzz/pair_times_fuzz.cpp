// The times file read against its log, on any bytes. Input: the times file's length (two bytes, low
// first), the times file, then the log.
// Properties: what the reader keeps describes the log's first bytes without a gap (the chunks' lengths
// add up to the bytes covered, never beyond the log), a reason is given exactly when the log is not
// covered to its end, and times never go back within a session.
#include "engine_link/pair_times.h"
#include "fuzz_target.h"

VELMORA_FUZZ_TARGET(pair_times) {
    velmora::fuzz::TFuzzInput input(data, size);
    const size_t length = input.Byte() | size_t(input.Byte()) << 8;
    const std::string_view rest = input.Remaining();
    const std::string_view times = rest.substr(0, length);
    const std::string_view log = rest.substr(times.size());
    const auto bytes = [](std::string_view text) {
        return std::span(reinterpret_cast<const uint8_t*>(text.data()), text.size());
    };
    const velmora::TPairTimesRead read = velmora::ReadPairTimes(bytes(times), bytes(log));
    uint64_t covered = 0;
    for (const velmora::TTimedChunk& chunk : read.Chunks)
        covered += chunk.Length;
    FUZZ_CHECK(covered == read.CoveredBytes, std::to_string(covered) + " bytes in chunks");
    FUZZ_CHECK(read.CoveredBytes <= log.size(), std::to_string(read.CoveredBytes) + " bytes covered");
    FUZZ_CHECK(read.Problem.empty() == (read.CoveredBytes == log.size()), read.Problem);
    for (size_t s = 0; s < read.Sessions.size(); ++s) {
        const size_t end =
            s + 1 < read.Sessions.size() ? read.Sessions[s + 1].FirstChunk : read.Chunks.size();
        for (size_t i = read.Sessions[s].FirstChunk + 1; i < end; ++i)
            FUZZ_CHECK(read.Chunks[i].Ms >= read.Chunks[i - 1].Ms, "chunk " + std::to_string(i));
    }
    return 0;
}
