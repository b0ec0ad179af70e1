// The main window's parameter screens and graph: built when their tab is first shown in a connection,
// freed when the next connection starts.
#include <QLayout>
#include <QTabWidget>

#include <filesystem>

#include "lang/dictionary.h"
#include "platform/utf8_path.h"
#include "ui/graphs/graph_tab.h"
#include "ui/screens/screen_pages.h"
#include "ui/screens/screen_params.h"
#include "ui/window/main_form.h"

namespace velmora {

std::shared_ptr<TListPrm> TMainForm::ShowScreens() {
    std::shared_ptr<const TListParams> params = Connection.Params();
    if (!params)
        return nullptr;
    if (!Screens->Built())
        Screens->BuildScreens(params, {Options.PrmFontSize, Options.ValueFontSize, Options.StatusFontSize,
                                       Options.StatusSmartShow});
    std::shared_ptr<TScreenParams> views = Screens->CurrentViews();
    if (views)
        views->ResetDisplay();
    return views;
}

std::shared_ptr<TListPrm> TMainForm::ShowGraph() {
    std::shared_ptr<const TListParams> params = Connection.Params();
    if (!params)
        return nullptr;
    if (!Graph) {
        Graph = new TGraphTab(params, tsGraph);
        tsGraph->layout()->addWidget(Graph);
        // Pictures go where the connection's logs go: LOGS, or the client's folder inside it.
        Graph->Graph().PictureFolder = [this] { return Utf8Path(BuildPath("", "LOGS", ClientName, true)); };
        // The reloaded list starts a new polling cycle in the worker.
        SetGraphClock();
        Graph->OnReload = [this] {
            if (Connection.IsAlive() && pg->currentIndex() == PageGraph)
                Connection.RequestViewList(Graph->List(), true);
        };
    }
    Graph->Redraw();
    return Graph->List();
}

void TMainForm::RedrawGraph() {
    if (Graph)
        Graph->RequestRedraw();
}

void TMainForm::FreeScreens() {
    CurrentList = nullptr;
    Screens->Clear();
    delete Graph;
    Graph = nullptr;
}

} // namespace velmora
