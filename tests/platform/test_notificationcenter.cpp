#include "platform/notificationcenter.h"

#include <QObject>
#include <gtest/gtest.h>

#include <memory>
#include <vector>

TEST(NotificationCenter, PostCallsMatchingObserversInRegistrationOrder)
{
    NotificationCenter center;
    QObject first, second;
    std::vector<int> calls;
    center.observe(&second, "UpdateCustomView", [&] { calls.push_back(2); });
    center.observe(&first, "UpdateCustomView", [&] { calls.push_back(1); });
    center.observe(&first, "UpdateOpenGLView", [&] { calls.push_back(3); });

    center.post("UpdateCustomView");
    EXPECT_EQ(calls, (std::vector<int>{2, 1}));
    calls.clear();
    center.post("UpdateOpenGLView");
    center.post("NobodyListens");
    EXPECT_EQ(calls, (std::vector<int>{3}));
    EXPECT_EQ(&NotificationCenter::defaultCenter(), &NotificationCenter::defaultCenter());
}

TEST(NotificationCenter, ObserversAreRemovedByNameByOwnerAndWithTheirOwner)
{
    NotificationCenter center;
    QObject a;
    auto b = std::make_unique<QObject>();
    int aCustom = 0, aGL = 0, bCalls = 0;
    center.observe(&a, "UpdateCustomView", [&] { ++aCustom; });
    center.observe(&a, "UpdateOpenGLView", [&] { ++aGL; });
    center.observe(b.get(), "UpdateCustomView", [&] { ++bCalls; });

    center.removeObserver(&a, "UpdateCustomView");
    b.reset();
    center.post("UpdateCustomView");
    center.post("UpdateOpenGLView");
    EXPECT_EQ(aCustom, 0);
    EXPECT_EQ(bCalls, 0);
    EXPECT_EQ(aGL, 1);
    EXPECT_EQ(center.observerCount("UpdateCustomView"), 0);

    center.removeObserver(&a);
    center.post("UpdateOpenGLView");
    EXPECT_EQ(aGL, 1);
}

TEST(NotificationCenter, CallbacksMayChangeObserversDuringAPost)
{
    NotificationCenter center;
    auto self = std::make_unique<QObject>();
    auto later = std::make_unique<QObject>();
    QObject adder;
    int laterCalls = 0, addedCalls = 0, selfCalls = 0;
    auto state = std::make_shared<int>(0);

    center.observe(self.get(), "Update", [&, state] {
        ++selfCalls;
        self.reset();            // deletes its own owner (and so its own observer)...
        *state += 1;             // ...yet its captures are still alive here
        later.reset();           // and an owner whose observer comes later in this post
    });
    center.observe(later.get(), "Update", [&] { ++laterCalls; });
    center.observe(&adder, "Update", [&] {
        center.observe(&adder, "Update", [&] { ++addedCalls; });
    });

    center.post("Update");
    EXPECT_EQ(selfCalls, 1);
    EXPECT_EQ(*state, 1);
    EXPECT_EQ(laterCalls, 0);
    EXPECT_EQ(addedCalls, 0); // added during the post: called from the next one
    center.post("Update");
    EXPECT_EQ(selfCalls, 1);
    EXPECT_EQ(addedCalls, 1);
}
