#pragma once

#include <QString>
#include <QWidget>

class MyOGLView;

// The 3D mode's area: a white view that holds the OpenGL canvas. Where OpenGL cannot be had (no
// context, or one without the fixed-function pipeline) it holds no canvas and shows a message
// instead, so the rest of the program keeps working.
class Top3DView : public QWidget
{
    Q_OBJECT
public:
    // Makes the canvas when `useOpenGL` is set and OpenGL is available here.
    explicit Top3DView(QWidget *parent = nullptr, bool useOpenGL = true);

    // The canvas, or null without OpenGL.
    MyOGLView *openGLView() const { return m_view; }
    // The message shown in place of the canvas (empty while the canvas is shown).
    QString message() const { return m_message; }
    void showMessage(const QString &message);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    MyOGLView *m_view = nullptr;
    QString m_message;
};
