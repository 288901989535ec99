#pragma once

#include <QTest>

#include <gtest/gtest.h>

// Runs the event loop for up to five seconds until `condition` holds, and fails the test case
// when it never does. (Qt's own QTRY_ macros report to Qt's test runner, which a Google Test
// case does not see: there they pass whatever happens.)
#define EXPECT_EVENTUALLY(condition) \
    EXPECT_TRUE(QTest::qWaitFor([&] { return bool(condition); }, 5000)) << "never came true: " #condition
