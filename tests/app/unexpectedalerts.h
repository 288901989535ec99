// A test that raises an alert it does not answer would wait for a click forever. Before every test
// of this program an answering stand-in is installed that fails the test and names the alert;
// tests that expect alerts install their own responder over it. Every test program of the
// application includes this header once or more; the listener is installed once.
#pragma once

#include "widgets/dovalert.h"

#include <gtest/gtest.h>

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
