// The main window's "HFM" menu: the actuator tests, adaptation reset and coding. Each only sets the
// worker's request fields; the worker runs the function at the next connection start.
#include <QAction>
#include <QMenu>
#include <QTabWidget>
#include <array>
#include <cstdio>

#include "actuators/actuator_state.h"
#include "actuators/coding.h"
#include "lang/dictionary.h"
#include "lang/translated_format.h"
#include "params/param_list.h"
#include "params/unit_codes.h"
#include "platform/host.h"
#include "ui/dialogs/input_box.h"
#include "ui/panels/activation_panel.h"
#include "ui/screens/screen_page.h"
#include "ui/screens/screen_pages.h"
#include "ui/window/main_form.h"

namespace velmora {

namespace {

constexpr const char* CodingNames[] = {"CODING UNIT NUMBER, HIGH", "CODING UNIT NUMBER, MID",
                                       "CODING UNIT NUMBER, LOW"};
constexpr const char* IgnitionCycleText =
    "Выключите зажигание, подождите >10 секунд, включите зажигание и нажмите [Connect]";
constexpr const char* CodingReadError = "Ошибка чтения кодировки. Обратитесь к разработчику!";

// The menu's title and the coding entry name the family of the unit the functions act on.
struct TFamilyName {
    int UnitType;
    const char* Name;
};
constexpr TFamilyName FamilyNames[] = {{UnitHfm, "HFM"}, {UnitPms, "PMS"}, {UnitLh, "LH"}, {UnitEz, "EZ"}};

bool ShowsAll(const TScreenParams& screen, const std::array<TECUparam*, 3>& parts) {
    for (const TECUparam* part : parts)
        if (!screen.Shows(part->Number))
            return false;
    return true;
}

} // namespace

void TMainForm::ShowUnitFunctions() {
    const TEcuIdent ident = Connection.Ident();
    for (const TFamilyName& family : FamilyNames) {
        if (family.UnitType == ident.UnitType) {
            mnuHFM->setTitle(family.Name);
            mnuCoding->setText(QString("Coding ") + family.Name);
        }
    }
    // A unit of another family or an older generation has no actuator tests, adaptation or coding: the
    // worker would refuse them at the next connection. Before identification they stay offered.
    const bool offered =
        (ident.UnitType == UnitUnknown || ident.HasServiceFunctions()) && !Switch->Replaying();
    for (QAction* action : {mnuAdaptReset, mnuCoding, mnuActivation})
        action->setEnabled(offered);
    if (!offered && mnuActivation->isChecked()) {
        mnuActivation->setChecked(false);
        pnlActivation->Clear();
    }
}

void TMainForm::ActivationClick() {
    if (!mnuActivation->isChecked()) {
        // The user no longer wants the tests: the outputs go back to the standard state and the panel
        // goes at once, not at the next connection.
        pnlActivation->ResetOutputs();
        pnlActivation->Clear();
        return;
    }
    if (!CommandsAllowed()) {
        mnuActivation->setChecked(false);
        return;
    }
    // The steps go where the user looks, a box, and they fit the state of the link: the tests start
    // with a connection, and a running one has to end first (Connect is greyed meanwhile).
    const bool running = Connection.IsAlive() || Connection.InConnection();
    const std::string text =
        Translate(running ? "Тесты исполнительных элементов начнутся при следующем подключении. Нажмите "
                            "[Stop], выключите зажигание и подождите не менее 5 секунд, включите зажигание и "
                            "нажмите [Connect]."
                          : "Нет связи с блоком: тесты исполнительных элементов начнутся при подключении. "
                            "Выключите зажигание и подождите не менее 5 секунд, включите зажигание и "
                            "нажмите [Connect].");
    AddMemo(text);
    Host().MessageBox(text, TMsgKind::Information, TMsgButtons::Ok);
}

void TMainForm::AdaptResetClick() {
    if (!CommandsAllowed())
        return;
    if (Host().MessageBox(Translate("Сбросить адаптацию блока? Выученные поправки будут стерты."),
                          TMsgKind::Confirmation, TMsgButtons::YesNo) != TMsgResult::Yes)
        return;
    Connection.Actuators().AdaptMode = AdaptResetPhase1;
    Host().MessageBox(Translate(IgnitionCycleText), TMsgKind::Information, TMsgButtons::Ok);
}

void TMainForm::CodingClick() {
    if (!CommandsAllowed())
        return;
    auto error = [](const std::string& text) { Host().MessageBox(text, TMsgKind::Error, TMsgButtons::Ok); };
    std::shared_ptr<const TListParams> params = Connection.Params();
    std::array<TECUparam*, 3> parts{};
    for (size_t i = 0; params && i < params->Count(); ++i)
        for (size_t part = 0; part < parts.size(); ++part)
            if ((*params)[i].Name == CodingNames[part])
                parts[part] = &(*params)[i];
    if (!parts[0] || !parts[1] || !parts[2])
        return error(Translate(CodingReadError));

    // The coding is read from the values the shown screen keeps fresh.
    std::shared_ptr<TScreenParams> shown = Screens->CurrentViews();
    if (pg->currentIndex() != PageScreens || !shown || !ShowsAll(*shown, parts)) {
        for (int page = 0; page < Screens->Count(); ++page) {
            if (ShowsAll(Screens->Screen(page)->Views(), parts)) {
                return error(TranslateFormat("Перейдите на страничку %s и повторите вызов функции!",
                                             Screens->Pages()->tabText(page).toStdString().c_str()));
            }
        }
        return error(Translate(CodingReadError));
    }
    for (const TECUparam* part : parts)
        if (part->LastTick == 0)
            return error(Translate(CodingReadError));

    char current[16];
    std::snprintf(current, sizeof current, "%.3d %.3d %.3d", parts[0]->RawWord & 0xFF,
                  parts[1]->RawWord & 0xFF, parts[2]->RawWord & 0xFF);
    std::optional<std::string> answer =
        InputQuery(this, "Coding HFM", Translate("Введите новую кодировку:"), current);
    if (!answer)
        return;
    std::optional<uint32_t> coding = ParseCodingText(*answer);
    if (!coding)
        return error(Translate("Кодировка: три числа от 0 до 255 через пробел, например") + " " + current);
    if (Host().MessageBox(
            TranslateFormat("Записать в блок кодировку %s вместо %s?", answer->c_str(), current),
            TMsgKind::Confirmation, TMsgButtons::YesNo) != TMsgResult::Yes)
        return;
    TActuatorState& state = Connection.Actuators();
    state.CodingLoc = CodingLocOf(*parts[0], *parts[1], *parts[2]);
    state.CodingPending = *coding;
    Host().MessageBox(Translate(IgnitionCycleText), TMsgKind::Information, TMsgButtons::Ok);
}

} // namespace velmora
