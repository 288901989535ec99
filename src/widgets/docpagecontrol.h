#pragma once

#include <QList>
#include <QWidget>

class QAbstractButton;
class QScrollArea;
class QTimer;
class QToolButton;

// A horizontal strip of equal-width buttons (the favourites of one mode) in a scroll area, with a
// "previous" and a "next" arrow at its ends. Button i sits at x = i * slot width. The strip pages
// one slot at a time: `current_page` is the index of the first visible slot, and stepping scrolls
// there with a short animation.
class DocPageControl : public QWidget
{
    Q_OBJECT

public:
    explicit DocPageControl(QWidget *parent = nullptr);
    ~DocPageControl() override;

    // Width of one slot, in pixels (at least 1).
    int horizontalPageScroll() const { return m_slotWidth; }
    void setHorizontalPageScroll(int width);

    // Inserts `button` after `selected` (which loses its "on" state to the new button), or at the
    // end when `selected` is null. The strip takes ownership of the button.
    void addItem(QAbstractButton *button, QAbstractButton *selected = nullptr);
    // Removes `button` (it is deleted once control returns to the event loop) and returns the
    // button to select next: the one that followed it, else the last one, else null.
    QAbstractButton *removeItem(QAbstractButton *button);
    // Removes every button.
    void clear();

    int pageCount() const { return m_pageCount; }
    void setPageCount(int count);
    int currentPage() const { return m_currentPage; }
    void setCurrentPage(int page);
    int viewPageCount() const { return m_viewPageCount; }
    // One past the last slot that fits in view from the current page.
    int maxShownPage() const { return m_viewPageCount + m_currentPage; }

    void stepNextTo(int index);
    void scrollToPage();
    // Scrolls one slot if the button at `index` is not comfortably in view.
    void adjustVisibility(int index);
    // Recomputes the paging after the strip changed size.
    void liveResizeDone();
    // Shows each arrow only when there is something to show in its direction.
    void setHiddenStates();
    // Moves the strip to the slot nearest to where the scroll bar left it and makes that slot the
    // current page.
    void snapToSlot();

    // The buttons, left to right.
    QList<QAbstractButton *> buttons() const;
    int visibleX() const;
    int visibleWidth() const;
    bool isAnimating() const;
    // Ends a running scroll animation at once, at its target.
    void finishAnimation();

    QScrollArea *scroller() const { return mainPageScroller; }
    QWidget *documentView() const { return m_document; }
    QToolButton *prevButton() const { return prevBtn; }
    QToolButton *nextButton() const { return nextBtn; }

public slots:
    void stepNext();
    void stepPrev();

protected:
    void resizeEvent(QResizeEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void layoutParts();
    void setVisibleX(double x);
    void setDocumentWidth(int width);
    void animateFromTo(double startX, double targetX);
    void animateScroller();
    // Completes whatever scroll animation is running, in any strip, so that the next scroll
    // starts from a slot boundary.
    static void settleAnimations();

    QScrollArea *mainPageScroller = nullptr;
    QWidget *m_document = nullptr;
    QToolButton *prevBtn = nullptr;
    QToolButton *nextBtn = nullptr;
    QTimer *m_timer = nullptr;

    int m_pageCount = 0;
    int m_currentPage = 0;
    int m_viewPageCount = 0;
    int m_slotWidth = 100;
};
