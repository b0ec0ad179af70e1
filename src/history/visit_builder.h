// Builds one visit from what a connection did, in order: the unit, each read of the fault memory, the
// erases and the service functions. The recorder feeds it live; the rebuild feeds it from an exchange
// log. One thread at a time.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "faults/fault_list.h"
#include "history/visit.h"

namespace velmora {

class TVisitBuilder {
public:
    void Start(const TEcuIdent& ident, std::string_view client, std::string_view port, std::string when);
    // A complete read; `beforeErase` is the read an erase makes of what it is about to erase. A fault
    // read again after an erase (not before another one) remained.
    void FaultsRead(const std::vector<TFault>& faults, bool beforeErase);
    // The erase commands went out: every fault known so far counts as erased until it is read again.
    void Erased(std::string when);
    void FunctionRun(std::string_view kind, std::string_view detail, bool ok, std::string when);
    void AddFile(std::string_view kind, std::string_view path);

    const TVisit& Visit() const { return Current; }
    bool Started() const { return !Current.When.empty(); }

private:
    TVisit Current;
    bool EraseSent = false;
};

} // namespace velmora
