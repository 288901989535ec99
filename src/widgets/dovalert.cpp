#include "widgets/dovalert.h"

#include "platform/geometry.h"

#include <QKeyEvent>
#include <QLabel>
#include <QPixmap>
#include <QPointer>
#include <QPushButton>

namespace {

// The panel is laid out on a fixed 490 x 132 content area. Frames are kept as the panel's
// bottom-left based rectangles and turned into Qt's top-left ones here, so they can be compared
// with the layout they were measured from.
constexpr int kContentWidth = 490;
constexpr int kContentHeight = 132;

QRect fromBottomLeft(int x, int y, int w, int h)
{
    return Geometry::widgetGeometry(QRectF(x, y, w, h), kContentHeight);
}

const QColor kBackground = QColor::fromRgbF(1.0f / 3.0f, 1.0f / 3.0f, 1.0f / 3.0f); // dark grey
const QColor kFieldBackground = QColor::fromRgbF(0.4f, 0.4f, 0.4f);

// Button titles: 13 px, light grey, centred. The first button carries the "on" state, which
// marks it as the answer Return gives.
const char *kButtonStyle =
    "QPushButton { color: rgb(170, 170, 170); font-size: 13px; text-align: center;"
    " border: 1px solid rgb(38, 38, 38); border-radius: 7px; margin: 3px 1px;"
    " background: qlineargradient(x1:0, y1:0, x2:0, y2:1,"
    " stop:0 rgb(98, 98, 98), stop:1 rgb(64, 64, 64)); }"
    "QPushButton:checked { border: 1px solid rgb(150, 132, 224); }"
    "QPushButton:pressed { background: rgb(48, 48, 48); }";

// The second button is drawn from its image instead of a bezel.
const char *kImageButtonStyle =
    "QPushButton { color: rgb(170, 170, 170); font-size: 13px; text-align: center;"
    " border-image: url(:/images/off_96.png) 0 0 0 0 stretch stretch; border: none; }"
    "QPushButton:pressed { color: rgb(220, 220, 220); }";

DovAlert::Responder &responderSlot()
{
    static DovAlert::Responder responder;
    return responder;
}

QPointer<DovAlert> &sharedSlot()
{
    static QPointer<DovAlert> shared;
    return shared;
}

} // namespace

void DovAlert::setResponder(Responder responder)
{
    responderSlot() = std::move(responder);
}

DovAlert *DovAlert::sharedAlert()
{
    QPointer<DovAlert> &shared = sharedSlot();
    // The panel lives with the window it last ran on; if that window has gone, so has the
    // panel, and a new one is built.
    if (!shared)
        shared = new DovAlert(nullptr);
    return shared.data();
}

DovAlert::DovAlert(QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint)
{
    setObjectName("DovAlert");
    setFixedSize(kContentWidth, kContentHeight);
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, kBackground);
    setPalette(pal);

    m_first = makeButton(tr("Yes"), fromBottomLeft(375, 12, 96, 32));
    m_second = makeButton(tr("No"), fromBottomLeft(279, 12, 96, 32));
    m_second->setStyleSheet(kImageButtonStyle);
    m_three = makeButton(tr("Cancel"), fromBottomLeft(95, 12, 114, 32));
    connect(m_first, &QPushButton::clicked, this, &DovAlert::pressFirstButton);
    connect(m_second, &QPushButton::clicked, this, &DovAlert::pressSecondButton);
    connect(m_three, &QPushButton::clicked, this, &DovAlert::pressThreeButton);

    auto makeField = [this](const QString &placeholder, bool bold, const QRect &frame) {
        auto *field = new QLabel(placeholder, this);
        field->setGeometry(frame);
        field->setWordWrap(true);
        field->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        field->setTextInteractionFlags(Qt::NoTextInteraction);
        field->setTextFormat(Qt::PlainText);
        field->setAutoFillBackground(true);
        QPalette fp = field->palette();
        fp.setColor(QPalette::Window, kFieldBackground);
        fp.setColor(QPalette::WindowText, QColor(235, 235, 235));
        field->setPalette(fp);
        QFont font = field->font();
        font.setPixelSize(13); // the panel is laid out in pixels, so its text is sized in pixels too
        font.setBold(bold);
        field->setFont(font);
        return field;
    };
    m_message = makeField(tr("Message"), true, fromBottomLeft(100, 83, 374, 34));
    m_text = makeField(tr("Text"), false, fromBottomLeft(100, 43, 374, 37));

    m_icon = new QLabel(this);
    m_icon->setGeometry(fromBottomLeft(10, 53, 70, 69));
    m_icon->setAlignment(Qt::AlignCenter);
    const QPixmap icon(QStringLiteral(":/images/app.png"));
    if (icon.isNull())
        qWarning("DovAlert: the application image \"app\" is missing from the resources");
    else
        m_icon->setPixmap(icon.scaled(m_icon->size(), Qt::KeepAspectRatio, Qt::SmoothTransformation));
}

QPushButton *DovAlert::makeButton(const QString &title, const QRect &frame)
{
    auto *button = new QPushButton(title, this);
    button->setGeometry(frame);
    button->setStyleSheet(kButtonStyle);
    button->setCheckable(true);
    // Return and Enter are the panel's business (they always mean the first button), so no button
    // may claim them for itself by being the focused "auto default" one.
    button->setAutoDefault(false);
    button->setDefault(false);
    return button;
}

void DovAlert::setMessage(const QString &msg, const QString &text)
{
    // A null string shows as an empty field rather than as the placeholder.
    m_message->setText(msg.isNull() ? QString("") : msg);
    m_text->setText(text.isNull() ? QString("") : text);
}

void DovAlert::setButtons(int mask)
{
    if ((mask & (FirstMask | SecondMask | ThirdMask)) == 0) {
        // Without a visible button the panel could never be ended and the application would hang
        // in its modal session; fall back to a lone "OK".
        qWarning("DovAlert: button set %d shows no button; showing \"OK\" instead", mask);
        mask = FirstOK;
    }
    m_first->setText(tr("Yes"));
    m_second->setText(tr("No"));
    m_three->setText(tr("Cancel"));
    if (mask & FirstOK)
        m_first->setText(tr("OK"));
    if (mask & SecondCancel)
        m_second->setText(tr("Cancel"));
    if (mask & FirstSave)
        m_first->setText(tr("Save..."));
    if (mask & ThirdDontSave)
        m_three->setText(tr("Don't Save"));

    m_first->setVisible(mask & FirstMask);
    m_second->setVisible(mask & SecondMask);
    m_three->setVisible(mask & ThirdMask);

    m_first->setChecked(true);
    m_second->setChecked(false);
    m_three->setChecked(false);
}

int DovAlert::doSheetModal(QWidget *window)
{
    if (const Responder &responder = responderSlot())
        return responder(*this);

    QWidget *top = window ? window->window() : nullptr;
    if (parentWidget() != top)
        setParent(top, windowFlags());
    setWindowModality(top ? Qt::WindowModal : Qt::ApplicationModal);
    if (top) {
        // Drop down from the top edge of the window like a sheet.
        const QPoint topCentre = top->mapToGlobal(QPoint(top->width() / 2, 0));
        move(topCentre.x() - width() / 2, topCentre.y());
    }
    if (!m_first->isHidden())
        m_first->setFocus();
    return exec();
}

void DovAlert::pressFirstButton()
{
    endSheetModal(1);
}

void DovAlert::pressSecondButton()
{
    endSheetModal(2);
}

void DovAlert::pressThreeButton()
{
    endSheetModal(3);
}

void DovAlert::endSheetModal(int code)
{
    done(code);
}

void DovAlert::reject()
{
}

void DovAlert::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        // An answer the panel does not offer must not be given through the keyboard.
        if (!m_first->isHidden())
            pressFirstButton();
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

QString DovAlert::message() const
{
    return m_message->text();
}

QString DovAlert::text() const
{
    return m_text->text();
}

QPushButton *DovAlert::button(int index) const
{
    switch (index) {
    case 1: return m_first;
    case 2: return m_second;
    case 3: return m_three;
    default: return nullptr;
    }
}

bool DovAlert::isButtonVisible(int index) const
{
    // isHidden, not isVisible: the panel is not on screen while a responder answers it.
    const QPushButton *b = button(index);
    return b && !b->isHidden();
}

QString DovAlert::buttonTitle(int index) const
{
    const QPushButton *b = button(index);
    return b ? b->text() : QString();
}

int DovAlert::runShared(QWidget *window, const QString &msg, const QString &text, int buttons)
{
    DovAlert *alert = sharedAlert();
    if (alert->isVisible()) {
        // An alert raised while another one is up (from a timer, say) cannot reuse the running
        // panel: a second exec() on it would fail. It gets a panel of its own for this question.
        QPointer<DovAlert> nested = new DovAlert(nullptr);
        nested->setMessage(msg, text);
        nested->setButtons(buttons);
        const int result = nested->doSheetModal(window);
        if (nested)
            nested->deleteLater();
        return result;
    }
    alert->setMessage(msg, text);
    alert->setButtons(buttons);
    return alert->doSheetModal(window);
}

int DovAlert::AlertSheetModalRes(QWidget *window, const QString &msg, const QString &text,
                                 int buttons)
{
    return runShared(window, msg, text, buttons);
}

int DovAlert::AlertSheetModal(QWidget *window, const QString &msg, const QString &text,
                              int buttons)
{
    return runShared(window, msg, text, buttons);
}

int DovAlert::Alert_OK(QWidget *window, const QString &msg, const QString &text)
{
    return AlertSheetModal(window, msg, text, FirstOK);
}

int DovAlert::Alert_OKCancel(QWidget *window, const QString &msg, const QString &text)
{
    return AlertSheetModal(window, msg, text, FirstOK | SecondCancel);
}

int DovAlert::Alert_YESNO(QWidget *window, const QString &msg, const QString &text)
{
    return AlertSheetModal(window, msg, text, FirstYes | SecondNo);
}

int DovAlert::Alert_YESNOCancel(QWidget *window, const QString &msg, const QString &text)
{
    return AlertSheetModal(window, msg, text, FirstYes | SecondNo | ThirdCancel);
}

int DovAlert::Alert_SAVECANCEL(QWidget *window, const QString &msg, const QString &text)
{
    return AlertSheetModal(window, msg, text, SecondCancel | FirstSave);
}

int DovAlert::Alert_DONTSAVECANCEL(QWidget *window, const QString &msg, const QString &text)
{
    return AlertSheetModal(window, msg, text, SecondCancel | FirstSave | ThirdDontSave);
}
