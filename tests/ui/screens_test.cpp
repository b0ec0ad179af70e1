#include <QLabel>
#include <QTabWidget>

#include "host_recorder.h"
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
    EXPECT_EQ(indicators[0]->palette().color(QPalette::WindowText), QColor(Qt::black));
    EXPECT_EQ(indicators[2]->palette().color(QPalette::WindowText), QColor(Qt::white));
    // The third part of a combined view redraws the whole line.
    Params.FindByNumber(20)->SetRaw(1, 0, 0, 0);
    Params.FindByNumber(21)->SetRaw(2, 0, 0, 0);
    Params.FindByNumber(22)->SetRaw(3, 0, 0, 0);
    views.UpdateParam(22);
    EXPECT_EQ(page.Row(3)->ValueLabel()->text(), "001 002 003");
    EXPECT_TRUE(views.IsPollEveryCycle(1));
    EXPECT_FALSE(views.IsPollEveryCycle(21)); // a part of a main-zone combined view

    views.ResetDisplay();
    EXPECT_EQ(page.Row(0)->ValueLabel()->text(), "");
}

TEST_F(ScreenPageTest, WithoutSmartStatusEveryNamedFieldShows) {
    TScreenPage page(ParseScreenItems("S 2", 0, false), testing::Borrow(Params), {12, 12, 12, false});
    EXPECT_EQ(page.Row(0)->Indicators().size(), 4);
}

TEST_F(ScreenPageTest, SlowValuesTurnGrey) {
    TScreenPage page(ParseScreenItems("S 0,1", 0, false), testing::Borrow(Params), {12, 12, 12, true});
    TECUparam& slow = *Params.FindByNumber(1);
    slow.PollLevel = 1;
    slow.PollInterval = 4096; // read every 4 s, its level allows 1 s
    page.Views().RefreshStale();
    EXPECT_TRUE(page.Views().IsStale(*page.Views().View(1)));
    EXPECT_FALSE(page.Views().IsStale(*page.Views().View(0)));
    EXPECT_EQ(page.Row(1)->NameLabel()->palette().color(QPalette::WindowText), QColor(0x80, 0x80, 0x80));
    slow.PollInterval = 0;
    page.Views().RefreshStale();
    EXPECT_NE(page.Row(1)->NameLabel()->palette().color(QPalette::WindowText), QColor(0x80, 0x80, 0x80));
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

} // namespace
} // namespace velmora
