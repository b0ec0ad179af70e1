#include "log_convert/log_text_writer.h"

#include <algorithm>
#include <utility>

#include "lang/dictionary.h"
#include "lang/translated_format.h"
#include "log_convert/event_texts.h"
#include "log_convert/known_requests.h"
#include "log_convert/request_index.h"
#include "params/display_unit.h"
#include "params/ecu_param.h"
#include "params/unit_codes.h"

namespace velmora {

namespace {

constexpr char HexDigits[] = "0123456789ABCDEF";
constexpr size_t HexRowBytes = 16;
constexpr size_t MaxCachedValues = 4096; // value texts kept per parameter
constexpr uint8_t FaultCommand = 0xF1;
constexpr uint8_t LhFaultCommand = 0x30;

void AppendHex(std::string& out, uint8_t value) {
    out += HexDigits[value >> 4];
    out += HexDigits[value & 0x0F];
}

void AppendOffset(std::string& out, uint64_t offset) {
    for (int shift = 28; shift >= 0; shift -= 4)
        out += HexDigits[(offset >> shift) & 0x0F];
}

// Printable bytes ending with a line feed.
bool IsText(std::span<const uint8_t> bytes) {
    if (bytes.empty() || bytes.back() != '\n')
        return false;
    for (uint8_t byte : bytes)
        if ((byte < 0x20 || byte >= 0x7F) && byte != '\r' && byte != '\n' && byte != '\t')
            return false;
    return true;
}

// "#5 Name"; a record without a name (address sets) is "#5 P5". The name of a bit-field parameter is
// the list of its bit names, which its value shows: it is "#23 bits".
std::string ParamLabel(const TECUparam& param) {
    const int number = param.Number;
    if (param.ParamType == 'X')
        return FormatText("#%d bits", number);
    return FormatText("#%d ", number) + (param.Name.empty() ? FormatText("P%d", number) : param.Name);
}

} // namespace

void TLogTextWriter::ClearText() {
    Out.clear(); // keeps its capacity for the next block
}

void TLogTextWriter::Line(std::string_view text) {
    Out += text;
    Out += "\r\n";
}

void TLogTextWriter::ReportLine(std::string_view text) {
    // Report lines may hold line breaks of their own (LF, CR LF or a lone CR).
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' || text[i] == '\n') {
            Out += "\r\n";
            if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
                ++i;
        } else {
            Out += text[i];
        }
    }
    Out += "\r\n";
}

void TLogTextWriter::SetIndex(const TRequestIndex& index) {
    Index = &index;
    Pending = {};
    Texts.clear();
}

const std::string& TLogTextWriter::Translated(std::string_view russian) {
    auto [it, added] = Labels.try_emplace(russian.data());
    if (added)
        it->second = Translate(russian);
    return it->second;
}

void TLogTextWriter::OnRecord(const TLogRecord& record) {
    switch (record.Kind) {
    case TLogRecord::TKind::WakeUp:
        CloseIdentBlock();
        Pending = {};
        FaultSection = 0;
        Out += "\r\n";
        AppendOffset(Out, record.Offset);
        Out += "  AA 55     wake-up\r\n";
        break;
    case TLogRecord::TKind::Unplaced:
        OnUnplaced(record);
        break;
    case TLogRecord::TKind::Pair:
        OnPair(record);
        break;
    }
}

void TLogTextWriter::PairPrefix(const TLogRecord& record) {
    // "0000ABCD  55 00 7E  " in one piece: this runs for every pair of the log.
    char text[20];
    for (int i = 0; i < 8; ++i)
        text[i] = HexDigits[(record.Offset >> (28 - 4 * i)) & 0x0F];
    text[8] = text[9] = ' ';
    text[10] = record.CmdInLog ? HexDigits[record.Cmd >> 4] : '-';
    text[11] = record.CmdInLog ? HexDigits[record.Cmd & 0x0F] : '-';
    text[12] = ' ';
    text[13] = HexDigits[record.Param >> 4];
    text[14] = HexDigits[record.Param & 0x0F];
    text[15] = ' ';
    text[16] = HexDigits[record.Value >> 4];
    text[17] = HexDigits[record.Value & 0x0F];
    text[18] = text[19] = ' ';
    Out.append(text, sizeof text);
}

void TLogTextWriter::LabelLine(const TLogRecord& record) {
    PairPrefix(record);
    const TKnownRequest* known = FindKnownRequest(record.Cmd, record.Param);
    if (known && !known->Label.empty()) {
        Line(Translated(known->Label));
    } else {
        Out.resize(Out.size() - 2); // no label: no blanks at the end of the line
        Out += "\r\n";
    }
}

void TLogTextWriter::OnPair(const TLogRecord& record) {
    ++PairCount;
    if (Ident.Take(record.Cmd, record.Param, record.Value)) {
        // LH and EZ units are told by the block's first bytes; their rules for left-out commands hold
        // for the block's own later reads (an EZ unit's command 0 travels).
        if (const uint8_t family = Ident.Family();
            family != ToldFamily && (family == UnitLh || family == UnitEz)) {
            ToldFamily = family;
            if (OnUnit)
                OnUnit({family, 0});
        }
        LabelLine(record);
        return;
    }
    CloseIdentBlock();
    if (TakeFaultByte(record))
        return;
    FaultSection = 0;
    if (!record.Known) {
        Pending = {};
        PairPrefix(record);
        Out.resize(Out.size() - 2); // the blanks before a label
        Line(" - ???");
        return;
    }
    // A request of its own on an actuator channel (0xD1 0x08: throttle adaptation) keeps its label.
    if (const TKnownRequest* known =
            IsActuatorChannel(record.Cmd) ? FindKnownRequest(record.Cmd, record.Param) : nullptr;
        known && known->Word >= 0x100 && !known->Label.empty()) {
        Pending = {};
        LabelLine(record);
        return;
    }
    // The actuator value is the parameter byte; the unit answers with it.
    const std::string act = ActuatorText(record.Cmd, record.Param, Ident.Ident().IsNewestGeneration());
    if (!act.empty()) {
        Pending = {};
        PairPrefix(record);
        Line(act);
        return;
    }
    if (TakeParamByte(record))
        return;
    Pending = {};
    LabelLine(record);
}

bool TLogTextWriter::TakeFaultByte(const TLogRecord& record) {
    const bool lh = record.Cmd == LhFaultCommand;
    if (!lh && record.Cmd != FaultCommand)
        return false;
    Pending = {};
    const int section = IsLostFaultAddress(record.Param) ? 1 : 2;
    if (section != FaultSection)
        Line(section == 1 ? "Lost errors:" : "Actual errors:");
    FaultSection = section;
    LabelLine(record);
    const TEcuIdent& unit = Ident.Ident();
    TFaultContext context{unit.UnitType, unit.Supplier, unit.DiagIndex, unit.VariantLetter,
                          unit.HasPmsFaultMap()};
    if (lh)
        context.UnitType = UnitLh;
    else if (context.UnitType == UnitLh || context.UnitType == UnitUnknown)
        context.UnitType = UnitHfm; // a bitmap read without identification: HFM codes, as assumed for HFM/PMS
    for (const std::string& text : FaultByteTexts(record.Param, record.Value, context))
        Line(text);
    return true;
}

bool TLogTextWriter::TakeParamByte(const TLogRecord& record) {
    if (Pending.Param && record.Cmd == Pending.Cmd && record.Param == Pending.NextAddress) {
        TECUparam& param = *Pending.Param;
        const int size = Pending.Size;
        Pending.Bytes[Pending.Got++] = record.Value;
        PairPrefix(record);
        if (Pending.Got < size) {
            ++Pending.NextAddress;
            Out += PartText(param, Pending.Got, size);
            return true;
        }
        const std::array<uint8_t, 4> bytes = Pending.Bytes;
        Pending = {};
        CompleteParam(param, bytes, size);
        return true;
    }
    if (TECUparam* start = Index->StartOf(record.Cmd, record.Param)) {
        // An adapter's table read carries as many bytes as its code says, whatever the record's size.
        const int tableSize = start->CmdHi == record.Cmd ? 0 : TableReadSize(record.Cmd);
        const int size = tableSize > 0 ? tableSize : std::clamp(start->DataLength(), 1, 4);
        PairPrefix(record);
        if (size == 1) {
            Pending = {};
            CompleteParam(*start, {record.Value, 0, 0, 0}, 1);
            return true;
        }
        Pending = {start, record.Cmd, uint8_t(record.Param + 1), 1, {record.Value, 0, 0, 0}, uint8_t(size)};
        Out += PartText(*start, 1, size);
        return true;
    }
    if (const TParamPlace place = Index->ContinuationOf(record.Cmd, record.Param); place.Param) {
        // A later byte whose first byte is not in the log (or came in another order).
        Pending = {};
        PairPrefix(record);
        Out += TextsOf(*place.Param).Label +
               FormatText(" (%d/%d) - ???\r\n", int(place.Byte) + 1, place.Param->DataLength());
        return true;
    }
    return false;
}

void TLogTextWriter::CompleteParam(TECUparam& param, std::array<uint8_t, 4> bytes, int size) {
    if (size == 2 && (HighByteFirst || Ident.Ident().HasReversedByteOrder()))
        std::swap(bytes[0], bytes[1]);
    if (OnValueBytes)
        OnValueBytes(param, bytes, size);
    TParamTexts& texts = TextsOf(param);
    const uint32_t raw =
        uint32_t(bytes[0]) | uint32_t(bytes[1]) << 8 | uint32_t(bytes[2]) << 16 | uint32_t(bytes[3]) << 24;
    // The text of a value depends on its bytes only: each is formatted once (the cache is bounded). The
    // record gets the value whenever someone reads it (the CSV) or its text is new.
    auto [cached, added] = texts.ByRaw.try_emplace(raw);
    if (added || OnValue)
        param.SetData(bytes[0], bytes[1], bytes[2], bytes[3]);
    if (added) {
        std::string& line = cached->second;
        line = texts.Label + " =";
        try {
            // Bit names come each after a blank already.
            line += param.ParamType == 'X' ? param.BitText() : " " + param.FormatValue() + UnitSuffix(param);
        } catch (const std::exception& error) {
            line += error.what();
        }
        line += "\r\n";
    }
    Out += cached->second;
    if (texts.ByRaw.size() > MaxCachedValues)
        texts.ByRaw.clear();
    if (OnValue)
        OnValue(PairCount, param);
}

const std::string& TLogTextWriter::PartText(const TECUparam& param, int got, int size) {
    TParamTexts& texts = TextsOf(param);
    if (size == param.DataLength())
        return texts.Parts[size_t(got - 1)];
    texts.Other = texts.Label + FormatText(" (%d/%d)\r\n", got, size);
    return texts.Other;
}

TLogTextWriter::TParamTexts& TLogTextWriter::TextsOf(const TECUparam& param) {
    auto [it, added] = Texts.try_emplace(&param);
    TParamTexts& texts = it->second;
    if (added) {
        texts.Label = ParamLabel(param);
        const int size = param.DataLength();
        for (int k = 1; k < size; ++k)
            texts.Parts[size_t(k - 1)] = texts.Label + FormatText(" (%d/%d)\r\n", k, size);
    }
    return texts;
}

void TLogTextWriter::OnUnplaced(const TLogRecord& record) {
    const std::span<const uint8_t> bytes = record.Bytes;
    if (IsText(bytes)) {
        // Text lines of an adapter (an ELM327 link logs them between its pairs): they interrupt
        // neither a value nor the identification block.
        AppendOffset(Out, record.Offset);
        Out += "  > ";
        for (size_t i = 0; i < bytes.size(); ++i) {
            if (bytes[i] == '\r')
                continue;
            if (bytes[i] != '\n')
                Out += char(bytes[i]);
            else if (i + 1 < bytes.size())
                Out += "\r\n          > ";
        }
        Out += "\r\n";
        return;
    }
    Pending = {};
    if (bytes.size() <= ShortRun) {
        AppendOffset(Out, record.Offset);
        Out += " ";
        for (uint8_t byte : bytes) {
            Out += ' ';
            AppendHex(Out, byte);
        }
        Line(" - ???");
        return;
    }
    for (size_t row = 0; row < bytes.size(); row += HexRowBytes) {
        AppendOffset(Out, record.Offset + row);
        Out += " ";
        for (size_t i = row; i < bytes.size() && i < row + HexRowBytes; ++i) {
            Out += ' ';
            AppendHex(Out, bytes[i]);
        }
        Out += "\r\n";
    }
}

void TLogTextWriter::CloseIdentBlock() {
    if (!Ident.Pending())
        return;
    std::vector<std::string> report = Ident.Finish();
    ToldFamily = Ident.Ident().UnitType;
    if (OnUnit)
        OnUnit({Ident.Ident().UnitType, Ident.Ident().Supplier});
    if (OnIdentified)
        OnIdentified(Ident.Ident());
    for (const std::string& line : report)
        ReportLine(line);
}

void TLogTextWriter::Finish() {
    CloseIdentBlock();
}

} // namespace velmora
