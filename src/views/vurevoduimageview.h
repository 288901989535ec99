#pragma once

#include <QLabel>
#include <QString>

// The image well of an image row: shows a picture, accepts one image file dropped on it (and
// remembers its path), and can be dragged out again as that file.
class VurEvoduImageView : public QLabel
{
    Q_OBJECT
public:
    explicit VurEvoduImageView(QWidget *parent = nullptr);

    void setFilePath1(const QString &path) { m_filePath = path; }
    QString filePath() const { return m_filePath; }

    // Shows the picture scaled down to fit the well (never enlarged).
    void setImage(const QImage &image);
    // The picture as it was given, before it was fitted to the well.
    QImage image() const { return m_image; }

signals:
    // Sent after a drop, once filePath() holds the dropped file (empty when the drop had none).
    void imageChanged();

protected:
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dropEvent(QDropEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void refreshPixmap();

    QString m_filePath;
    QImage m_image;
};
