// The fields of velmora-cli's --json documents, per command: the one table that --help, the man page's
// section JSON OUTPUT and the tests read (the README repeats the names). Main thread only.
#pragma once

#include <array>
#include <span>
#include <string_view>
#include <vector>

namespace velmora {

struct TJsonField {
    std::string_view Name; // the key, as printed
    std::string_view Text; // what it holds
};

struct TJsonDocumentHelp {
    std::string_view Command; // "faults"
    std::string_view Shape;   // "one document", "one object per line, per new value"
    // The fields in the order the document prints them, in groups shared by several commands.
    std::array<std::span<const TJsonField>, 4> Parts;

    std::vector<TJsonField> Fields() const;
};

// Every command that prints JSON, in the order of the commands' table.
std::span<const TJsonDocumentHelp> JsonDocuments();

} // namespace velmora
