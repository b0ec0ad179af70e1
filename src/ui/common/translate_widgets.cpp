#include "ui/common/translate_widgets.h"

#include <QAbstractButton>
#include <QAbstractScrollArea>
#include <QAbstractSlider>
#include <QAbstractSpinBox>
#include <QAction>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QTabWidget>

#include "lang/dictionary.h"

namespace velmora {

namespace {

constexpr int MenuLevels = 3;
constexpr const char* DataFieldProperty = "velmoraDataField";

QString Tr(const QString& text) {
    if (text.isEmpty())
        return text;
    return QString::fromStdString(Translate(text.toStdString()));
}

void TranslateHint(QWidget* widget) {
    widget->setToolTip(Tr(widget->toolTip()));
}

void TranslateChildren(QWidget* parent);

// Edits, memos, lists, up-downs and sliders are left alone: what they show is data, not captions.
bool IsDataControl(QWidget* widget) {
    return qobject_cast<QAbstractScrollArea*>(widget) || qobject_cast<QLineEdit*>(widget) ||
           qobject_cast<QAbstractSpinBox*>(widget) || qobject_cast<QComboBox*>(widget) ||
           qobject_cast<QAbstractSlider*>(widget);
}

void TranslateOne(QWidget* child) {
    if (IsDataField(child))
        return;
    if (auto* button = qobject_cast<QAbstractButton*>(child)) {
        button->setText(Tr(button->text()));
        TranslateHint(button);
    } else if (auto* label = qobject_cast<QLabel*>(child)) {
        label->setText(Tr(label->text()));
        TranslateHint(label);
    } else if (auto* group = qobject_cast<QGroupBox*>(child)) {
        group->setTitle(Tr(group->title()));
        TranslateHint(group);
        TranslateChildren(group);
    } else if (auto* tabs = qobject_cast<QTabWidget*>(child)) {
        for (int i = 0; i < tabs->count(); ++i) {
            tabs->setTabText(i, Tr(tabs->tabText(i)));
            tabs->setTabToolTip(i, Tr(tabs->tabToolTip(i)));
            TranslateHint(tabs->widget(i));
            TranslateChildren(tabs->widget(i));
        }
    } else if (!IsDataControl(child)) {
        // A panel, a form or a tab of our own: its hint, then what it holds.
        TranslateHint(child);
        TranslateChildren(child);
    }
}

void TranslateChildren(QWidget* parent) {
    for (QWidget* child : parent->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        TranslateOne(child);
}

void TranslateActions(const QList<QAction*>& actions, int level) {
    for (QAction* action : actions) {
        action->setText(Tr(action->text()));
        if (QMenu* sub = action->menu(); sub && level < MenuLevels)
            TranslateActions(sub->actions(), level + 1);
    }
}

} // namespace

void MarkAsDataField(QWidget* widget) {
    widget->setProperty(DataFieldProperty, true);
}

bool IsDataField(const QWidget* widget) {
    return widget->property(DataFieldProperty).toBool();
}

void TranslateControl(QWidget* control) {
    if (control->isWindow())
        control->setWindowTitle(Tr(control->windowTitle()));
    TranslateOne(control);
}

void TranslateMenu(QMenuBar* menu) {
    TranslateActions(menu->actions(), 1);
}

} // namespace velmora
