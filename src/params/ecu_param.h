// One live parameter of an engine unit: where its bytes lie, how its raw number becomes a physical value
// (the CALC language), how it prints, and its latest value. The worker thread calls SetData; the
// window thread formats and reads the value. Value, bit text and poll fields are safe to share between
// the two; description fields are set before the record is shared and not changed afterwards.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>

namespace velmora {

class TIniFile;

// The program-wide FONT_SIZE setting: the font size a new record starts with (10 until the settings
// are read).
int DefaultFontSize();
void SetDefaultFontSize(int size);

// The converted value: an integer or a single-precision float, stored together so that a reader never
// sees the flag of one value with the bits of another.
struct TParamValue {
    bool IsFloat = false;
    union {
        int32_t Int = 0;
        float Float;
    };
};

// A pause keeps in -PollInterval the tick it ends at, reduced to its low 31 bits (PauseInterval), so
// that it holds at any tick count.
constexpr uint32_t PauseTickMask = 0x7FFFFFFF;

class TECUparam {
public:
    static constexpr int MaxPoints = 16;
    static constexpr int BitCount = 8;

    explicit TECUparam(uint16_t number);
    TECUparam(const TECUparam&) = delete;
    TECUparam& operator=(const TECUparam&) = delete;

    // Copies the description (address, type, conversion, mask, unit, font, poll settings), not the
    // number, name, colour rule or value.
    void Assign(const TECUparam& source);

    // --- description ---
    // One of B I L S W X; anything else gives B.
    void SetType(char type);
    // "85 7" (two decimal numbers) or "0817" (four hex digits); text that does not convert clears both.
    void SetCmdText(std::string_view text);
    void SetCmdWord(uint16_t word);
    bool HasCmd() const { return CmdHi != 0 || CmdLo != 0; }
    // Parses a CALC text; throws ConvertError or RangeError naming this description.
    void SetCalc(std::string_view text);
    // Rebuilds the bit-field table of an X parameter from Name.
    void ParseBitNames();
    // Raw bytes read for the type: 2 for I and W, 4 for L, else 1.
    int DataLength() const;
    // Applies one "KEY=value" description line (NAME, IZM, UNIT, TYPE, CALC, MASK, CMD, FONT_SIZE).
    void ParseLine(std::string_view line);
    // Reads one description from an ini section.
    void LoadFromIni(const TIniFile& ini, std::string_view section);

    // --- value ---
    // Bytes as read from the CMD address onward (unused bytes 0); stamps LastTick.
    void SetData(uint8_t b0, uint8_t b1, uint8_t b2, uint8_t b3);
    void SetRaw(uint8_t b0, uint8_t b1, uint8_t b2, uint8_t b3);
    // What those bytes convert to, leaving the record's value as it is.
    TParamValue Convert(uint8_t b0, uint8_t b1, uint8_t b2, uint8_t b3) const;
    TParamValue Current() const { return CurrentValue.load(); }
    bool IsFloat() const { return Current().IsFloat; }
    // The value, rounded to the nearest integer (ties to even) when it is a float.
    int32_t AsInteger() const;
    float AsSingle() const;
    // Display text: the mask applied, or the value with Decimals digits followed by Izm. Throws
    // FormatError when the mask does not fit the value.
    std::string FormatValue() const;
    // The text of this parameter in an exchange-log line.
    std::string LogText() const;
    // For X: the names of the bits in their current state, each after a blank.
    std::string BitText() const;
    // Smallest and largest converted value the raw type can give; the value read stays untouched.
    float RangeMin() const;
    float RangeMax() const;

    // --- bit fields of an X parameter ---
    // Number of fields ParseBitNames found (0..8); field i describes bit i.
    int BitFieldCount() const;
    std::string_view BitFieldText(int bit) const;
    // The text a bit shows in its state: for "A" only "A" when set; for "|B" only "B" when clear; for
    // "A|B" "A" when set and "B" when clear; for "|" only "|" when clear. Empty when nothing shows.
    std::string_view BitPiece(int bit, bool set) const;

    // --- identifiers ---
    void SetBitId(uint8_t id, uint8_t mask);
    bool HasId(uint8_t id) const;
    // 1 or 0 for the bit carrying `id` of an X parameter; -1 otherwise.
    int BitById(uint8_t id) const;
    uint8_t FirstId() const;

    // "parameter 5 (Name)", for error texts.
    std::string DescriptionLabel() const;

    // --- polling (the worker thread sets LastTick, PollLevel and PollInterval) ---
    // The tick of the next read; ticks wrap, so compare it with TicksSince, never with < or >.
    uint32_t NextPollTick() const;
    // Read at least one period ago and not held back by a pause; right across the wrap of the tick count.
    bool IsPollDue() const;

    const uint16_t Number;
    std::array<uint8_t, BitCount> BitIds{};
    char ParamType = 'B';
    uint8_t CmdHi = 0;
    uint8_t CmdLo = 0;
    std::atomic<uint32_t> LastTick{0};
    std::atomic<uint16_t> RawWord{0};
    uint16_t Multiplier = 1;
    uint16_t Divisor = 1;
    uint8_t PointCount = 0;
    std::array<int32_t, MaxPoints> PointX{};
    std::array<int32_t, MaxPoints> PointY{};
    uint8_t Decimals = 0;
    char FontStyle = 0;
    uint8_t FontSize;
    std::string Izm; // at most 4 characters
    // The unit a view shows beside the value when Izm is empty (UNIT, translated like NAME); the value
    // text itself stays bare, as the exchange-log conversion and CSV files expect it.
    std::string Unit;
    std::string Name; // at most 255 characters
    std::string Mask; // at most 32 characters
    std::array<int32_t, BitCount> BitControls{};
    int32_t ColorRule = 0;
    std::atomic<uint8_t> PollLevel{0};
    std::atomic<int32_t> PollInterval{0};

private:
    void ParseScale(std::string_view text);
    void ParseOffset(std::string_view text);
    void ParsePointTable(std::string_view text);
    float Interpolate(int32_t raw) const;
    void RebuildBitText(uint8_t bits);

    std::atomic<TParamValue> CurrentValue{};
    mutable std::mutex BitTextLock;
    std::string CurrentBitText;
};

} // namespace velmora
