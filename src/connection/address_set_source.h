// Where the connection's address set comes from: for HFM and PMS units the file ECU.bin in the log
// folder when it was made for this very unit and lists addresses, otherwise the built-in address set
// that fits the unit. Pure over the identification and the file's bytes; the worker calls it.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <span>

#include "engine_link/ecu_ident.h"

namespace velmora {

class TListParams;

// ECU.bin is a copy of an exchange log (see TExchangeLog::SaveEcuBin) and may carry address entries:
//   F0 0F <index> <value>          an identification read: IdentBuf[index] of the unit it was made for;
//   80 7F <number> <hi> <lo> <T>   parameter <number> read at address hi·256 + lo, type letter T.
// It applies when none of the identification bytes 0..27, 38 and 39 it holds differs from the unit's
// and at least 28 of them match. Other bytes are passed over.
constexpr size_t MaxEcuBinBytes = 8192;

// The address entries of ECU.bin for this unit; an empty set when the file does not apply.
std::unique_ptr<TListParams> AddressSetFromEcuBin(std::span<const uint8_t> bytes, const TEcuIdent& ident);

// The address set of the unit: ECU.bin in `logFolder` for HFM and PMS units when it applies and lists
// addresses, otherwise the built-in set that fits; nullptr when there is none.
std::shared_ptr<TListParams> LoadAddressSet(const TEcuIdent& ident, const std::filesystem::path& logFolder);

} // namespace velmora
