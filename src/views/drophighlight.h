#pragma once

#include <QWidget>

// The rectangle that marks where a dragged file will land: a thick pale-yellow outline drawn over
// the window while an acceptable drag is inside the canvas. It lets every mouse event through.
class DropHighlight : public QWidget
{
    Q_OBJECT
public:
    explicit DropHighlight(QWidget *parent);

protected:
    void paintEvent(QPaintEvent *event) override;
};
