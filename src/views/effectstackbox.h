#pragma once

#include "imaging/filter.h"
#include "views/myborderview.h"

#include <memory>

class CanvasController;

// A bordered box that holds the controls of one filter for a controller. It draws its border only
// once its first row holds controls, so an empty box stays invisible.
class EffectStackBox : public MyBorderView
{
    Q_OBJECT
public:
    using MyBorderView::MyBorderView;

    void setFilter(const std::shared_ptr<imaging::Filter> &filter) { m_filter = filter; }
    void setMaster(CanvasController *master) { m_master = master; }
    const std::shared_ptr<imaging::Filter> &filter() const { return m_filter; }
    CanvasController *master() const { return m_master; }

    // Whether the border is drawn: the first row exists and holds controls.
    bool drawsBorder() const;

protected:
    void paintEvent(QPaintEvent *event) override;

    std::shared_ptr<imaging::Filter> m_filter;
    CanvasController *m_master = nullptr;
};
