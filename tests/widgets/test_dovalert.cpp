#include "widgets/dovalert.h"

#include <QApplication>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>

namespace {

struct Shown
{
    QString message, text;
    bool visible[3] = {false, false, false};
    QString titles[3];
};

// Records what the panel would show and answers with a fixed button.
class AlertRecorder
{
public:
    explicit AlertRecorder(int answer)
    {
        DovAlert::setResponder([this, answer](const DovAlert &alert) {
            last.message = alert.message();
            last.text = alert.text();
            for (int i = 0; i < 3; ++i) {
                last.visible[i] = alert.isButtonVisible(i + 1);
                last.titles[i] = alert.buttonTitle(i + 1);
            }
            ++calls;
            return answer;
        });
    }
    ~AlertRecorder() { DovAlert::setResponder(nullptr); }

    Shown last;
    int calls = 0;
};

// Runs `ask` (which opens the real panel) and, once the panel is up, `act` on it. A watchdog
// ends the panel with -1 if `act` fails to, so that a broken test cannot hang the run.
int runReal(const std::function<int()> &ask, const std::function<void(DovAlert *)> &act)
{
    QTimer::singleShot(0, [act] {
        auto *alert = qobject_cast<DovAlert *>(QApplication::activeModalWidget());
        if (!alert) {
            ADD_FAILURE() << "no alert panel is running";
            return;
        }
        act(alert);
    });
    QTimer watchdog;
    watchdog.setSingleShot(true);
    QObject::connect(&watchdog, &QTimer::timeout, [] {
        if (auto *alert = qobject_cast<DovAlert *>(QApplication::activeModalWidget()))
            alert->done(-1);
    });
    watchdog.start(5000);
    return ask();
}

using Preset = int (*)(QWidget *, const QString &, const QString &);

} // namespace

TEST(DovAlert, PresetsShowTheirButtonsWithTheirTitles)
{
    struct Case
    {
        Preset preset;
        bool visible[3];
        const char *titles[3]; // titles of the visible buttons
    };
    const Case cases[] = {
        {&DovAlert::Alert_OK, {true, false, false}, {"OK", "", ""}},
        {&DovAlert::Alert_OKCancel, {true, true, false}, {"OK", "Cancel", ""}},
        {&DovAlert::Alert_YESNO, {true, true, false}, {"Yes", "No", ""}},
        {&DovAlert::Alert_YESNOCancel, {true, true, true}, {"Yes", "No", "Cancel"}},
        {&DovAlert::Alert_SAVECANCEL, {true, true, false}, {"Save...", "Cancel", ""}},
        {&DovAlert::Alert_DONTSAVECANCEL, {true, true, true}, {"Save...", "Cancel", "Don't Save"}},
    };
    AlertRecorder recorder(2);
    int index = 0;
    for (const Case &c : cases) {
        SCOPED_TRACE(index++);
        EXPECT_EQ(c.preset(nullptr, "msg", "text"), 2);
        for (int b = 0; b < 3; ++b) {
            EXPECT_EQ(recorder.last.visible[b], c.visible[b]) << "button " << b + 1;
            if (c.visible[b]) {
                EXPECT_EQ(recorder.last.titles[b], QString(c.titles[b])) << "button " << b + 1;
            }
        }
    }
    EXPECT_EQ(recorder.calls, 6);
}

TEST(DovAlert, ButtonTitlesDoNotLeakFromOneSetToTheNext)
{
    AlertRecorder recorder(1);
    DovAlert::AlertSheetModal(nullptr, "m", "t", 104);
    DovAlert::AlertSheetModal(nullptr, "m", "t", 2 | 4 | 16);
    EXPECT_EQ(recorder.last.titles[0], "Yes");
    EXPECT_EQ(recorder.last.titles[1], "No");
    EXPECT_EQ(recorder.last.titles[2], "Cancel");
}

TEST(DovAlert, ResponderSeesMessageAndNullTextsShowEmpty)
{
    AlertRecorder recorder(3);
    EXPECT_EQ(DovAlert::AlertSheetModalRes(nullptr, "Do you want to save changes?",
                                           "Your changes will be lost.", 104),
              3);
    EXPECT_EQ(recorder.last.message, "Do you want to save changes?");
    EXPECT_EQ(recorder.last.text, "Your changes will be lost.");

    DovAlert::Alert_OK(nullptr, QString(), QString());
    EXPECT_TRUE(recorder.last.message.isEmpty());
    EXPECT_TRUE(recorder.last.text.isEmpty());
    EXPECT_NE(recorder.last.message, "Message"); // never the placeholder
}

TEST(DovAlert, ASetWithoutButtonsFallsBackToOK)
{
    AlertRecorder recorder(1);
    DovAlert::AlertSheetModal(nullptr, "m", "t", 128);
    EXPECT_TRUE(recorder.last.visible[0]);
    EXPECT_FALSE(recorder.last.visible[1]);
    EXPECT_FALSE(recorder.last.visible[2]);
    EXPECT_EQ(recorder.last.titles[0], "OK");
}

TEST(DovAlert, SharedPanelIsReused)
{
    AlertRecorder recorder(1);
    DovAlert *first = DovAlert::sharedAlert();
    DovAlert::Alert_OK(nullptr, "a", "b");
    EXPECT_EQ(DovAlert::sharedAlert(), first);
    EXPECT_EQ(first->size(), QSize(490, 132));
}

TEST(DovAlert, LayoutFollowsTheBottomLeftFrames)
{
    DovAlert alert;
    EXPECT_EQ(alert.button(1)->geometry(), QRect(375, 88, 96, 32));
    EXPECT_EQ(alert.button(2)->geometry(), QRect(279, 88, 96, 32));
    EXPECT_EQ(alert.button(3)->geometry(), QRect(95, 88, 114, 32));
}

TEST(DovAlert, MaskDontSaveShowsThreeButtonsAndDontSaveAnswersThree)
{
    const int result = runReal(
        [] { return DovAlert::Alert_DONTSAVECANCEL(nullptr, "Do you want to save changes?", "x"); },
        [](DovAlert *alert) {
            EXPECT_EQ(alert->button(1)->text(), "Save...");
            EXPECT_EQ(alert->button(2)->text(), "Cancel");
            EXPECT_EQ(alert->button(3)->text(), "Don't Save");
            for (int i = 1; i <= 3; ++i)
                EXPECT_TRUE(alert->button(i)->isVisible()) << i;
            // left to right on screen: Don't Save, Cancel, Save...
            EXPECT_LT(alert->button(3)->x(), alert->button(2)->x());
            EXPECT_LT(alert->button(2)->x(), alert->button(1)->x());
            EXPECT_TRUE(alert->button(1)->isChecked());
            QTest::mouseClick(alert->button(3), Qt::LeftButton);
        });
    EXPECT_EQ(result, 3);
}

TEST(DovAlert, ClickingEachButtonAnswersItsNumber)
{
    for (int i = 1; i <= 3; ++i) {
        SCOPED_TRACE(i);
        const int result = runReal(
            [] { return DovAlert::Alert_YESNOCancel(nullptr, "m", "t"); },
            [i](DovAlert *alert) { QTest::mouseClick(alert->button(i), Qt::LeftButton); });
        EXPECT_EQ(result, i);
    }
}

TEST(DovAlert, ReturnAndEnterPressTheFirstButton)
{
    for (Qt::Key key : {Qt::Key_Return, Qt::Key_Enter}) {
        SCOPED_TRACE(int(key));
        const int result = runReal(
            [] { return DovAlert::Alert_DONTSAVECANCEL(nullptr, "m", "t"); },
            [key](DovAlert *alert) {
                // Even with the focus on another button, the key means the first one.
                alert->button(3)->setFocus();
                QWidget *target = alert->focusWidget() ? alert->focusWidget() : alert;
                QTest::keyClick(target, key);
            });
        EXPECT_EQ(result, 1);
    }
}

TEST(DovAlert, EscapeDoesNotAnswer)
{
    const int result = runReal([] { return DovAlert::Alert_OKCancel(nullptr, "m", "t"); },
                               [](DovAlert *alert) {
                                   QTest::keyClick(alert, Qt::Key_Escape);
                                   EXPECT_TRUE(alert->isVisible());
                                   QTest::mouseClick(alert->button(2), Qt::LeftButton);
                               });
    EXPECT_EQ(result, 2);
}

TEST(DovAlert, RunsWindowModalOnTheGivenWindow)
{
    QWidget window;
    window.resize(600, 400);
    window.show();
    QWidget *child = new QWidget(&window);
    Qt::WindowModality modality = Qt::NonModal;
    QWidget *parent = nullptr;
    const int result = runReal([child] { return DovAlert::Alert_OK(child, "m", "t"); },
                               [&](DovAlert *alert) {
                                   modality = alert->windowModality();
                                   parent = alert->parentWidget();
                                   alert->pressFirstButton();
                               });
    EXPECT_EQ(result, 1);
    EXPECT_EQ(modality, Qt::WindowModal);
    EXPECT_EQ(parent, &window);
}

TEST(DovAlert, PanelIsRebuiltWhenItsWindowIsGone)
{
    {
        QWidget window;
        window.show();
        runReal([&window] { return DovAlert::Alert_OK(&window, "m", "t"); },
                [](DovAlert *alert) { alert->pressFirstButton(); });
    } // the window takes the panel with it
    AlertRecorder recorder(2);
    EXPECT_EQ(DovAlert::Alert_OKCancel(nullptr, "again", "t"), 2);
    EXPECT_EQ(recorder.last.message, "again");
}

TEST(DovAlert, AlertRaisedWhileAnotherIsUpGetsItsOwnPanel)
{
    int inner = 0;
    const int outer = runReal([] { return DovAlert::Alert_OKCancel(nullptr, "outer", "t"); },
                              [&inner](DovAlert *outerPanel) {
                                  inner = runReal(
                                      [] { return DovAlert::Alert_YESNO(nullptr, "inner", "t"); },
                                      [outerPanel](DovAlert *innerPanel) {
                                          EXPECT_NE(innerPanel, outerPanel);
                                          EXPECT_EQ(innerPanel->message(), "inner");
                                          innerPanel->pressSecondButton();
                                      });
                                  EXPECT_EQ(outerPanel->message(), "outer");
                                  outerPanel->pressFirstButton();
                              });
    EXPECT_EQ(inner, 2);
    EXPECT_EQ(outer, 1);
}
