#include "widgets/onlytextclosedbutton.h"

#include "widgets/basecoloredbutton.h"
#include "widgets/favoritesowner.h"

#include <QEnterEvent>
#include <QPainter>
#include <QPainterPath>

namespace {
constexpr int kCloseSize = 14;
constexpr int kTitleHeight = 17; // the picture starts below the title line
constexpr int kPictureX = 7;
} // namespace

onlyTextClosedButton::onlyTextClosedButton(QWidget *parent)
    : onlyTextClosedButton(QString(), parent)
{
}

onlyTextClosedButton::onlyTextClosedButton(const QString &title, QWidget *parent)
    : QPushButton(title, parent)
{
    setCheckable(true);
    setAttribute(Qt::WA_Hover);
}

void onlyTextClosedButton::setOnColor(const QColor &color)
{
    m_onColor = color;
    update();
}

void onlyTextClosedButton::setOffColor(const QColor &color)
{
    m_offColor = color;
    update();
}

void onlyTextClosedButton::setMyFontSize(float size)
{
    if (!(size > 0.0f) || size > 1000.0f) {
        qWarning("onlyTextClosedButton: ignoring font size %g", double(size));
        return;
    }
    m_myfontSize = size;
    update();
}

void onlyTextClosedButton::addBackImage(const QImage &image)
{
    m_backImg = image;
    update();
}

bool onlyTextClosedButton::isSelected() const
{
    return isDown() || isChecked();
}

void onlyTextClosedButton::addCloseBtn()
{
    if (m_closeBtn)
        return;
    const QSize boxSize(kCloseSize, kCloseSize);
    const QImage off = BaseColoredButton::imageNamed(QStringLiteral("off_x"));
    const QImage on = BaseColoredButton::imageNamed(QStringLiteral("on_x"));
    if (off.isNull() || on.isNull())
        qWarning("onlyTextClosedButton: close box images \"off_x\"/\"on_x\" are missing");

    m_closeBtn = new BaseColoredButton(this);
    m_closeBtn->setObjectName(QStringLiteral("closeBtn"));
    m_closeBtn->resize(boxSize);
    m_closeBtn->setImage(off.scaled(boxSize, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
    m_closeBtn->setAlternateImage(on.scaled(boxSize, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
    m_closeBtn->setCheckable(true);
    m_closeBtn->setChecked(false);
    // With a mixed state allowed, the box shows its "on" image only while it is held down.
    m_closeBtn->setAllowsMixedState(true);
    m_closeBtn->setFocusPolicy(Qt::NoFocus);
    m_closeBtn->setToolTip(tr("Remove"));
    m_closeBtn->hide();
    // Queued: the owner normally deletes this button (and with it the close box) while handling
    // the removal, which must not happen inside the close box's own click handling.
    connect(m_closeBtn, &QPushButton::clicked, this, &onlyTextClosedButton::removeMySelf,
            Qt::QueuedConnection);
    placeCloseBtn();
    if (underMouse())
        m_closeBtn->show();
}

void onlyTextClosedButton::placeCloseBtn()
{
    if (m_closeBtn)
        m_closeBtn->move(width() - 20, 2);
}

void onlyTextClosedButton::removeMySelf()
{
    if (!m_controller)
        return;
    switch (m_controller->filerMode()) {
    case FilterMode::Standard: m_controller->removeFavorites(this); break;
    case FilterMode::ThreeD: m_controller->removeFavorites3D(this); break;
    case FilterMode::Custom: m_controller->removeFavoritesCustom(this); break;
    default: break;
    }
}

void onlyTextClosedButton::resizeEvent(QResizeEvent *event)
{
    QPushButton::resizeEvent(event);
    placeCloseBtn();
}

void onlyTextClosedButton::enterEvent(QEnterEvent *event)
{
    QPushButton::enterEvent(event);
    if (m_closeBtn)
        m_closeBtn->show();
}

void onlyTextClosedButton::leaveEvent(QEvent *event)
{
    QPushButton::leaveEvent(event);
    if (m_closeBtn)
        m_closeBtn->hide();
}

void onlyTextClosedButton::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const bool selected = isSelected();

    // The tile: dark so that both the white and the yellow title read well in either appearance.
    const QRectF tile = QRectF(rect()).adjusted(1.5, 1.5, -1.5, -1.5);
    QPainterPath path;
    path.addRoundedRect(tile, 5, 5);
    painter.fillPath(path, selected ? QColor(88, 80, 130) : QColor(56, 56, 60));
    painter.setPen(QPen(selected ? QColor(150, 132, 224) : QColor(30, 30, 32), 1));
    painter.drawPath(path);

    drawBackImg(painter);

    QFont f = font();
    f.setPointSizeF(m_myfontSize);
    painter.setFont(f);
    painter.setPen(selected ? m_onColor : m_offColor);
    const QRect titleRect = m_backImg.isNull() ? rect().adjusted(4, 0, -4, 0)
                                               : QRect(4, 1, width() - 8, kTitleHeight);
    const QString title = painter.fontMetrics().elidedText(text(), Qt::ElideRight, titleRect.width());
    painter.drawText(titleRect, Qt::AlignCenter, title);
}

void onlyTextClosedButton::drawBackImg(QPainter &painter)
{
    if (m_backImg.isNull())
        return;
    // The picture sits below the title; it keeps its proportions and shrinks with the button.
    const QSize room(width() - 2 * kPictureX, height() - kTitleHeight - 4);
    if (room.width() <= 0 || room.height() <= 0)
        return;
    QSize drawn = m_backImg.size();
    if (drawn.width() > room.width() || drawn.height() > room.height())
        drawn.scale(room, Qt::KeepAspectRatio);
    painter.save();
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    painter.setOpacity(1.0);
    painter.drawImage(QRect(QPoint(kPictureX, kTitleHeight), drawn), m_backImg);
    painter.restore();
}
