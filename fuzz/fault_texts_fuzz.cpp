// The engine fault text files. Input: a flags byte (list format .txt instead of .DAT, Russian), then the
// file. Properties: texts and descriptions line up by code; no code beyond three digits; a text is one
// line; a read file that gives no text says so; a code without a text reads as empty.
#include "faults/fault_texts.h"
#include "fuzz_target.h"

VELMORA_FUZZ_TARGET(fault_texts) {
    velmora::fuzz::TFuzzInput input(data, size);
    const uint8_t flags = input.Byte();
    const bool listFormat = flags & 1, russian = flags & 2;
    const std::filesystem::path folder = velmora::fuzz::FuzzFolder() / "DATA" / "en";
    std::error_code ignored;
    std::filesystem::remove(folder / "HFM.DAT", ignored);
    std::filesystem::remove(folder / "HFM.txt", ignored);
    velmora::fuzz::WriteFuzzFile(listFormat ? "DATA/en/HFM.txt" : "DATA/en/HFM.DAT", input.Remaining());

    const velmora::TFaultTexts texts = velmora::LoadFaultTexts(1, russian, 'E');
    FUZZ_CHECK(texts.Texts.size() == texts.Descriptions.size(), "texts and descriptions differ in count");
    FUZZ_CHECK(texts.Texts.size() <= size_t(velmora::MaxFaultCode) + 1, "a code beyond three digits");
    bool any = false;
    for (const std::string& text : texts.Texts) {
        FUZZ_CHECK(text.find('\n') == std::string::npos, "a text spans lines: " + text);
        any |= !text.empty();
    }
    FUZZ_CHECK(texts.FileState == velmora::TFaultTextFile::Read ||
                   texts.FileState == velmora::TFaultTextFile::NoEntries,
               "a written file was not read");
    FUZZ_CHECK(!any || texts.FileState == velmora::TFaultTextFile::Read,
               "texts read, yet the file counts as empty");
    for (int code : {-1, 0, 999, 1000, 100000}) {
        texts.Text(code);
        texts.Description(code);
    }
    velmora::FaultTextsNotice(texts);
    return 0;
}
