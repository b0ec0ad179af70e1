// The frame of every fuzz target: one entry function per target, built either as libFuzzer's entry
// (VELMORA_LIBFUZZER, one executable per target under scripts/fuzz.sh) or registered by name for the
// replay driver that the normal test run uses on the stored inputs. Single-threaded, like libFuzzer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <filesystem>
#include <string>
#include <string_view>

namespace velmora::fuzz {

using TFuzzEntry = int (*)(const uint8_t* data, size_t size);

// Registers an entry for the replay driver; returns true so that it can initialise a static.
bool RegisterTarget(const char* name, TFuzzEntry entry);
// The entry of that name, or nullptr.
TFuzzEntry FindTarget(std::string_view name);

// A property of the target does not hold: prints what and where, then aborts, so that libFuzzer keeps
// the input and the replay test fails.
[[noreturn]] void PropertyFailed(const char* what, const char* file, int line, std::string_view detail);

// A private program folder for the process (created on first use, removed at exit), for the parsers
// that read their files from it. Becomes the program folder.
const std::filesystem::path& FuzzFolder();
// Writes `bytes` to <fuzz folder>/<relative>, creating the folders on the way; returns the full path.
std::filesystem::path WriteFuzzFile(const std::filesystem::path& relative, std::string_view bytes);

// Splits the input into pieces at a separator byte, for targets that take several fields.
class TFuzzInput {
public:
    TFuzzInput(const uint8_t* data, size_t size) : Rest(reinterpret_cast<const char*>(data), size) {}
    // Bytes up to the next '\0' (all that is left when there is none).
    std::string_view Field();
    // One byte (0 when nothing is left).
    uint8_t Byte();
    // The rest as chunks, each a length byte and then up to that many bytes: how the line hands them over.
    std::deque<std::string> Chunks();
    std::string_view Remaining() const { return Rest; }
    bool Empty() const { return Rest.empty(); }

private:
    std::string_view Rest;
};

} // namespace velmora::fuzz

#define FUZZ_CHECK(condition, detail)                                                                        \
    do {                                                                                                     \
        if (!(condition))                                                                                    \
            ::velmora::fuzz::PropertyFailed(#condition, __FILE__, __LINE__, (detail));                       \
    } while (false)

#ifdef VELMORA_LIBFUZZER
#define VELMORA_FUZZ_TARGET(name) extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
#else
#define VELMORA_FUZZ_TARGET(name)                                                                            \
    static int FuzzEntry_##name(const uint8_t* data, size_t size);                                           \
    [[maybe_unused]] static const bool FuzzRegistered_##name =                                               \
        ::velmora::fuzz::RegisterTarget(#name, FuzzEntry_##name);                                            \
    static int FuzzEntry_##name(const uint8_t* data, size_t size)
#endif
