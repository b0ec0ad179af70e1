#include "log_convert/log_conversion.h"

#include "params/param_list.h"

namespace velmora {

TLogParams::TLogParams(TListParams* fixed) {
    if (fixed) {
        Indexes.push_back(std::make_unique<TRequestIndex>(*fixed));
        return;
    }
    Follow = true;
    auto set = std::make_unique<TListParams>();
    set->LoadBuiltinSet(0, 0);
    Indexes.push_back(std::make_unique<TRequestIndex>(*set));
    Sets.push_back(std::move(set));
}

TLogParams::~TLogParams() = default;

const TRequestIndex* TLogParams::ForUnit(const TEcuIdent& ident) {
    if (!Follow)
        return nullptr;
    const TUnitKey key{ident.UnitType, ident.Supplier, ident.DiagIndex, ident.VariantLetter};
    for (size_t i = 0; i < Units.size(); ++i)
        if (Units[i] == key)
            return Indexes[i + 1].get();
    Units.push_back(key);
    auto set = std::make_unique<TListParams>();
    set->LoadBuiltinSet(ident.UnitType, ident.VariantLetter);
    set->LoadAddressSet(ident.UnitType, ident.Supplier, ident.DiagIndex);
    Indexes.push_back(std::make_unique<TRequestIndex>(*set));
    Sets.push_back(std::move(set));
    return Indexes.back().get();
}

TLogConversion::TLogConversion(TListParams* params)
    : Params(params), Scanner(Params.Index()), Writer(Params.Index()) {
    Writer.OnUnit = [this](TLogUnit unit) { Scanner.SetUnit(unit); };
    Writer.OnIdentified = [this](const TEcuIdent& ident) {
        if (const TRequestIndex* index = Params.ForUnit(ident)) {
            Scanner.SetIndex(*index);
            Writer.SetIndex(*index);
        }
        if (AfterIdentified)
            AfterIdentified(ident);
    };
}

size_t TLogConversion::Scan(std::span<const uint8_t> bytes, bool final) {
    size_t used = 0;
    if (BeforeRecord)
        used = Scanner.Scan(bytes, final, Tap);
    else
        used = Scanner.Scan(bytes, final, Writer);
    if (final)
        Writer.Finish();
    return used;
}

void TLogConversion::TTap::OnRecord(const TLogRecord& record) {
    Owner.BeforeRecord(record);
    Owner.Writer.OnRecord(record);
}

} // namespace velmora
