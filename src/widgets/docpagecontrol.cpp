#include "widgets/docpagecontrol.h"

#include "widgets/customscroller.h"

#include <QAbstractButton>
#include <QPointer>
#include <QResizeEvent>
#include <QScrollArea>
#include <QScrollBar>
#include <QTimer>
#include <QToolButton>

#include <algorithm>
#include <cmath>

namespace {

constexpr int kArrowWidth = 16;
constexpr int kTickMs = 10;

// One scroll animation runs at a time in the whole process; its state is shared by all strips.
struct ScrollAnimation
{
    double startX = 0.0;
    double currentX = 0.0;
    double targetX = 0.0;
    int ticks = 0;
    QPointer<DocPageControl> owner;
};

ScrollAnimation &animation()
{
    static ScrollAnimation state;
    return state;
}

} // namespace

DocPageControl::DocPageControl(QWidget *parent)
    : QWidget(parent)
{
    mainPageScroller = new QScrollArea(this);
    mainPageScroller->setObjectName(QStringLiteral("mainPageScroller"));
    mainPageScroller->setFrameShape(QFrame::NoFrame);
    // The arrows page the strip a slot at a time; the skinned bar under the buttons shows where the
    // view is and can be dragged. It is always there (with nothing to scroll it shows its
    // background only), so the buttons keep their height whether the strip overflows or not.
    mainPageScroller->setHorizontalScrollBar(new CustomScroller(Qt::Horizontal));
    mainPageScroller->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    mainPageScroller->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    mainPageScroller->setWidgetResizable(false);

    m_document = new QWidget;
    m_document->setObjectName(QStringLiteral("documentView"));
    m_document->setAutoFillBackground(true);
    QPalette pal = m_document->palette();
    pal.setColor(QPalette::Window, QColor::fromRgbF(0.3f, 0.3f, 0.3f));
    m_document->setPalette(pal);
    mainPageScroller->setWidget(m_document);
    // The strip moves a whole slot at a time through its arrows; a wheel or touchpad scroll would
    // leave it between slots with the arrows and the current page out of step.
    mainPageScroller->viewport()->installEventFilter(this);
    // Moving the bar by hand ends on a slot boundary like the arrows do: a drag when the knob is
    // released, a click or a wheel turn on the bar right after the move.
    QScrollBar *bar = mainPageScroller->horizontalScrollBar();
    connect(bar, &QScrollBar::sliderReleased, this, &DocPageControl::snapToSlot);
    connect(bar, &QScrollBar::actionTriggered, this, [this, bar] {
        if (!bar->isSliderDown())
            QMetaObject::invokeMethod(this, &DocPageControl::snapToSlot, Qt::QueuedConnection);
    });

    auto makeArrow = [this](Qt::ArrowType type, const QString &name) {
        auto *arrow = new QToolButton(this);
        arrow->setObjectName(name);
        arrow->setArrowType(type);
        arrow->setAutoRaise(true);
        arrow->setFocusPolicy(Qt::NoFocus);
        return arrow;
    };
    prevBtn = makeArrow(Qt::LeftArrow, QStringLiteral("prevBtn"));
    nextBtn = makeArrow(Qt::RightArrow, QStringLiteral("nextBtn"));
    connect(prevBtn, &QToolButton::clicked, this, &DocPageControl::stepPrev);
    connect(nextBtn, &QToolButton::clicked, this, &DocPageControl::stepNext);

    m_timer = new QTimer(this);
    m_timer->setInterval(kTickMs);
    connect(m_timer, &QTimer::timeout, this, &DocPageControl::animateScroller);

    resize(400, 60);
    layoutParts();
    setHiddenStates();
}

DocPageControl::~DocPageControl() = default;

void DocPageControl::setHorizontalPageScroll(int width)
{
    if (width < 1) {
        qWarning("DocPageControl: ignoring slot width %d (must be at least 1)", width);
        return;
    }
    if (width == m_slotWidth)
        return;
    settleAnimations();
    m_slotWidth = width;
    // Existing buttons keep their order and move to the new slots.
    const QList<QAbstractButton *> list = buttons();
    for (int i = 0; i < list.size(); ++i)
        list[i]->setGeometry(i * m_slotWidth, list[i]->y(), m_slotWidth, m_document->height());
    setDocumentWidth(std::max(m_slotWidth * m_pageCount, visibleWidth()));
    mainPageScroller->horizontalScrollBar()->setSingleStep(m_slotWidth);
    setPageCount(m_pageCount);
    liveResizeDone();
}

QList<QAbstractButton *> DocPageControl::buttons() const
{
    QList<QAbstractButton *> list =
        m_document->findChildren<QAbstractButton *>(QString(), Qt::FindDirectChildrenOnly);
    std::stable_sort(list.begin(), list.end(),
                     [](const QAbstractButton *a, const QAbstractButton *b) { return a->x() < b->x(); });
    return list;
}

int DocPageControl::visibleX() const
{
    return mainPageScroller->horizontalScrollBar()->value();
}

int DocPageControl::visibleWidth() const
{
    // Computed from the scroll area's own size so that it is right before the viewport has been
    // laid out (a strip that is not shown yet).
    return mainPageScroller->maximumViewportSize().width();
}

void DocPageControl::setVisibleX(double x)
{
    mainPageScroller->horizontalScrollBar()->setValue(qRound(x));
}

void DocPageControl::setDocumentWidth(int width)
{
    m_document->resize(width, m_document->height());
    // Keep the scroll range in step right away; the scroll area would otherwise only learn the new
    // size when the document's resize event is delivered, which a hidden strip postpones.
    QScrollBar *bar = mainPageScroller->horizontalScrollBar();
    bar->setRange(0, std::max(0, width - visibleWidth()));
    bar->setPageStep(std::max(1, visibleWidth()));
}

void DocPageControl::layoutParts()
{
    const int w = width();
    const int h = height();
    prevBtn->setGeometry(0, 0, kArrowWidth, h);
    nextBtn->setGeometry(std::max(kArrowWidth, w - kArrowWidth), 0, kArrowWidth, h);
    mainPageScroller->setGeometry(kArrowWidth, 0, std::max(0, w - 2 * kArrowWidth), h);
    const int docHeight = mainPageScroller->maximumViewportSize().height();
    m_document->resize(m_document->width(), docHeight);
    for (QAbstractButton *b : buttons())
        b->resize(m_slotWidth, docHeight);
    setDocumentWidth(std::max(m_slotWidth * m_pageCount, visibleWidth()));
}

void DocPageControl::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    settleAnimations();
    layoutParts();
    liveResizeDone();
}

bool DocPageControl::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == mainPageScroller->viewport() && event->type() == QEvent::Wheel)
        return true;
    return QWidget::eventFilter(watched, event);
}

void DocPageControl::snapToSlot()
{
    setCurrentPage(int(std::lround(double(visibleX()) / m_slotWidth)));
}

void DocPageControl::setHiddenStates()
{
    const int x = visibleX();
    prevBtn->setHidden(x == 0);
    nextBtn->setHidden(x + visibleWidth() >= m_slotWidth * m_pageCount);
}

void DocPageControl::setPageCount(int count)
{
    m_viewPageCount = visibleWidth() / m_slotWidth;
    m_pageCount = count;
    const int bound = count - m_viewPageCount;
    if (m_currentPage > bound || m_currentPage < 0)
        m_currentPage = std::max(0, bound);
}

void DocPageControl::setCurrentPage(int page)
{
    settleAnimations();
    const int lastIndex = m_pageCount - 1 < 1 ? 0 : m_pageCount - 1;
    page = std::min(page, lastIndex);
    page = std::min(page, m_pageCount - m_viewPageCount);
    m_currentPage = std::max(page, 0);
    setVisibleX(double(m_currentPage) * m_slotWidth);
    setHiddenStates();
}

void DocPageControl::scrollToPage()
{
    if (m_slotWidth < 0)
        return;
    settleAnimations();
    animateFromTo(visibleX(), double(m_slotWidth) * m_currentPage);
}

void DocPageControl::animateFromTo(double startX, double targetX)
{
    settleAnimations();
    ScrollAnimation &a = animation();
    a.startX = startX;
    a.currentX = startX;
    a.targetX = targetX;
    a.ticks = 0;
    a.owner = this;
    m_timer->start();
}

bool DocPageControl::isAnimating() const
{
    return m_timer->isActive();
}

void DocPageControl::finishAnimation()
{
    if (!m_timer->isActive())
        return;
    m_timer->stop();
    ScrollAnimation &a = animation();
    if (a.owner == this) {
        setVisibleX(a.targetX);
        a.owner = nullptr;
    }
    setHiddenStates();
}

void DocPageControl::settleAnimations()
{
    if (DocPageControl *owner = animation().owner.data())
        owner->finishAnimation();
}

void DocPageControl::animateScroller()
{
    ScrollAnimation &a = animation();
    if (a.owner != this) {
        m_timer->stop();
        return;
    }
    // Short scrolls take 8 steps, longer documents 13. Each step moves by a fixed share of the
    // distance; the last few steps run past the target and the final one lands on it exactly.
    const int n = (m_document->width() - visibleWidth()) < 101 ? 8 : 13;
    const float step = float(a.targetX - a.startX) / float(n);
    a.currentX += step;
    setVisibleX(a.currentX);
    const int before = a.ticks++;
    if (before >= n + n / 5) {
        m_timer->stop();
        a.owner = nullptr;
        setVisibleX(a.targetX);
        setHiddenStates();
    }
}

void DocPageControl::stepNext()
{
    settleAnimations();
    if (m_viewPageCount == 1 && m_currentPage < m_pageCount - 1) {
        ++m_currentPage;
        scrollToPage();
    } else if (m_document->width() >= visibleX() + visibleWidth()) {
        const double start = visibleX();
        ++m_currentPage;
        if (m_currentPage + m_viewPageCount > m_pageCount + 1)
            m_currentPage = m_pageCount + 1 - m_viewPageCount;
        animateFromTo(start, start + m_slotWidth);
    }
    setHiddenStates();
}

void DocPageControl::stepNextTo(int index)
{
    const int k = index - maxShownPage();
    if (k < 0)
        return;
    settleAnimations();
    if (m_document->width() >= visibleX() + visibleWidth()) {
        const double start = visibleX();
        m_currentPage += k + 1;
        if (m_currentPage + m_viewPageCount > m_pageCount + 1)
            m_currentPage = m_pageCount + 1 - m_viewPageCount;
        animateFromTo(start, start + double(k + 1) * m_slotWidth);
    }
    setHiddenStates();
}

void DocPageControl::stepPrev()
{
    settleAnimations();
    if (m_viewPageCount == 1 && m_currentPage > 0) {
        --m_currentPage;
        scrollToPage();
    } else if (visibleX() > 0) {
        const double start = visibleX();
        --m_currentPage;
        double target = start - m_slotWidth;
        if (target < 0) {
            target = 0;
            m_currentPage = 0;
        }
        animateFromTo(start, target);
    }
    setHiddenStates();
}

void DocPageControl::adjustVisibility(int index)
{
    const double x = double(index) * m_slotWidth;
    if (x + 1.5 * m_slotWidth > visibleX() + visibleWidth())
        stepNext();
    else if (visibleX() > x - 0.5 * m_slotWidth)
        stepPrev();
}

void DocPageControl::addItem(QAbstractButton *button, QAbstractButton *selected)
{
    if (!button)
        return;
    if (button->parentWidget() == m_document) {
        qWarning("DocPageControl: the button is already in the strip");
        return;
    }
    if (selected && selected->parentWidget() != m_document) {
        qWarning("DocPageControl: the selected button is not in the strip; adding at the end");
        selected = nullptr;
    }
    settleAnimations();

    QPoint origin;
    if (selected) {
        for (QAbstractButton *b : buttons()) {
            if (b->x() > selected->x())
                b->move(b->x() + m_slotWidth, b->y());
        }
        origin = QPoint(selected->x() + m_slotWidth, selected->y());
        selected->setChecked(false);
    } else {
        origin = QPoint(m_pageCount * m_slotWidth, 0);
    }
    setDocumentWidth(std::max(m_slotWidth * (m_pageCount + 1), visibleWidth()));

    button->setParent(m_document);
    button->setGeometry(QRect(origin, QSize(m_slotWidth, m_document->height())));
    if (selected)
        button->setChecked(true);

    const int index = origin.x() / m_slotWidth;
    m_currentPage = index;
    button->show();
    setPageCount(m_pageCount + 1);
    liveResizeDone();

    if (index >= maxShownPage())
        stepNextTo(index);
}

QAbstractButton *DocPageControl::removeItem(QAbstractButton *button)
{
    if (!button || button->parentWidget() != m_document) {
        qWarning("DocPageControl: cannot remove a button that is not in the strip");
        return nullptr;
    }
    settleAnimations();

    // The button that slides into the removed one's place is the next selection.
    const QPointF probe(button->x() + 1.5 * m_slotWidth, button->y() + 5);
    QAbstractButton *next = nullptr;
    for (QAbstractButton *b : buttons()) {
        if (b == button)
            continue;
        if (QRectF(b->geometry()).contains(probe))
            next = b;
        if (b->x() > button->x())
            b->move(b->x() - m_slotWidth, b->y());
    }
    button->hide();
    button->setParent(nullptr);
    // Deferred: the removal is usually triggered from inside the button's own click handling.
    button->deleteLater();

    if (!next) {
        const QList<QAbstractButton *> rest = buttons();
        next = rest.isEmpty() ? nullptr : rest.last();
    }
    setDocumentWidth(std::max(m_slotWidth * (m_pageCount - 1), visibleWidth()));
    setPageCount(m_pageCount - 1);
    liveResizeDone();
    return next;
}

void DocPageControl::clear()
{
    settleAnimations();
    for (QAbstractButton *b : buttons()) {
        b->hide();
        b->setParent(nullptr);
        b->deleteLater();
    }
    m_document->resize(mainPageScroller->maximumViewportSize());
    setDocumentWidth(m_document->width());
    m_pageCount = 0;
    m_currentPage = 0;
    setHiddenStates();
}

void DocPageControl::liveResizeDone()
{
    settleAnimations();
    m_viewPageCount = visibleWidth() / m_slotWidth;
    double x = visibleX();
    if (m_currentPage > m_pageCount - m_viewPageCount - 1) {
        m_currentPage = m_pageCount - m_viewPageCount - 1;
        x = double(m_slotWidth) * m_currentPage;
        if (x <= 0 || m_currentPage < 1) {
            x = 0;
            m_currentPage = 0;
        }
    }
    // Pull back while the last page would leave empty slots at the right end.
    while (m_viewPageCount >= 2 && m_pageCount - m_currentPage < m_viewPageCount && x > 0) {
        const double newX = x - m_slotWidth;
        if (m_currentPage < 2 || newX <= 0) {
            x = 0;
            m_currentPage = 0;
        } else {
            x = newX;
            --m_currentPage;
        }
    }
    setVisibleX(x);
    setHiddenStates();
}
