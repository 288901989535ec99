#pragma once

#include <QOpenGLFunctions>
#include <QOpenGLWidget>

// The 3D mode's canvas: an OpenGL view in which the current 3D effect draws the image as a texture.
class MyOGLView : public QOpenGLWidget, protected QOpenGLFunctions
{
    Q_OBJECT
public:
    explicit MyOGLView(QWidget *parent = nullptr);

protected:
    void initializeGL() override;
    void paintGL() override;
};
