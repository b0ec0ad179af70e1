// The --json output of velmora-cli: the records of the core as JSON documents with the fields of the
// table in json_fields.cpp, built with nlohmann::json. Texts are UTF-8; bytes that are not are replaced
// when printed. Main thread only.
#pragma once

#include <nlohmann/json.hpp>
#include <ostream>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "engine_link/ecu_ident.h"
#include "faults/fault_list.h"
#include "faults/fault_texts.h"
#include "history/session_recorder.h"
#include "modules/module_dialogue.h"
#include "params/ecu_param.h"
#include "platform/host.h"
#include "trip/trip_values.h"

namespace velmora {

// Fields in the order the man page lists them.
using TJson = nlohmann::ordered_json;

// Removes every "--json" from `args`; true when there was one.
bool TakeJsonOption(std::vector<std::string_view>& args);

// A converted value as a JSON number: a float with the digits that tell it apart (0.1f prints 0.1, not
// 0.100000001), an integer as it is.
TJson ValueJson(const TECUparam& param);
// port, adapter: what every document about a port starts with (adapter "K", "C" or "E").
TJson PortJson(std::string_view port, char adapter);
// port, adapter, unit, unit_type, supplier, supplier_code, diagnosis_index: a connection's documents.
TJson UnitJson(const TEcuIdent& ident, std::string_view port, char adapter);
// port, adapter, unit, unit_type, supplier, supplier_code, diagnosis_index, variant, ident, signature,
// ident_bytes, vin, ms_per_request
TJson IdentJson(const TEcuIdent& ident, std::string_view port, char adapter);
// The identification's port, adapter, unit, unit_type, supplier, diagnosis_index; stored_only,
// texts_notice and faults (code, cell, stored, current, known, text, seen_before, recurring), stored
// states only with `storedOnly`; seen_before from the car's earlier visits in `history` (empty without).
TJson FaultsJson(const TEcuIdent& ident, std::string_view port, char adapter,
                 const std::vector<TFault>& faults, const TFaultTexts& texts, bool storedOnly,
                 const THistoryRecorder* history = nullptr);
// ms, number, name, value, unit, text
TJson WatchJson(uint32_t ms, const TECUparam& param);
// port, adapter, module, address, identified, part_number, supplier, supplier_code, faults (code, text),
// fault_records, bad_checksum_frames, erase, protocol_log
TJson ModuleJson(const TModuleDialogue& dialogue, std::string_view port, char adapter,
                 std::string_view module, uint8_t address, bool erase);
// port, adapter, seconds, the nine figures in plain units (trip_time_s, idle_time_s, distance_m, fuel_l,
// idle_fuel_l, idle_consumption_l_h, current_consumption_l_h, average_speed_km_h,
// trip_consumption_l_100km) and the trip log lines written (log)
TJson TripJson(std::string_view port, char adapter, int seconds, const TTripValues& values,
               const std::vector<std::string>& log);
// port, adapter, test ("echo" or "carsoft"), sound, log
TJson AdapterTestJson(std::string_view port, char adapter, bool carSoft, bool sound,
                      const std::vector<std::string>& log);

// While a command prints JSON: its log lines go to stderr (and are kept), so that stdout carries the
// document alone; boxes and messages go on to the host it replaces, which it restores when it ends.
class TJsonLogHost : public THost {
public:
    TJsonLogHost();
    ~TJsonLogHost() override;
    TJsonLogHost(const TJsonLogHost&) = delete;
    TJsonLogHost& operator=(const TJsonLogHost&) = delete;

    void AddLog(std::string_view line) override;
    TMsgResult MessageBox(std::string_view text, TMsgKind kind, TMsgButtons buttons) override;
    void PostMessage(uint32_t msg, intptr_t wParam, intptr_t lParam) override;

    std::vector<std::string> Lines;

private:
    THost& Replaced;
};

// One document on one line (and the line's end), invalid UTF-8 replaced.
void PrintJsonLine(std::ostream& out, const TJson& document);
// One document, indented, for `ident` and `faults`.
void PrintJsonDocument(std::ostream& out, const TJson& document);

} // namespace velmora
