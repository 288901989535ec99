#pragma once

#include <QColor>
#include <QImage>
#include <QPushButton>

class BaseColoredButton;
class FavoritesOwner;

// One favourite in a favourites strip: a checkable button showing the favourite's name (in the
// "on" colour when selected, the "off" colour otherwise) and optionally a small picture of it.
// While the pointer is over the button a close box shows in its top right corner; clicking it
// asks the owner to remove this favourite from the current mode's list.
class onlyTextClosedButton : public QPushButton
{
    Q_OBJECT

public:
    explicit onlyTextClosedButton(QWidget *parent = nullptr);
    explicit onlyTextClosedButton(const QString &title, QWidget *parent = nullptr);

    // The owner outlives its buttons; it is not owned here.
    void setController(FavoritesOwner *owner) { m_controller = owner; }
    FavoritesOwner *controller() const { return m_controller; }

    void setOnColor(const QColor &color);
    QColor onColor() const { return m_onColor; }
    void setOffColor(const QColor &color);
    QColor offColor() const { return m_offColor; }
    void setMyFontSize(float size);
    float myFontSize() const { return m_myfontSize; }

    // The picture is kept as given and drawn scaled to fit the button below the title.
    void addBackImage(const QImage &image);
    QImage getBackImage() const { return m_backImg; }

    // Creates the close box once; later calls do nothing.
    void addCloseBtn();
    BaseColoredButton *closeButton() const { return m_closeBtn; }

    // Held down, or on.
    bool isSelected() const;

public slots:
    // Sends this button to the owner's removal for the current mode.
    void removeMySelf();

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void enterEvent(QEnterEvent *event) override;
    void leaveEvent(QEvent *event) override;

private:
    void drawBackImg(QPainter &painter);
    void placeCloseBtn();

    QColor m_onColor = Qt::white;
    QColor m_offColor = QColor::fromRgbF(0.9f, 0.82f, 0.163f, 1.0f);
    float m_myfontSize = 12.0f;
    QImage m_backImg;
    BaseColoredButton *m_closeBtn = nullptr;
    FavoritesOwner *m_controller = nullptr;
};
