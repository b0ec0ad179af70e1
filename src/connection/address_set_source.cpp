#include "connection/address_set_source.h"

#include <fstream>
#include <vector>

#include "params/param_list.h"
#include "params/unit_codes.h"

namespace velmora {

namespace {

constexpr size_t IdentRecordBytes = 4;   // F0 0F index value
constexpr size_t AddressRecordBytes = 6; // 80 7F number hi lo type
constexpr int IdentMatchesNeeded = 28;

bool IsCheckedIdentIndex(uint8_t index) {
    return index <= 27 || index == 38 || index == 39;
}

} // namespace

std::unique_ptr<TListParams> AddressSetFromEcuBin(std::span<const uint8_t> bytes, const TEcuIdent& ident) {
    auto set = std::make_unique<TListParams>();
    bytes = bytes.first(std::min(bytes.size(), MaxEcuBinBytes));
    int matches = 0;
    std::vector<std::unique_ptr<TECUparam>> entries;
    for (size_t i = 0; i + 1 < bytes.size();) {
        if (bytes[i] == 0xF0 && bytes[i + 1] == 0x0F && i + IdentRecordBytes <= bytes.size()) {
            const uint8_t index = bytes[i + 2];
            if (IsCheckedIdentIndex(index)) {
                if (ident.IdentBuf[index] != bytes[i + 3])
                    return set; // made for another unit
                ++matches;
            }
            i += IdentRecordBytes;
        } else if (bytes[i] == 0x80 && bytes[i + 1] == 0x7F && i + AddressRecordBytes <= bytes.size()) {
            auto param = std::make_unique<TECUparam>(bytes[i + 2]);
            param->SetCmdWord(uint16_t(bytes[i + 3] << 8 | bytes[i + 4]));
            param->SetType(char(bytes[i + 5]));
            entries.push_back(std::move(param));
            i += AddressRecordBytes;
        } else {
            ++i;
        }
    }
    if (matches < IdentMatchesNeeded)
        return set;
    for (auto& entry : entries)
        set->Add(std::move(entry));
    return set;
}

std::shared_ptr<TListParams> LoadAddressSet(const TEcuIdent& ident, const std::filesystem::path& logFolder) {
    if (ident.UnitType == UnitHfm || ident.UnitType == UnitPms) {
        std::ifstream in(logFolder / "ECU.bin", std::ios::binary);
        std::vector<uint8_t> bytes(MaxEcuBinBytes);
        in.read(reinterpret_cast<char*>(bytes.data()), std::streamsize(bytes.size()));
        bytes.resize(size_t(in.gcount()));
        std::shared_ptr<TListParams> fromFile = AddressSetFromEcuBin(bytes, ident);
        if (fromFile->Count() > 0)
            return fromFile;
    }
    auto set = std::make_shared<TListParams>();
    if (!set->LoadAddressSet(ident.UnitType, ident.Supplier, ident.DiagIndex))
        return nullptr; // an address set that ends up empty is dropped
    return set;
}

} // namespace velmora
