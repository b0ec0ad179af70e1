// Helpers of the GUI tests: widgets by object name, small parameter sets, waiting for queued events.
#pragma once

#include <QCoreApplication>
#include <QTableWidget>
#include <QWidget>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <string>

#include "params/param_list.h"

namespace velmora::testing {

// The child of `root` named `name`; fails the test when there is none.
template <typename T> T* Child(const QObject* root, const char* name) {
    T* child = root->findChild<T*>(QString::fromLatin1(name));
    EXPECT_NE(child, nullptr) << "no child " << name;
    return child;
}

// A one-byte parameter (CMD 85 n) named "P<n>" with an optional conversion.
inline std::unique_ptr<TECUparam> MakeParam(int number, const char* calc = nullptr, char type = 'B') {
    auto param = std::make_unique<TECUparam>(uint16_t(number));
    param->Name = "P" + std::to_string(number);
    param->SetType(type);
    param->SetCmdWord(uint16_t(0x5500 + number));
    if (calc)
        param->SetCalc(calc);
    return param;
}

// The set as the shared pointer screens and graphs keep, without owning it (the test does).
inline std::shared_ptr<const TListParams> Borrow(const TListParams& params) {
    return {std::shared_ptr<void>{}, &params};
}

// Parameters 0..count-1, one byte each.
inline void FillParams(TListParams& params, std::initializer_list<int> numbers) {
    for (int n : numbers)
        params.Add(MakeParam(n));
}

// Processes events until `done` holds or 5 s pass (delivery of queued events, not a time-out under test).
inline bool ProcessUntil(const std::function<bool()>& done) {
    for (int i = 0; i < 5000 && !done(); ++i)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
    return done();
}

// The fault table's rows as the plain list writes them: "code,  state,  text" for a fault, the text alone
// for a line that spans the table.
inline QStringList FaultTableLines(const QTableWidget* table) {
    QStringList lines;
    for (int r = 0; r < table->rowCount(); ++r) {
        if (table->columnSpan(r, 0) > 1) {
            lines << table->item(r, 0)->text();
            continue;
        }
        QString line = table->item(r, 0)->text() + ",  " + table->item(r, 1)->text();
        if (const QString text = table->item(r, 2)->text(); !text.isEmpty())
            line += ",  " + text;
        lines << line;
    }
    return lines;
}

} // namespace velmora::testing
