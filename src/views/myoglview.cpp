#include "views/myoglview.h"

#include <QSurfaceFormat>

MyOGLView::MyOGLView(QWidget *parent)
    : QOpenGLWidget(parent)
{
    // The 3D effects use the fixed-function pipeline, so ask for a compatibility profile.
    QSurfaceFormat format = QSurfaceFormat::defaultFormat();
    format.setProfile(QSurfaceFormat::CompatibilityProfile);
    format.setDepthBufferSize(24);
    setFormat(format);
}

void MyOGLView::initializeGL()
{
    initializeOpenGLFunctions();
    glEnable(GL_DEPTH_TEST);
}

void MyOGLView::paintGL()
{
    const QColor back = palette().color(QPalette::Dark);
    glClearColor(back.redF(), back.greenF(), back.blueF(), 1.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
}
