#include "views/top3dview.h"

#include "views/glframe.h"
#include "views/myoglview.h"

#include <QPaintEvent>
#include <QPainter>
#include <QVBoxLayout>

Top3DView::Top3DView(QWidget *parent, bool useOpenGL)
    : QWidget(parent)
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    QString why = tr("OpenGL is turned off");
    if (useOpenGL && GLFrame::isAvailable(&why)) {
        m_view = new MyOGLView(this);
        layout->addWidget(m_view);
        connect(m_view, &MyOGLView::failed, this, &Top3DView::showMessage);
    } else {
        showMessage(tr("The 3D effects cannot be shown: %1.").arg(why));
    }
}

void Top3DView::showMessage(const QString &message)
{
    m_message = message;
    // A canvas that failed keeps itself hidden from now on.
    if (m_view && !m_view->failure().isEmpty())
        m_view->hide();
    update();
}

void Top3DView::paintEvent(QPaintEvent *event)
{
    QPainter painter(this);
    painter.fillRect(event->rect(), Qt::white);
    if (m_message.isEmpty())
        return;
    painter.setPen(Qt::black);
    const QString text = m_message + QLatin1Char('\n') + tr("The standard and custom modes work as usual.");
    painter.drawText(rect().adjusted(24, 24, -24, -24), Qt::AlignCenter | Qt::TextWordWrap, text);
}
