#pragma once

#include "widgets/basecoloredbutton.h"

// A text button that lights up while the pointer is over it: entering turns it on (showing the
// alternate image), leaving turns it off. The title is drawn a second time in light grey, two
// points lower, over the standard drawing.
class BaseColoredTextButton : public BaseColoredButton
{
    Q_OBJECT

public:
    explicit BaseColoredTextButton(QWidget *parent = nullptr);
    explicit BaseColoredTextButton(const QString &title, QWidget *parent = nullptr);

protected:
    void paintEvent(QPaintEvent *event) override;
    void enterEvent(QEnterEvent *event) override;
    void leaveEvent(QEvent *event) override;
    // The state follows the pointer only; a click does not toggle it.
    void nextCheckState() override;
};
