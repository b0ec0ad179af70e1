// The fault text files shipped in data/DATA: every code the decoding can produce has an entry in every
// language, the languages cover the same codes and agree on which meanings are known, the codes with a
// published meaning have it (and only they), and the Russian entries of the English and German files say
// what the Russian files say.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <set>
#include <utility>
#include <vector>

#include "faults/fault_codes.h"
#include "faults/fault_texts.h"
#include "platform/text_encoding.h"
#include "temp_folder.h"

namespace velmora {
namespace {

struct TLanguage {
    const char* Folder;
    char Letter;
    const char* Unknown;    // the short text of a code whose meaning is not known
    const char* OneListing; // in the details of a meaning that only one listing gives
    const char* MayDiffer;  // in the details of an LH code that should not be a fault at all
};

constexpr TLanguage Languages[] = {
    {"en", 'E', "Meaning not known; see the unit's workshop documentation", "from one listing only",
     "numbering may differ"},
    {"de", 'D', "Bedeutung unbekannt; siehe Werkstattunterlagen des Steuergeräts", "aus nur einer Liste",
     "Nummerierung kann"},
    {"ru", 'R', "Значение кода неизвестно; см. документацию по ремонту блока", "только из одного перечня",
     "нумерация по K-line может отличаться"},
};

struct TFamily {
    uint8_t UnitType;
    const char* File;
};

constexpr TFamily Families[] = {{UnitHfm, "HFM.DAT"}, {UnitPms, "PMS.DAT"}, {UnitLh, "LH.DAT"}};

// Every code the decoding gives a unit of the family, over the contexts that switch on each group of
// HFM overrides.
std::set<int> DecodedCodes(uint8_t unitType) {
    std::set<int> codes;
    if (unitType == UnitLh) {
        for (int slot = 1; slot <= LhSlotCount; ++slot)
            codes.insert(LhFaultCode(slot));
        return codes;
    }
    const TFaultContext contexts[] = {
        {unitType, SupplierVdo, 0, 0, false},
        {unitType, SupplierBosch, 49, 'h', false}, // Bosch 'h' at 49, and 49 and above
        {unitType, SupplierVdo, 52, 'o', false},   // variant 'o', and 50-55
    };
    for (const TFaultContext& context : contexts) {
        for (int bit = 1; bit <= FaultBitCount; ++bit) {
            if (int code = FaultCodeOfBit(bit, context); code != 0)
                codes.insert(code);
        }
    }
    return codes;
}

std::set<int> CodesWithText(const TFaultTexts& texts) {
    std::set<int> codes;
    for (size_t code = 0; code < texts.Texts.size(); ++code) {
        if (!texts.Texts[code].empty())
            codes.insert(int(code));
    }
    return codes;
}

class ShippedFaultTextsTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (const TLanguage& language : Languages) {
            for (const TFamily& family : Families) {
                const std::filesystem::path relative = std::filesystem::path(language.Folder) / family.File;
                const std::optional<std::string> bytes =
                    ReadFileBytes(std::filesystem::path(VELMORA_DATA_DIR) / relative);
                ASSERT_TRUE(bytes) << relative;
                Folder.WriteFile("DATA" / relative, *bytes);
            }
        }
    }

    TFaultTexts Load(const TFamily& family, const TLanguage& language, bool russian = false) const {
        return LoadFaultTexts(family.UnitType, russian, language.Letter);
    }

    testing::TTempFolder Folder;
};

TEST_F(ShippedFaultTextsTest, EveryDecodedCodeHasATextAndDetailsInEveryLanguage) {
    for (const TFamily& family : Families) {
        const std::set<int> decoded = DecodedCodes(family.UnitType);
        ASSERT_FALSE(decoded.empty()) << family.File;
        for (const TLanguage& language : Languages) {
            SCOPED_TRACE(std::string(language.Folder) + "/" + family.File);
            const TFaultTexts texts = Load(family, language);
            ASSERT_EQ(texts.FileState, TFaultTextFile::Read);
            for (int code : decoded) {
                EXPECT_FALSE(texts.Text(code).empty()) << code;
                // The report gets more than the list's short text: what it is and what to do.
                EXPECT_GE(texts.Description(code).size(), 3u) << code;
            }
            // And nothing for codes the decoding never gives (a typo in a marker would land there).
            for (int code : CodesWithText(texts))
                EXPECT_TRUE(decoded.count(code)) << "entry for code " << code << " that is never decoded";
        }
    }
}

TEST_F(ShippedFaultTextsTest, LanguagesKnowTheSameMeanings) {
    for (const TFamily& family : Families) {
        SCOPED_TRACE(family.File);
        std::map<std::string, std::set<int>> unknownByLanguage;
        for (const TLanguage& language : Languages) {
            const TFaultTexts texts = Load(family, language);
            for (int code : CodesWithText(texts)) {
                if (texts.Text(code) == language.Unknown)
                    unknownByLanguage[language.Folder].insert(code);
            }
            EXPECT_FALSE(unknownByLanguage[language.Folder].empty()) << language.Folder;
        }
        EXPECT_EQ(unknownByLanguage["en"], unknownByLanguage["ru"]);
        EXPECT_EQ(unknownByLanguage["de"], unknownByLanguage["ru"]);
    }
    EXPECT_EQ(Load(Families[0], Languages[1]).Text(2), "Kühlmitteltemperaturfühler B11/3: Kurzschluss");
}

// Which codes have a published meaning: exactly these say what is wrong, every other decoded code says
// that its meaning is not known. A range is [first, last].
struct TKnownCodes {
    uint8_t UnitType;
    std::vector<std::pair<int, int>> Known;
    std::set<int> OneListing; // meanings from a single listing: the details say so
    std::set<int> MayDiffer;  // "no fault" or "not used" numbers: the details warn about the numbering
};

std::set<int> Expand(const std::vector<std::pair<int, int>>& ranges) {
    std::set<int> codes;
    for (const auto& [first, last] : ranges) {
        for (int code = first; code <= last; ++code)
            codes.insert(code);
    }
    return codes;
}

TEST_F(ShippedFaultTextsTest, PublishedMeaningsAreThereAndNothingElseIsClaimed) {
    const TKnownCodes table[] = {
        {UnitHfm, {{2, 74}, {76, 117}}, {113, 116}, {}},
        {UnitPms, {{2, 74}}, {}, {}},
        {UnitLh, {{1, 29}}, {26, 28}, {1, 5, 6, 14, 15}},
    };
    for (const TKnownCodes& row : table) {
        const TFamily& family = *std::find_if(std::begin(Families), std::end(Families),
                                              [&](const TFamily& f) { return f.UnitType == row.UnitType; });
        const std::set<int> known = Expand(row.Known);
        for (const TLanguage& language : Languages) {
            SCOPED_TRACE(std::string(language.Folder) + "/" + family.File);
            const TFaultTexts texts = Load(family, language);
            for (int code : DecodedCodes(row.UnitType)) {
                const bool unknown = texts.Text(code) == language.Unknown;
                EXPECT_NE(unknown, known.count(code) > 0) << code << ": " << texts.Text(code);
                std::string details;
                for (const std::string& line : texts.Description(code))
                    details += line + "\n";
                EXPECT_EQ(details.find(language.OneListing) != std::string::npos,
                          row.OneListing.count(code) > 0)
                    << code << ": " << details;
                EXPECT_EQ(details.find(language.MayDiffer) != std::string::npos,
                          row.MayDiffer.count(code) > 0)
                    << code << ": " << details;
            }
        }
    }
}

// PMS numbers its codes on its own: no PMS code may carry the HFM text of the same number.
TEST_F(ShippedFaultTextsTest, PmsCodesDoNotBorrowHfmTexts) {
    for (const TLanguage& language : Languages) {
        const TFaultTexts hfm = Load(Families[0], language);
        const TFaultTexts pms = Load(Families[1], language);
        for (int code : DecodedCodes(UnitPms)) {
            if (pms.Text(code) != language.Unknown) {
                EXPECT_NE(pms.Text(code), hfm.Text(code)) << language.Folder << " " << code;
            }
        }
    }
}

TEST_F(ShippedFaultTextsTest, RussianEntriesOfOtherLanguagesMatchTheRussianFile) {
    const TLanguage& russian = Languages[2];
    for (const TFamily& family : Families) {
        const TFaultTexts reference = Load(family, russian, true);
        for (const TLanguage& language : {Languages[0], Languages[1]}) {
            SCOPED_TRACE(std::string(language.Folder) + "/" + family.File);
            const TFaultTexts texts = Load(family, language, true);
            EXPECT_EQ(texts.Texts, reference.Texts);
            EXPECT_EQ(texts.Descriptions, reference.Descriptions);
        }
    }
}

} // namespace
} // namespace velmora
