// The conversion of exchange logs to text, on any bytes. Input: a flags byte choosing a block size, then
// the log. Properties: the text does not depend on how the log is cut into blocks (the end of a block is
// carried over to the next), and every log converts without an exception.
#include "fuzz_target.h"
#include "log_convert/log_converter.h"

VELMORA_FUZZ_TARGET(log_convert) {
    velmora::fuzz::TFuzzInput input(data, size);
    const size_t blockSize = 1 + input.Byte();
    const std::string_view log = input.Remaining();
    const std::span bytes(reinterpret_cast<const uint8_t*>(log.data()), log.size());

    const std::string whole = velmora::ConvertLogBytes(bytes, nullptr);
    const std::string pieces = velmora::ConvertLogBytes(bytes, nullptr, blockSize);
    FUZZ_CHECK(whole == pieces, "blocks of " + std::to_string(blockSize) + " bytes give another text");
    return 0;
}
