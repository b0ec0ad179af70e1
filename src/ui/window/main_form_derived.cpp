// The main window's derived tabs: "Равномерность" (the smoothness test) and "Маршрутник" (the trip
// computer), shown after ECU ready where the unit and the adapter allow them, and started when they
// become the active tab. Window thread only.
#include <QTabWidget>

#include "engine_link/ident_report.h"
#include "params/param_list.h"
#include "smoothness/smooth_cylinders.h"
#include "ui/smoothness/smooth_tab.h"
#include "ui/window/main_form.h"

namespace velmora {

void TMainForm::ShowDerivedPages() {
    const std::shared_ptr<const TListParams> params = Connection.Params();
    // The periods are read pair by pair at their moment: not through an ELM327, nor from a recording.
    SetPageVisible(PageSmooth, params && params->FindByNumber(SmoothTabParam) && Options.Adapter != 'E' &&
                                   !Switch->Replaying());
    SetPageVisible(PageComputer, params && Connection.TripReady());
}

void TMainForm::StartDerivedPage(int page) {
    if (page == PageSmooth) {
        const std::shared_ptr<const TListParams> params = Connection.Params();
        const TEcuIdent ident = Connection.Ident();
        SmoothTab->SetUp(params ? SmoothCylinders(*params) : 4, CarSummary(ClientName, ident),
                         UnitSummary(ident));
        Connection.RequestSmoothness();
    } else if (page == PageComputer) {
        Connection.RequestMeasure();
    }
}

} // namespace velmora
