// What the application's tests share.
#pragma once

#include "widgets/dovalert.h"

#include <QString>
#include <QWidget>

#include <gtest/gtest.h>

// A test that raises an alert it does not answer would wait for a click forever. Before every test
// of the program an answering stand-in is installed that fails the test and names the alert;
// tests that expect alerts install their own responder over it. Every test program of the
// application includes this header once or more; the listener is installed once.
class UnexpectedAlerts : public ::testing::EmptyTestEventListener
{
    void OnTestStart(const ::testing::TestInfo &) override
    {
        DovAlert::setResponder([](const DovAlert &alert) {
            ADD_FAILURE() << "unexpected alert: " << alert.message().toStdString() << " / "
                          << alert.text().toStdString();
            return alert.isButtonVisible(2) ? 2 : 1;
        });
    }
};

inline const bool unexpectedAlertsInstalled = [] {
    ::testing::UnitTest::GetInstance()->listeners().Append(new UnexpectedAlerts);
    return true;
}();

// The title as the desktop shows it: "[*]" becomes "*" while the window is marked modified.
inline QString shownTitle(const QWidget &window)
{
    QString title = window.windowTitle();
    return title.replace(QStringLiteral("[*]"), window.isWindowModified() ? QStringLiteral("*") : QString());
}
