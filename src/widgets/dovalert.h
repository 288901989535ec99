#pragma once

#include <QDialog>
#include <QString>

#include <functional>

class QLabel;
class QPushButton;

// The application's own dark alert panel. It asks one question at a time, blocks until one of
// its three buttons is pressed and answers 1, 2 or 3 for the first, second or third button.
// One instance is shared by the whole process: it is built on first use and reconfigured for
// every alert.
class DovAlert : public QDialog
{
    Q_OBJECT

public:
    // Button set bits: which buttons show and with which title.
    enum ButtonBits {
        FirstOK = 1,         // first button "OK"
        FirstYes = 2,        // first button, default title "Yes"
        SecondNo = 4,        // second button, default title "No"
        SecondCancel = 8,    // second button "Cancel"
        ThirdCancel = 16,    // third button, default title "Cancel"
        FirstSave = 32,      // first button "Save..."
        ThirdDontSave = 64,  // third button "Don't Save"
    };
    static constexpr int FirstMask = FirstOK | FirstYes | FirstSave;           // 35
    static constexpr int SecondMask = SecondNo | SecondCancel;                 // 12
    static constexpr int ThirdMask = ThirdCancel | ThirdDontSave;              // 80

    // Lets tests (or scripted runs) answer alerts without a person: when a responder is set,
    // doSheetModal configures the panel as usual but returns the responder's answer instead of
    // showing the panel.
    using Responder = std::function<int(const DovAlert &)>;
    static void setResponder(Responder responder);

    // The presets; each returns 1, 2 or 3 for the button pressed.
    static int Alert_OK(QWidget *window, const QString &msg, const QString &text);
    static int Alert_OKCancel(QWidget *window, const QString &msg, const QString &text);
    static int Alert_YESNO(QWidget *window, const QString &msg, const QString &text);
    static int Alert_YESNOCancel(QWidget *window, const QString &msg, const QString &text);
    static int Alert_SAVECANCEL(QWidget *window, const QString &msg, const QString &text);
    static int Alert_DONTSAVECANCEL(QWidget *window, const QString &msg, const QString &text);

    // Both run the shared panel with any button set; there is a single code-built panel, so the
    // two entry points behave the same.
    static int AlertSheetModalRes(QWidget *window, const QString &msg, const QString &text,
                                  int buttons);
    static int AlertSheetModal(QWidget *window, const QString &msg, const QString &text,
                               int buttons);

    // The shared panel, built on first use.
    static DovAlert *sharedAlert();

    explicit DovAlert(QWidget *parent = nullptr);

    void setMessage(const QString &msg, const QString &text);
    void setButtons(int mask);
    // Runs the panel window-modal on the window (application-modal without one) and returns the
    // number of the button that ended it.
    int doSheetModal(QWidget *window);

    QString message() const;
    QString text() const;
    // index 1, 2 or 3
    bool isButtonVisible(int index) const;
    QString buttonTitle(int index) const;
    QPushButton *button(int index) const;

public slots:
    void pressFirstButton();
    void pressSecondButton();
    void pressThreeButton();
    void endSheetModal(int code);

    // The panel ends only through its buttons: Escape and the window's close box do nothing, so a
    // question such as "save changes?" is never answered by accident.
    void reject() override;

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    QPushButton *makeButton(const QString &title, const QRect &frame);
    static int runShared(QWidget *window, const QString &msg, const QString &text, int buttons);

    QPushButton *m_first = nullptr;
    QPushButton *m_second = nullptr;
    QPushButton *m_three = nullptr;
    QLabel *m_message = nullptr;
    QLabel *m_text = nullptr;
    QLabel *m_icon = nullptr;
};
