// Codes of the engine unit that the identification decides and the parameter sets branch on.
#pragma once

namespace velmora {

// UnitType
constexpr int UnitUnknown = 0;
constexpr int UnitHfm = 1;
constexpr int UnitPms = 2;
constexpr int UnitLh = 3;
constexpr int UnitEz = 4;

// Supplier
constexpr int SupplierUnknown = 0;
constexpr int SupplierBosch = 1;
constexpr int SupplierVdo = 2;
constexpr int SupplierSiemens = 3;

} // namespace velmora
