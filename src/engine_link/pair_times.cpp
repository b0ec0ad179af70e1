#include "engine_link/pair_times.h"

#include <algorithm>
#include <array>
#include <bit>
#include <limits>

namespace velmora {

namespace {

constexpr uint8_t Magic[] = {'V', 'T', 'I', 'M'};
constexpr uint8_t FormatVersion = 1;
constexpr size_t HeaderBytes = sizeof(Magic) + 2; // magic, version, resolution
constexpr uint8_t SessionRecord = 'S';
constexpr uint8_t BlockRecord = 'P';
constexpr uint8_t MarkRecord = 'M';
// Pairs are 4 bytes on the line, 2 where the unit supplies the command: the two lengths a block
// switches between cost two bits, any other length more.
constexpr uint32_t UsualLength = 4;
constexpr uint32_t ShortLength = 2;
// A gap of more than this many Rice quotients (a pause, a reconnect) is written as an exp-Golomb
// number after them instead of in unary.
constexpr uint32_t MaxUnaryQuotient = 24;
constexpr uint8_t MaxRiceBits = 24;

constexpr std::array<uint32_t, 256> MakeCrcTable() {
    std::array<uint32_t, 256> table{};
    for (uint32_t n = 0; n < 256; ++n) {
        uint32_t c = n;
        for (int k = 0; k < 8; ++k)
            c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        table[n] = c;
    }
    return table;
}
constexpr std::array<uint32_t, 256> CrcTable = MakeCrcTable();

void PutVarint(std::string& out, uint64_t value) {
    while (value >= 0x80) {
        out += char(uint8_t(value) | 0x80);
        value >>= 7;
    }
    out += char(uint8_t(value));
}

void PutU32(std::string& out, uint32_t value) {
    for (int i = 0; i < 4; ++i)
        out += char(uint8_t(value >> (8 * i)));
}

void PutU64(std::string& out, uint64_t value) {
    for (int i = 0; i < 8; ++i)
        out += char(uint8_t(value >> (8 * i)));
}

class TBitWriter {
public:
    void Bit(bool one) {
        if (Used == 0)
            Bytes.push_back(0);
        if (one)
            Bytes.back() = char(uint8_t(Bytes.back()) | (0x80 >> Used));
        Used = (Used + 1) & 7;
    }
    void Bits(uint64_t value, int count) {
        for (int i = count - 1; i >= 0; --i)
            Bit((value >> i) & 1);
    }
    // Exp-Golomb of order 0: value + 1 in binary, after as many zeros as it has bits less one.
    void ExpGolomb(uint64_t value) {
        const uint64_t v = value + 1;
        const int bits = 64 - std::countl_zero(v);
        Bits(0, bits - 1);
        Bits(v, bits);
    }
    std::string Bytes;

private:
    int Used = 0;
};

class TBitReader {
public:
    explicit TBitReader(std::span<const uint8_t> bytes) : Bytes(bytes) {}
    bool Bit(bool& one) {
        if (Position >= Bytes.size() * 8)
            return false;
        one = (Bytes[Position / 8] >> (7 - Position % 8)) & 1;
        ++Position;
        return true;
    }
    bool Bits(int count, uint64_t& value) {
        value = 0;
        for (int i = 0; i < count; ++i) {
            bool one = false;
            if (!Bit(one))
                return false;
            value = value << 1 | (one ? 1 : 0);
        }
        return true;
    }
    bool ExpGolomb(uint64_t& value) {
        int zeros = 0;
        bool one = false;
        for (;;) {
            if (!Bit(one) || zeros > 62)
                return false;
            if (one)
                break;
            ++zeros;
        }
        uint64_t rest = 0;
        if (!Bits(zeros, rest))
            return false;
        value = ((uint64_t(1) << zeros) | rest) - 1;
        return true;
    }

private:
    std::span<const uint8_t> Bytes;
    size_t Position = 0;
};

uint64_t RiceBits(uint64_t delta, uint8_t k) {
    const uint64_t quotient = delta >> k;
    if (quotient < MaxUnaryQuotient)
        return quotient + 1 + k;
    const uint64_t v = quotient - MaxUnaryQuotient + 1;
    return MaxUnaryQuotient + 2 * uint64_t(64 - std::countl_zero(v)) - 1 + k;
}

void PutRice(TBitWriter& bits, uint64_t delta, uint8_t k) {
    const uint64_t quotient = delta >> k;
    if (quotient < MaxUnaryQuotient) {
        for (uint64_t i = 0; i < quotient; ++i)
            bits.Bit(true);
        bits.Bit(false);
    } else {
        for (uint32_t i = 0; i < MaxUnaryQuotient; ++i)
            bits.Bit(true);
        bits.ExpGolomb(quotient - MaxUnaryQuotient);
    }
    bits.Bits(delta & ((uint64_t(1) << k) - 1), k);
}

bool GetRice(TBitReader& bits, uint8_t k, uint64_t& delta) {
    uint64_t quotient = 0;
    bool one = false;
    for (;;) {
        if (!bits.Bit(one))
            return false;
        if (!one)
            break;
        if (++quotient == MaxUnaryQuotient) {
            uint64_t more = 0;
            if (!bits.ExpGolomb(more) || more > (uint64_t(1) << 40))
                return false;
            quotient += more;
            break;
        }
    }
    uint64_t low = 0;
    if (!bits.Bits(k, low))
        return false;
    delta = quotient << k | low;
    return true;
}

// The length of a chunk after one of `previous` length: '0' the same, '10' the other usual one (2 and
// 4 alternate in logs where the unit supplies some commands), '11' and the length as a number.
void PutLength(TBitWriter& bits, uint32_t length, uint32_t previous) {
    if (length == previous) {
        bits.Bit(false);
        return;
    }
    bits.Bit(true);
    const uint32_t other = previous == UsualLength ? ShortLength : UsualLength;
    if (length == other) {
        bits.Bit(false);
        return;
    }
    bits.Bit(true);
    bits.ExpGolomb(length - 1);
}

bool GetLength(TBitReader& bits, uint32_t previous, uint32_t& length) {
    bool one = false;
    if (!bits.Bit(one))
        return false;
    if (!one) {
        length = previous;
        return true;
    }
    if (!bits.Bit(one))
        return false;
    if (!one) {
        length = previous == UsualLength ? ShortLength : UsualLength;
        return true;
    }
    uint64_t value = 0;
    if (!bits.ExpGolomb(value) || value >= std::numeric_limits<uint32_t>::max())
        return false;
    length = uint32_t(value + 1);
    return true;
}

uint64_t Quanta(uint32_t ms) {
    return (uint64_t(ms) + PairTimesQuantumMs / 2) / PairTimesQuantumMs;
}

std::string Record(uint8_t type, const std::string& payload) {
    std::string record(1, char(type));
    PutVarint(record, payload.size());
    record += payload;
    PutU32(record, Crc32({reinterpret_cast<const uint8_t*>(record.data()), record.size()}));
    return record;
}

// Reads what a writer's Put* wrote; false past the end.
class TByteReader {
public:
    explicit TByteReader(std::span<const uint8_t> bytes) : Bytes(bytes) {}
    bool Varint(uint64_t& value) {
        value = 0;
        for (int shift = 0; shift < 64; shift += 7) {
            if (Position >= Bytes.size())
                return false;
            const uint8_t byte = Bytes[Position++];
            value |= uint64_t(byte & 0x7F) << shift;
            if (!(byte & 0x80))
                return true;
        }
        return false;
    }
    bool Fixed(int count, uint64_t& value) {
        if (Bytes.size() - Position < size_t(count))
            return false;
        value = 0;
        for (int i = 0; i < count; ++i)
            value |= uint64_t(Bytes[Position++]) << (8 * i);
        return true;
    }
    bool Byte(uint8_t& value) {
        if (Position >= Bytes.size())
            return false;
        value = Bytes[Position++];
        return true;
    }
    std::span<const uint8_t> Rest() const { return Bytes.subspan(Position); }
    size_t Position = 0;

private:
    std::span<const uint8_t> Bytes;
};

} // namespace

uint32_t Crc32(std::span<const uint8_t> bytes, uint32_t crc) {
    crc = ~crc;
    for (uint8_t byte : bytes)
        crc = CrcTable[(crc ^ byte) & 0xFF] ^ (crc >> 8);
    return ~crc;
}

std::string PairTimesHeader() {
    std::string header(reinterpret_cast<const char*>(Magic), sizeof(Magic));
    header += char(FormatVersion);
    header += char(PairTimesQuantumMs);
    return header;
}

std::string PairTimesSession(uint64_t binOffset, int64_t wallMs) {
    std::string payload;
    PutVarint(payload, binOffset);
    PutU64(payload, uint64_t(wallMs));
    return Record(SessionRecord, payload);
}

std::string PairTimesMarkRecord(TPairTimesMark mark, uint32_t ms) {
    std::string payload;
    PutVarint(payload, uint8_t(mark));
    PutVarint(payload, ms);
    return Record(MarkRecord, payload);
}

std::string PairTimesBlock(uint64_t binOffset, uint64_t binBytes, uint32_t binCrc,
                           std::span<const TTimedChunk> chunks) {
    std::string payload;
    PutVarint(payload, binOffset);
    PutVarint(payload, binBytes);
    PutU32(payload, binCrc);
    PutVarint(payload, chunks.size());
    const uint64_t first = chunks.empty() ? 0 : Quanta(chunks.front().Ms);
    PutVarint(payload, first);
    // Each time is rounded on its own and only the differences of the rounded times are written: the
    // rounding never adds up along a block, and each block starts from its own time.
    std::vector<uint64_t> deltas;
    deltas.reserve(chunks.size());
    uint64_t last = first;
    for (const TTimedChunk& chunk : chunks) {
        const uint64_t now = std::max(Quanta(chunk.Ms), last);
        deltas.push_back(now - last);
        last = now;
    }
    // The Rice parameter that makes this block's differences shortest.
    uint8_t bestK = 0;
    uint64_t bestBits = std::numeric_limits<uint64_t>::max();
    for (uint8_t k = 0; k <= MaxRiceBits; ++k) {
        uint64_t total = 0;
        for (size_t i = 1; i < deltas.size(); ++i)
            total += RiceBits(deltas[i], k);
        if (total < bestBits) {
            bestBits = total;
            bestK = k;
        }
    }
    payload += char(bestK);
    TBitWriter bits;
    uint32_t previous = UsualLength;
    for (size_t i = 0; i < chunks.size(); ++i) {
        PutLength(bits, chunks[i].Length, previous);
        previous = chunks[i].Length;
        if (i > 0)
            PutRice(bits, deltas[i], bestK);
    }
    payload += bits.Bytes;
    return Record(BlockRecord, payload);
}

TPairTimesRead ReadPairTimes(std::span<const uint8_t> times, std::span<const uint8_t> bin) {
    TPairTimesRead read;
    if (times.size() < HeaderBytes || !std::equal(std::begin(Magic), std::end(Magic), times.begin()) ||
        times[4] != FormatVersion || times[5] == 0) {
        read.Problem = PairTimesProblemDamaged;
        return read;
    }
    const uint32_t quantum = times[5];
    size_t at = HeaderBytes;
    while (at < times.size()) {
        TByteReader frame(times.subspan(at));
        uint8_t type = 0;
        uint64_t length = 0;
        if (!frame.Byte(type) || !frame.Varint(length) || frame.Rest().size() < length + 4) {
            read.Problem = PairTimesProblemShort; // the file ends inside a record: cut short
            break;
        }
        const size_t payloadAt = frame.Position;
        const std::span<const uint8_t> payloadBytes = times.subspan(at + payloadAt, size_t(length));
        const std::span<const uint8_t> framed = times.subspan(at, payloadAt + size_t(length));
        uint64_t storedCrc = 0;
        TByteReader crcReader(times.subspan(at + payloadAt + size_t(length), 4));
        crcReader.Fixed(4, storedCrc);
        if (Crc32(framed) != uint32_t(storedCrc)) {
            read.Problem = PairTimesProblemDamaged;
            break;
        }
        at += payloadAt + size_t(length) + 4;
        TByteReader payload(payloadBytes);
        if (type == SessionRecord) {
            uint64_t offset = 0, wall = 0;
            if (!payload.Varint(offset) || !payload.Fixed(8, wall)) {
                read.Problem = PairTimesProblemDamaged;
                break;
            }
            if (offset != read.CoveredBytes) {
                read.Problem = PairTimesProblemForeign;
                break;
            }
            read.Sessions.push_back({offset, int64_t(wall), read.Chunks.size()});
            continue;
        }
        if (type == MarkRecord) {
            uint64_t mark = 0, ms = 0;
            if (read.Sessions.empty() || !payload.Varint(mark) || !payload.Varint(ms)) {
                read.Problem = PairTimesProblemDamaged;
                break;
            }
            // Marks of kinds this reader does not know are passed over.
            if (mark == uint64_t(TPairTimesMark::PollingBegan) && ms <= UINT32_MAX)
                read.Sessions.back().PollingBeganMs = int64_t(ms);
            continue;
        }
        if (type != BlockRecord) {
            read.Problem = PairTimesProblemDamaged;
            break;
        }
        uint64_t offset = 0, byteCount = 0, binCrc = 0, count = 0, first = 0;
        uint8_t k = 0;
        if (!payload.Varint(offset) || !payload.Varint(byteCount) || !payload.Fixed(4, binCrc) ||
            !payload.Varint(count) || !payload.Varint(first) || !payload.Byte(k) || k > MaxRiceBits ||
            count > byteCount) {
            read.Problem = PairTimesProblemDamaged;
            break;
        }
        // Blocks continue the log where the last one ended, describe bytes the log has, and those bytes
        // are the ones the block was written for.
        if (read.Sessions.empty() || offset != read.CoveredBytes || byteCount > bin.size() - offset ||
            Crc32(bin.subspan(size_t(offset), size_t(byteCount))) != uint32_t(binCrc)) {
            read.Problem = PairTimesProblemForeign;
            break;
        }
        TBitReader bits(payload.Rest());
        std::vector<TTimedChunk> chunks;
        chunks.reserve(size_t(count));
        uint32_t previous = UsualLength;
        uint64_t quanta = first, total = 0;
        bool good = true;
        for (uint64_t i = 0; i < count && good; ++i) {
            uint32_t chunkLength = 0;
            uint64_t delta = 0;
            good = GetLength(bits, previous, chunkLength) && (i == 0 || GetRice(bits, k, delta));
            previous = chunkLength;
            quanta += delta;
            total += chunkLength;
            good = good && total <= byteCount && quanta * quantum <= std::numeric_limits<uint32_t>::max();
            if (good)
                chunks.push_back({uint32_t(quanta * quantum), chunkLength});
        }
        if (!good || total != byteCount) {
            read.Problem = PairTimesProblemDamaged;
            break;
        }
        read.Chunks.insert(read.Chunks.end(), chunks.begin(), chunks.end());
        read.CoveredBytes += byteCount;
    }
    if (read.Problem.empty() && read.CoveredBytes < bin.size())
        read.Problem = PairTimesProblemShort;
    return read;
}

} // namespace velmora
