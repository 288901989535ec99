#pragma once

#include <QDialog>

// The about box: the application's picture, its name and version, and a link to the maker's site.
// A borderless panel; the controller runs it in a timed modal loop.
class AboutPanel : public QDialog
{
    Q_OBJECT
public:
    explicit AboutPanel(QWidget *parent = nullptr);

    static QString versionText();
    static QString siteAddress();

protected:
    void paintEvent(QPaintEvent *event) override;
};
