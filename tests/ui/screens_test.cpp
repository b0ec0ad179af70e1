#include <QLabel>
#include <QTabWidget>
#include <QTest>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>

#include "host_recorder.h"
#include "lang/dictionary.h"
#include "params/unit_codes.h"
#include "platform/clock.h"
#include "temp_folder.h"
#include "ui/screens/screen_definition.h"
#include "ui/screens/screen_page.h"
#include "ui/screens/screen_pages.h"
#include "ui_test_support.h"

namespace velmora {
namespace {

using testing::MakeParam;

TEST(ScreenDefinition, NumberLists) {
    struct {
        const char* Text;
        std::vector<int> Numbers;
    } rows[] = {{"1,3,5-7", {1, 3, 5, 6, 7}},
                {"  12 ; 0", {12, 0}},
                {"7-5", {}},
                {"255", {255}},
                {"", {}},
                {"a-3", {3}}};
    for (const auto& row : rows)
        EXPECT_EQ(ParseNumberList(row.Text), row.Numbers) << row.Text;
    EXPECT_THROW(ParseNumberList("1,256"), ScreenFileError);
    EXPECT_THROW(ParseNumberList("99999999999"), ScreenFileError);
    EXPECT_THROW(ParseNumberList("0-300"), ScreenFileError);
}

TEST(ScreenDefinition, CaptionAndZones) {
    TScreenDefinition main = ParseScreenItems("Основные 0,1,5-7", 3, false);
    EXPECT_EQ(main.Caption, "Основные");
    std::vector<TScreenItem> expected = {
        {0, TZone::Main}, {1, TZone::Main}, {5, TZone::Main}, {6, TZone::Main}, {7, TZone::Main}};
    EXPECT_EQ(main.Items, expected);
    EXPECT_FALSE(main.HasTop);

    TScreenDefinition zones = ParseScreenItems("TOP: 0,1 RIGHT: 2,3 LEFT: 4", 5, false);
    EXPECT_EQ(zones.Caption, "5");
    expected = {{0, TZone::Top}, {1, TZone::Top}, {2, TZone::Main}, {3, TZone::Main}, {4, TZone::Left}};
    EXPECT_EQ(zones.Items, expected);
    EXPECT_TRUE(zones.HasTop);
    EXPECT_TRUE(zones.HasLeft);

    EXPECT_EQ(ParseScreenItems("Lambda top: 9", 0, false).Caption, "Lambda");
}

TEST(ScreenDefinition, CodePartsBecomeOneLineWhenTheSetHas44) {
    std::vector<TScreenItem> combined = {{1, TZone::Main}, {255, TZone::Main}, {3, TZone::Main}};
    EXPECT_EQ(ParseScreenItems("x 1,20,21,22,3", 0, true).Items, combined);
    EXPECT_EQ(ParseScreenItems("x 1,20,21,22,3", 0, false).Items.size(), 5u);
    EXPECT_EQ(ParseScreenItems("x 1,37,38,39,3", 0, true).Items[1].Number, 254);
}

TEST(ScreenDefinition, PresentAndNotPresentChooseTheScreens) {
    testing::TTempFolder folder;
    auto file = folder.WriteFile("DATA/options.ini", "[SCREEN0]\nITEMS=A 1,2\n"
                                                     "[SCREEN1]\nITEMS=B 1\nPRESENT=100\n"
                                                     "[SCREEN2]\nITEMS=C 2\nNOTPRESENT=1\n"
                                                     "[SCREEN3]\nITEMS=\n"
                                                     "[SCREEN4]\nITEMS=D 1\nPRESENT=1,2\n"
                                                     "[SCREEN5]\nITEMS=E 1,300\n");
    TListParams params;
    testing::FillParams(params, {1, 2});
    std::vector<std::string> errors;
    std::vector<TScreenDefinition> screens = ReadScreenDefinitions(file, params, errors);
    ASSERT_EQ(screens.size(), 2u);
    EXPECT_EQ(screens[0].Caption, "A");
    EXPECT_EQ(screens[1].Caption, "D");
    ASSERT_EQ(errors.size(), 1u); // SCREEN5 is reported, not half-built
    EXPECT_NE(errors[0].find("SCREEN5"), std::string::npos);
}

TEST(ScreenDefinition, ShippedScreensFitTheHfmSet) {
    TListParams params;
    params.LoadBuiltinSet(1, 'A');
    std::vector<std::string> errors;
    std::vector<TScreenDefinition> screens =
        ReadScreenDefinitions(std::filesystem::path(VELMORA_DATA_DIR) / "options.ini", params, errors);
    EXPECT_TRUE(errors.empty());
    ASSERT_GE(screens.size(), 4u);
    EXPECT_EQ(screens[0].Caption, "Основные");
    for (const TScreenDefinition& screen : screens) {
        for (const TScreenItem& item : screen.Items)
            EXPECT_TRUE(params.FindByNumber(item.Number) || item.Number >= 254)
                << screen.Caption << " " << item.Number;
    }
}

// Values arriving within one frame are drawn at its end: waits for it.
bool Drawn(const TScreenPage& page) {
    return QTest::qWaitFor([&] { return !page.RepaintPending(); }, 5000);
}

class ScreenPageTest : public ::testing::Test {
protected:
    void SetUp() override {
        Params.Add(MakeParam(0, "-40"));
        Params.Add(MakeParam(1));
        auto status = MakeParam(2, nullptr, 'X');
        status->Name = "IDLE;P/N;;23_16;A/C";
        status->ParseBitNames();
        Params.Add(std::move(status));
        testing::FillParams(Params, {20, 21, 22, 44});
    }
    TListParams Params;
};

TEST_F(ScreenPageTest, RowsZonesAndIndicators) {
    TScreenDefinition definition = ParseScreenItems("S TOP: 0 RIGHT: 1,2,20,21,22,99", 0, true);
    TScreenPage page(definition, testing::Borrow(Params), {12, 12, 12, true});
    TScreenParams& views = page.Views();
    ASSERT_EQ(views.Count(), 4u); // 0, 1, 2 and the combined 255; 99 is not in the set
    EXPECT_FALSE(views.View(0)->PollEveryCycle);
    EXPECT_TRUE(views.View(1)->PollEveryCycle);
    EXPECT_EQ(views.View(3)->ParamNo, 255);
    EXPECT_EQ(views.Page, &page);
    EXPECT_EQ(page.Row(0)->parentWidget(), page.TopZone());
    EXPECT_EQ(page.Row(1)->parentWidget(), page.MainZone());

    // Smart status hides the empty field and the placeholder 23_16.
    QList<QLabel*> indicators = page.Row(2)->Indicators();
    ASSERT_EQ(indicators.size(), 3);
    EXPECT_EQ(indicators[0]->text(), " IDLE ");
    EXPECT_EQ(indicators[2]->text(), " A/C ");
    EXPECT_EQ(indicators[0]->width() % 16, 0);
    EXPECT_EQ(Params.FindByNumber(2)->BitControls[4], 4); // third indicator, after value and name labels
    EXPECT_EQ(Params.FindByNumber(2)->BitControls[3], 0);
    EXPECT_FALSE(page.Row(2)->ValueLabel()->isVisibleTo(&page));

    Params.FindByNumber(0)->SetRaw(120, 0, 0, 0);
    views.UpdateParam(0);
    EXPECT_EQ(page.Row(0)->ValueLabel()->text(), "80");
    Params.FindByNumber(2)->SetRaw(0x01, 0, 0, 0);
    views.UpdateParam(2);
    ASSERT_TRUE(Drawn(page));
    // A lit lamp (IDLE set) and an unlit one (A/C clear) differ at a glance, and each reads well: text
    // and background at least 4.5:1 apart in luminance, on a background of its own in any theme.
    auto contrast = [](QLabel* lamp) {
        auto luminance = [](QColor c) {
            auto channel = [](double v) {
                return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
            };
            return 0.2126 * channel(c.redF()) + 0.7152 * channel(c.greenF()) + 0.0722 * channel(c.blueF());
        };
        double a = luminance(lamp->palette().color(QPalette::WindowText));
        double b = luminance(lamp->palette().color(QPalette::Window));
        return (std::max(a, b) + 0.05) / (std::min(a, b) + 0.05);
    };
    for (QLabel* lamp : {indicators[0], indicators[2]}) {
        EXPECT_TRUE(lamp->autoFillBackground()) << lamp->text().toStdString();
        EXPECT_GE(contrast(lamp), 4.5) << lamp->text().toStdString();
    }
    EXPECT_NE(indicators[0]->palette().color(QPalette::Window),
              indicators[2]->palette().color(QPalette::Window));
    Params.FindByNumber(2)->SetRaw(0x10, 0, 0, 0); // A/C on, IDLE off: the lamps swap
    views.UpdateParam(2);
    ASSERT_TRUE(Drawn(page));
    EXPECT_EQ(indicators[2]->palette().color(QPalette::Window), QColor(0x1B, 0x6E, 0x2E));
    EXPECT_EQ(indicators[0]->palette().color(QPalette::Window), QColor(0xE4, 0xE4, 0xE4));
    // The third part of a combined view redraws the whole line.
    Params.FindByNumber(20)->SetRaw(1, 0, 0, 0);
    Params.FindByNumber(21)->SetRaw(2, 0, 0, 0);
    Params.FindByNumber(22)->SetRaw(3, 0, 0, 0);
    views.UpdateParam(22);
    ASSERT_TRUE(Drawn(page));
    EXPECT_EQ(page.Row(3)->ValueLabel()->text(), "001 002 003");
    EXPECT_TRUE(views.IsPollEveryCycle(1));
    EXPECT_FALSE(views.IsPollEveryCycle(21)); // a part of a main-zone combined view

    views.ResetDisplay();
    ASSERT_TRUE(Drawn(page));
    EXPECT_EQ(page.Row(0)->ValueLabel()->text(), "");
    // The code number is read once (poll level 255, then only every few minutes): showing the screen
    // again keeps it instead of leaving it blank that long.
    EXPECT_EQ(page.Row(3)->ValueLabel()->text(), "");
    for (int part : {20, 21, 22})
        Params.FindByNumber(part)->PollLevel = 255;
    Params.FindByNumber(22)->SetData(3, 0, 0, 0);
    Params.FindByNumber(21)->SetData(2, 0, 0, 0);
    Params.FindByNumber(20)->SetData(1, 0, 0, 0);
    views.UpdateParam(22);
    views.ResetDisplay();
    ASSERT_TRUE(Drawn(page));
    EXPECT_EQ(page.Row(3)->ValueLabel()->text(), "001 002 003");
    EXPECT_EQ(page.Row(0)->ValueLabel()->text(), "");
}

TEST_F(ScreenPageTest, WithoutSmartStatusEveryNamedFieldShows) {
    TScreenPage page(ParseScreenItems("S 2", 0, false), testing::Borrow(Params), {12, 12, 12, false});
    EXPECT_EQ(page.Row(0)->Indicators().size(), 4);
}

// Grey means old: a value not refreshed within the period it is read in (plus a grace of 3 s). A pause
// of the records by an engine mode does not grey a value that keeps coming every cycle.
TEST_F(ScreenPageTest, OnlyValuesNotRefreshedInTimeTurnGrey) {
    TManualClock clock{100000};
    TScopedClock scope{clock};
    TScreenPage page(ParseScreenItems("S TOP: 1 RIGHT: 0", 0, false), testing::Borrow(Params),
                     {12, 12, 12, true});
    TScreenParams& views = page.Views();
    TECUparam& live = *Params.FindByNumber(0);
    TECUparam& top = *Params.FindByNumber(1);
    top.PollLevel = 10; // every 10 × 1024 ms
    const QColor grey(0x80, 0x80, 0x80);
    auto greyed = [&](int row) {
        return page.Row(row)->NameLabel()->palette().color(QPalette::WindowText) == grey;
    };
    struct TStep {
        const char* What;
        uint32_t AdvanceMs;
        bool ReadLive, ReadTop;
        int32_t Interval; // PollInterval of both records
        bool LiveGrey, TopGrey;
    } steps[] = {
        {"both read", 0, true, true, 0, false, false},
        {"records paused, the live value still read", 2000, true, false, -(200000 + 32 * 1024), false, false},
        {"the live value stops coming", 2900, false, false, 0, false, false},
        {"3.1 s past its cycle", 200, false, false, 0, true, false},
        {"read again", 100, true, false, 0, false, false},
        {"the top value within 10 × 1024 ms + 3 s", 8000, true, false, 0, false, false},
        {"the top value past it", 2000, true, false, 0, false, true},
        {"the top value read", 100, true, true, 0, false, false},
    };
    for (const TStep& step : steps) {
        clock.Advance(step.AdvanceMs);
        for (auto [param, read] : {std::pair{&live, step.ReadLive}, std::pair{&top, step.ReadTop}}) {
            param->PollInterval = step.Interval;
            if (read)
                param->SetData(100, 0, 0, 0);
        }
        views.RefreshStale();
        // Row 0 is the top zone's view (1), row 1 the main zone's (0).
        EXPECT_EQ(views.IsStale(*views.View(1)), step.LiveGrey) << step.What;
        EXPECT_EQ(views.IsStale(*views.View(0)), step.TopGrey) << step.What;
        EXPECT_EQ(greyed(1), step.LiveGrey) << step.What;
        EXPECT_EQ(greyed(0), step.TopGrey) << step.What;
    }
}

TEST_F(ScreenPageTest, TheWorkerPollsTheScreenEvenAfterItsPageIsGone) {
    TManualClock clock{100000};
    TScopedClock scope{clock};
    TECUparam& top = *Params.FindByNumber(1);
    top.PollLevel = 10; // every 10 × 1024 ms
    top.LastTick = 100000;
    std::shared_ptr<TScreenParams> list;
    {
        TScreenPage page(ParseScreenItems("S TOP: 1 RIGHT: 0", 0, false), testing::Borrow(Params), {});
        list = page.List();
        list->Reserved = 7;
        list->Restart();
        EXPECT_EQ(list->Reserved, 0u);
        // The first cycle reads every view; then the top view waits until it is due.
        std::vector<int> polled;
        for (int i = 0; i < 4; ++i)
            polled.push_back(list->NextToPoll()->Number);
        EXPECT_EQ(polled, (std::vector<int>{1, 0, 0, 0}));
        clock.Advance(10 * 1024);
        EXPECT_EQ(list->NextToPoll()->Number, 1);
        list->ResetDisplay(); // shown again: a new first cycle
        EXPECT_TRUE(list->FirstCycle);
    }
    // The rows went with the page; a late value notice draws nothing and breaks nothing.
    Params.FindByNumber(0)->SetRaw(120, 0, 0, 0);
    list->UpdateParam(0);
    list->RefreshStale();
    EXPECT_EQ(list->Page, nullptr);
    EXPECT_NE(list->NextToPoll(), nullptr);
}

TEST_F(ScreenPageTest, PagesFromTheFileAndAMissingFile) {
    testing::TTempFolder folder;
    testing::THostRecorder host;
    TScreenPages pages;
    pages.BuildScreens(testing::Borrow(Params), {});
    ASSERT_EQ(host.Boxes().size(), 1u);
    EXPECT_EQ(host.Boxes()[0].rfind("Файл не найден: ", 0), 0u);
    EXPECT_FALSE(pages.Built());
    pages.BuildScreens(testing::Borrow(Params), {}); // the next visit to the tab: no second box
    EXPECT_EQ(host.Boxes().size(), 1u);

    folder.WriteFile("DATA/options.ini", "[SCREEN0]\nITEMS=A 0\n[SCREEN1]\nITEMS=B 1\n");
    pages.BuildScreens(testing::Borrow(Params), {});
    ASSERT_EQ(pages.Count(), 2);
    EXPECT_EQ(pages.Pages()->tabText(1), "B");
    std::shared_ptr<TScreenParams> shown;
    pages.OnScreenChange = [&](std::shared_ptr<TScreenParams> views) { shown = views; };
    pages.Pages()->setCurrentIndex(1);
    EXPECT_EQ(shown, pages.CurrentViews());
    EXPECT_EQ(shown->Count(), 1u);
    // A rebuild keeps the page the user chose.
    pages.BuildScreens(testing::Borrow(Params), {});
    EXPECT_EQ(pages.Pages()->currentIndex(), 1);
}

// Every value shows a unit: the four whose descriptions carry none (engine speed, injection time, battery,
// road speed) get theirs beside the value, in the window's language; one with its own IZM keeps it alone.
TEST(ScreenUnits, BareValuesGetTheirUnit) {
    testing::TTempFolder folder;
    folder.WriteFile("DATA/english.txt", "об/мин\r\nrpm\r\n");
    struct TRow {
        char Language;
        const char* Unit;
    } rows[] = {{'R', "об/мин"}, {'E', "rpm"}};
    for (const TRow& row : rows) {
        ResetDictionary();
        SetLanguage(row.Language);
        TListParams set;
        set.LoadBuiltinSet(UnitHfm, 'A');
        TScreenPage page(ParseScreenItems("S 1,3,41,15,0", 0, false), testing::Borrow(set), {});
        const char* units[] = {row.Unit, "мс", "В", "км/ч", nullptr};
        for (size_t i = 0; i < std::size(units); ++i) {
            QLabel* unit = page.Row(i)->UnitLabel();
            ASSERT_NE(unit, nullptr) << i;
            EXPECT_EQ(unit->text().toStdString(), units[i] ? units[i] : "") << i; // coolant has its own °
        }
        // The names line up: the unit column is as wide in every row.
        EXPECT_EQ(page.Row(0)->UnitLabel()->width(), page.Row(4)->UnitLabel()->width());
    }
    SetLanguage('R');
    ResetDictionary();
}

// The shipped screens against each built-in unit family: every family gets pages, no page is empty, every
// view shows a parameter of that family's set, a combined code line is made of the code bytes only, and
// every temperature the unit reports is on some screen.
TEST(ShippedScreens, FitEveryUnitFamily) {
    testing::TTempFolder folder;
    testing::THostRecorder host;
    std::ifstream shipped(std::filesystem::path(VELMORA_DATA_DIR) / "options.ini", std::ios::binary);
    folder.WriteFile("DATA/options.ini", std::string(std::istreambuf_iterator<char>(shipped), {}));
    struct TFamily {
        const char* Name;
        int UnitType;
        char Variant;
    } families[] = {{"HFM", UnitHfm, 'A'}, {"PMS", UnitPms, 'A'}, {"LH", UnitLh, 'h'}, {"EZ", UnitEz, 'A'}};
    for (const TFamily& family : families) {
        SCOPED_TRACE(family.Name);
        TListParams set;
        set.LoadBuiltinSet(family.UnitType, family.Variant);
        TScreenPages pages;
        pages.BuildScreens(testing::Borrow(set), {});
        ASSERT_GE(pages.Count(), 1);
        std::set<int> shown;
        for (int i = 0; i < pages.Count(); ++i) {
            const TScreenParams& views = pages.Screen(i)->Views();
            std::string page = pages.Pages()->tabText(i).toStdString();
            EXPECT_GT(views.Count(), 0u) << page;
            for (size_t v = 0; v < views.Count(); ++v) {
                const TVisualParam* view = views.View(v);
                ASSERT_NE(view, nullptr);
                if (auto* combined = dynamic_cast<const TVisualParamEx*>(view)) {
                    const char* part = view->ParamNo == 255 ? "CODE NUMBER" : "CODING UNIT NUMBER";
                    for (const TECUparam* p : combined->Parts) {
                        EXPECT_EQ(p->Name.rfind(part, 0), 0u) << page << ": " << p->Name;
                        shown.insert(p->Number);
                    }
                    continue;
                }
                EXPECT_EQ(set.FindByNumber(view->Param.Number), &view->Param)
                    << page << ": " << view->ParamNo;
                shown.insert(view->Param.Number);
            }
        }
        for (const auto& param : set) {
            if (param->Name.find("Температура") != std::string::npos) {
                EXPECT_TRUE(shown.contains(param->Number)) << param->Name;
            }
        }
        EXPECT_TRUE(host.Boxes().empty());
    }
}

} // namespace
} // namespace velmora
