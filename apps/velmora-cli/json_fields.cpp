#include "json_fields.h"

namespace velmora {

namespace {

// The fields every document about a port carries first.
constexpr TJsonField PortFields[] = {
    {"port", "the port as given (--port or the settings)"},
    {"adapter", "\"K\" KKL cable, \"C\" CarSoft 7.4 or \"E\" ELM327"},
};
// The identification's fields that follow them in the documents of a connection.
constexpr TJsonField UnitFields[] = {
    {"unit", "\"HFM\", \"PMS\", \"LH\", \"EZ\" or \"unknown\""},    {"unit_type", "0 to 4"},
    {"supplier", "\"Bosch\", \"VDO\", \"Siemens\" or \"unknown\""}, {"supplier_code", "0 to 3"},
    {"diagnosis_index", "the unit's diagnosis index (number)"},
};
constexpr TJsonField FaultListFields[] = {
    {"stored_only", "boolean: only faults with a stored state are listed (--stored-only)"},
    {"texts_notice", "why the fault texts are missing, or null"},
    {"faults",
     "array of objects: code (the maker's code, or the bit number when known is false), cell (bit "
     "or slot), stored and current (booleans), known (boolean), text (in the language of --lang), "
     "seen_before (array of the car's earlier visits that read the code: date, erased, remained), recurring "
     "(boolean: erased at an earlier visit and back)"},
};

constexpr TJsonField IdentFields[] = {
    {"variant", "one letter, or null"},
    {"ident", "the unit's identification text"},
    {"signature", "eight hexadecimal digits"},
    {"ident_bytes", "the identification block in hexadecimal"},
    {"vin", "the vehicle identification number, or null when the unit has none"},
    {"ms_per_request", "measured time of one request pair (ms)"},
    {"exchange_log", "the path of the exchange log"},
};
constexpr TJsonField EraseFields[] = {
    {"ignition_cycle",
     "boolean: the unit (LH) wants the ignition off for more than 10 s before it shows what "
     "remains; faults is then null"},
};
constexpr TJsonField ReportFields[] = {
    {"stored_only", "boolean (--stored-only)"},
    {"report", "the path of the fault report written (the customer report's PDF with --pdf)"},
};
constexpr TJsonField WatchFields[] = {
    {"ms", "milliseconds since polling began"},
    {"number", "the parameter's number"},
    {"name", "the parameter's name"},
    {"value", "the converted value as a number"},
    {"unit", "the unit of measure"},
    {"text", "the value as the window shows it, or why it cannot be shown"},
};
constexpr TJsonField RangeFields[] = {
    {"command", "the command byte (number)"},
    {"from", "the first address"},
    {"to", "the last address"},
    {"bytes", "array of the bytes read, one number per address from the first to the last"},
};
constexpr TJsonField ActFields[] = {
    {"command", "the channel's command byte (number)"},
    {"value", "the value sent (number)"},
    {"sent", "array of the command words the unit was sent, four hexadecimal digits each"},
};
constexpr TJsonField AdaptFields[] = {
    {"function", "\"reset\", \"reset2\" or \"throttle\""},
    {"then", "what to do next (phase 1 of the reset), or null"},
};
constexpr TJsonField CodeFields[] = {
    {"coding", "array of the three numbers written"},
};
constexpr TJsonField TripFields[] = {
    {"seconds", "the time asked for"},
    {"trip_time_s", "trip time (s)"},
    {"idle_time_s", "time at idle (s)"},
    {"distance_m", "distance (m)"},
    {"fuel_l", "fuel used (l)"},
    {"idle_fuel_l", "fuel used at idle (l)"},
    {"idle_consumption_l_h", "consumption at idle (l/h)"},
    {"current_consumption_l_h", "current consumption (l/h)"},
    {"average_speed_km_h", "average speed (km/h)"},
    {"trip_consumption_l_100km", "consumption over the trip (l/100 km)"},
    {"log", "the trip log lines written meanwhile, as an array of strings"},
};
constexpr TJsonField SmoothFields[] = {
    {"seconds", "the time asked for"},
    {"cylinders", "the number of cylinders"},
    {"firing_order", "array of the cylinders in firing order"},
    {"results", "array of objects, one per cylinder result in the order they came: cylinder, deviation_pct "
                "(deviation from the cylinder before it, %), rpm (engine speed)"},
    {"rpm", "the last engine speed"},
};
constexpr TJsonField CalcFields[] = {
    {"text", "the display text"},
    {"value", "the value at full precision (number)"},
    {"log_text", "the exchange-log text"},
};
constexpr TJsonField AdapterTestFields[] = {
    {"test", "\"echo\" or \"carsoft\""},
    {"sound", "boolean: the verdict"},
    {"log", "the test's log lines, as an array of strings"},
};
constexpr TJsonField ImpulseFields[] = {
    {"ms", "the length asked for (ms)"},
    {"done", "boolean: the line was held low"},
    {"log", "the log lines, as an array of strings"},
};
constexpr TJsonField ElmToKklFields[] = {
    {"done", "boolean: the adapter confirmed the plain K-line mode"},
    {"log", "the log lines, as an array of strings"},
};
constexpr TJsonField SlowCodesFields[] = {
    {"outcome", "\"read\", \"not_erased\", \"no_code\", \"refused\", \"stopped\" or \"port_failed\""},
    {"codes", "array of the codes shown, in order"},
    {"remaining", "array of the codes shown again after their erase (outcome \"not_erased\")"},
    {"erase", "boolean: each code was erased (--erase, --adapt)"},
    {"adaptation_reset", "boolean: the adaptation was reset (--adapt)"},
    {"log", "the log lines, as an array of strings"},
};
constexpr TJsonField ModuleFields[] = {
    {"module", "\"egas\" or \"srs\""},
    {"address", "the module's K-line address"},
    {"identified", "boolean"},
    {"part_number", "ten hexadecimal digits, or null"},
    {"supplier", "name, or null"},
    {"supplier_code", "number"},
    {"faults", "array of objects: code, text"},
    {"fault_records", "records read, also those beyond the twenty kept"},
    {"bad_checksum_frames", "frames that failed their checksum and were not used"},
    {"erase", "boolean: the faults were erased"},
    {"protocol_log", "the path of the protocol log, or null"},
};
constexpr TJsonField ConvertFields[] = {
    {"path", "the file or folder given"},
    {"only_new", "boolean (--only-new)"},
    {"csv", "boolean (--csv)"},
    {"written", "array of the paths of the texts (and CSV files) written"},
    {"failed", "logs that could not be read or written"},
    {"skipped", "OBD recordings skipped for want of their descriptions"},
    {"log", "the log lines, as an array of strings"},
};

constexpr TJsonField HistoryFields[] = {
    {"vin", "the car asked for (--vin), or null"},
    {"client", "the client asked for (--client), or null"},
    {"visits",
     "array of visits, oldest first: date, client, car (the VIN, or \"ID <identification>/<index>\"), "
     "vin (or null), ident, unit, port, faults (code, stored, current, known, erased: removed by "
     "this visit's erase, remained: still there after it), events (date, kind: erase, actuator, "
     "adaptation or coding, detail, ok), files (kind, path)"},
};

constexpr TJsonDocumentHelp Documents[] = {
    {"ident", "one document", {PortFields, UnitFields, IdentFields}},
    {"faults", "one document", {PortFields, UnitFields, FaultListFields}},
    {"erase", "one document: what remains", {PortFields, UnitFields, FaultListFields, EraseFields}},
    {"report", "one document", {PortFields, UnitFields, ReportFields}},
    {"watch", "one object per line, per new value", {WatchFields}},
    {"range", "one document", {PortFields, RangeFields}},
    {"act", "one document", {PortFields, ActFields}},
    {"adapt", "one document, once the unit confirmed the function", {PortFields, AdaptFields}},
    {"code", "one document, once the coding is written", {PortFields, CodeFields}},
    {"trip", "one document", {PortFields, TripFields}},
    {"smooth", "one document", {PortFields, SmoothFields}},
    {"calc", "one document", {CalcFields}},
    {"adapter-test", "one document, also when the cable is faulty", {PortFields, AdapterTestFields}},
    {"impulse", "one document, also when it failed", {PortFields, ImpulseFields}},
    {"elm-to-kkl", "one document, also when it failed", {PortFields, ElmToKklFields}},
    {"slow-codes", "one document, also when no code came", {PortFields, SlowCodesFields}},
    {"module", "one document", {PortFields, ModuleFields}},
    {"history", "one document (not with --rebuild)", {HistoryFields}},
    {"convert", "one document, also when a log failed", {ConvertFields}},
    {"replay", "one object per line, per value replayed (ms since polling began, as watch)", {WatchFields}},
};

} // namespace

std::span<const TJsonDocumentHelp> JsonDocuments() {
    return Documents;
}

std::vector<TJsonField> TJsonDocumentHelp::Fields() const {
    std::vector<TJsonField> fields;
    for (const std::span<const TJsonField> part : Parts)
        fields.insert(fields.end(), part.begin(), part.end());
    return fields;
}

} // namespace velmora
