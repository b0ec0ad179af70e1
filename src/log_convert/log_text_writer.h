// Turns the records of an exchange-log scanner into the lines of the text conversion: one line per
// pair with its label, the identification report after the identification block, the fault memory
// under "Lost errors:" / "Actual errors:", the actuator commands, and parameter reads with the name
// and converted value of the parameter. One converter thread.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <unordered_map>

#include "log_convert/ident_block.h"
#include "log_convert/log_scanner.h"

namespace velmora {

class TECUparam;
class TRequestIndex;

class TLogTextWriter : public TLogSink {
public:
    // Longer runs of bytes that fit nowhere are printed as they are (text, or hexadecimal rows).
    static constexpr size_t ShortRun = 9;

    explicit TLogTextWriter(const TRequestIndex& index) : Index(&index) {}

    // A new set of parameters for the pairs that follow: values already converted keep their text.
    void SetIndex(const TRequestIndex& index);
    // Called once an identification block is complete, before its report is written.
    std::function<void(const TEcuIdent&)> OnIdentified;
    // Called when the log tells the unit: its family within the identification block (LH, EZ), then
    // family and supplier once the block is complete.
    std::function<void(TLogUnit)> OnUnit;
    // Called with every parameter value completed, and the number of its pair in the log (1, 2, ...).
    std::function<void(uint64_t pairNumber, const TECUparam&)> OnValue;
    // Called with every parameter value completed and its bytes as SetData takes them (the byte order
    // of the unit already applied), before OnValue; the record's own value is not set for it.
    std::function<void(const TECUparam&, const std::array<uint8_t, 4>& bytes, int size)> OnValueBytes;

    // Two-byte values come high byte first whatever the unit (OBD recordings).
    bool HighByteFirst = false;

    void OnRecord(const TLogRecord& record) override;
    // Ends the text: an identification block still open is reported.
    void Finish();

    // The text so far (CR LF lines, UTF-8); ClearText starts it anew.
    const std::string& Text() const { return Out; }
    void ClearText();

private:
    struct TPending {
        TECUparam* Param = nullptr;
        uint8_t Cmd = 0;
        uint8_t NextAddress = 0;
        uint8_t Got = 0;
        std::array<uint8_t, 4> Bytes{};
        uint8_t Size = 0; // bytes of the value in the log (an adapter's table read has at most two)
    };

    void OnPair(const TLogRecord& record);
    void OnUnplaced(const TLogRecord& record);
    void CloseIdentBlock();
    bool TakeFaultByte(const TLogRecord& record);
    bool TakeParamByte(const TLogRecord& record);
    void CompleteParam(TECUparam& param, std::array<uint8_t, 4> bytes, int size);
    void PairPrefix(const TLogRecord& record);
    // The pair with the label of its known request.
    void LabelLine(const TLogRecord& record);
    void Line(std::string_view text);
    const std::string& Translated(std::string_view russian);
    void ReportLine(std::string_view text);

    const TRequestIndex* Index;
    TIdentBlock Ident;
    TPending Pending;
    uint8_t ToldFamily = 0; // the family OnUnit was last called with
    int FaultSection = 0;   // 0 none, 1 lost errors, 2 actual errors
    uint64_t PairCount = 0;
    std::string Out;
    std::unordered_map<const char*, std::string> Labels;
    // The texts of a parameter's lines, made once: "#1 Обороты", the lines of its first bytes, and the
    // value lines by the value's bytes.
    struct TParamTexts {
        std::string Label;
        std::array<std::string, 3> Parts;
        std::string Other; // a part line of a read shorter than the record (an adapter's table read)
        std::unordered_map<uint32_t, std::string> ByRaw;
    };
    TParamTexts& TextsOf(const TECUparam& param);
    // "#3 Name (got/size)" with its line end.
    const std::string& PartText(const TECUparam& param, int got, int size);
    std::unordered_map<const TECUparam*, TParamTexts> Texts;
};

} // namespace velmora
