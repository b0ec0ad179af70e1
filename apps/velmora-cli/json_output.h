// The --json output of velmora-cli: the records of the core as JSON documents with the fields the man
// page lists (JSON OUTPUT), built with nlohmann::json. Texts are UTF-8; bytes that are not are replaced
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
#include "params/ecu_param.h"

namespace velmora {

// Fields in the order the man page lists them.
using TJson = nlohmann::ordered_json;

// Removes every "--json" from `args`; true when there was one.
bool TakeJsonOption(std::vector<std::string_view>& args);

// port, adapter, unit, unit_type, supplier, supplier_code, diagnosis_index, variant, ident, signature,
// ident_bytes, vin, ms_per_request
TJson IdentJson(const TEcuIdent& ident, std::string_view port, char adapter);
// The identification's port, adapter, unit, unit_type, supplier, diagnosis_index; stored_only,
// texts_notice and faults (code, cell, stored, current, known, text), stored states only with
// `storedOnly`.
TJson FaultsJson(const TEcuIdent& ident, std::string_view port, char adapter,
                 const std::vector<TFault>& faults, const TFaultTexts& texts, bool storedOnly);
// ms, number, name, value, unit, text
TJson WatchJson(uint32_t ms, const TECUparam& param);

// One document on one line (and the line's end), invalid UTF-8 replaced.
void PrintJsonLine(std::ostream& out, const TJson& document);
// One document, indented, for `ident` and `faults`.
void PrintJsonDocument(std::ostream& out, const TJson& document);

} // namespace velmora
