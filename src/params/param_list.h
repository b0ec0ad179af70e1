// TListParams: the parameter set of a connection or of the log converter, an ordered list of
// TECUparam that it owns, filled from ECU.ini, from the built-in set of the unit's family or from an
// address set. Filled on one thread before it is shared; lookups from any thread afterwards.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <vector>

#include "params/ecu_param.h"

namespace velmora {

class TListParams {
public:
    using TItems = std::vector<std::unique_ptr<TECUparam>>;

    size_t Count() const { return Items.size(); }
    TECUparam& operator[](size_t index) const { return *Items[index]; }
    TItems::const_iterator begin() const { return Items.begin(); }
    TItems::const_iterator end() const { return Items.end(); }

    // Adds `param` when it has a CMD; returns whether it was added.
    bool Add(std::unique_ptr<TECUparam> param);
    void Clear();

    // The first record with this number, or nullptr.
    TECUparam* FindByNumber(int number) const;
    // The first record carrying identifier `id` (TECUparam::HasId), or nullptr.
    TECUparam* FindById(uint8_t id) const;

    // Clears the set and reads ECU.ini (`path`, or ECU.ini in the program folder when empty): sections
    // P0..P219 and U255..U220. A missing file gives an empty set. A CALC that does not convert stops
    // the load with ConvertError/RangeError; the records read before it stay.
    void LoadIni(const std::filesystem::path& path = {});
    // Appends the built-in set of the family: LH (unitType 3), EZ (4), HFM/PMS (any other), and gives
    // the set its identifiers (AssignParamIds).
    void LoadBuiltinSet(int unitType, char variantLetter);
    // Appends the address set that fits the unit; returns false when none fits (the set stays empty).
    bool LoadAddressSet(int unitType, int supplier, int diagIndex);
    // Gives the records their colour rule by number, for the unit that was identified.
    void AssignColorRules(int unitType, int supplier, int diagIndex);

    // --- polling controls (poll_controls.h; worker thread) ---
    // Holds every record back for `seconds` (see PauseInterval); 0 ends the pause.
    void PausePolling(int seconds);
    // On the first record with this number (identifier): SetPoll; false when none matched.
    bool SetPollByNumber(int number, int32_t interval, int64_t lastTick);
    bool SetPollById(uint8_t id, int32_t interval, int64_t lastTick);
    // Clears LastTick and PollInterval of every record: all are read anew.
    void ResetPolls();

    // [HFM] TYPE of ECU.ini names a 2142 unit.
    bool Is2142 = false;

private:
    TItems Items;
};

} // namespace velmora
