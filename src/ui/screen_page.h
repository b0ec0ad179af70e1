// One parameter screen: a page of the tab "Параметры" with its zones (top, left, main) and a row per
// view. The page owns the screen's views (TScreenViews), which the worker polls once it is shown.
// Window thread only.
#pragma once

#include <QWidget>

#include "ui/param_row.h"
#include "ui/screen_definition.h"
#include "ui/screen_views.h"

class QFrame;
class QVBoxLayout;

namespace velmora {

class TListParams;

class TScreenParams : public QWidget {
    Q_OBJECT
public:
    TScreenParams(const TScreenDefinition& definition, const TListParams& params, const TRowFonts& fonts,
                  QWidget* parent = nullptr);

    TScreenViews& Views() { return ViewList; }
    const TScreenDefinition& Definition() const { return Screen; }
    TParamRow* Row(size_t index) const { return Rows[index]; }
    QFrame* TopZone() const { return Top; }
    QFrame* LeftZone() const { return Left; }
    QFrame* MainZone() const { return Main; }

private:
    QFrame* MakeZone(const char* name);
    void AddView(std::unique_ptr<TVisualParam> view, TZone zone, const TRowFonts& fonts);

    TScreenDefinition Screen;
    TScreenViews ViewList;
    std::vector<TParamRow*> Rows;
    QFrame* Top = nullptr;
    QFrame* Left = nullptr;
    QFrame* Main = nullptr;
};

} // namespace velmora
