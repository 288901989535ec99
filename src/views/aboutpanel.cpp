#include "views/aboutpanel.h"

#include <QCoreApplication>
#include <QLabel>
#include <QPainter>

AboutPanel::AboutPanel(QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint)
{
    setFixedSize(380, 220);
    setFocusPolicy(Qt::NoFocus);

    auto *name = new QLabel(QStringLiteral("Lumetta"), this);
    QFont big = name->font();
    big.setPointSize(22);
    big.setBold(true);
    name->setFont(big);
    name->setGeometry(20, 8, 220, 36);

    auto *version = new QLabel(versionText(), this);
    version->setGeometry(22, 40, 220, 20);

    // The link area: x 20, y 137, 221 x 20 with the origin at the bottom left of the box.
    auto *link = new QLabel(QStringLiteral("<a href=\"%1\" style=\"color:#b9aef5\">%1</a>").arg(siteAddress()), this);
    link->setOpenExternalLinks(true);
    link->setTextInteractionFlags(Qt::TextBrowserInteraction);
    link->setGeometry(20, height() - 137 - 20, 221, 20);

    auto *blurb = new QLabel(tr("Effects for one still image at a time:\nstandard filters, 3D surfaces and solids,\n"
                                "and procedural generators."), this);
    blurb->setGeometry(20, 120, 340, 70);

    for (QLabel *label : {name, version, blurb})
        label->setStyleSheet(QStringLiteral("color: #e8e8e8"));
}

QString AboutPanel::versionText()
{
    const QString version = QCoreApplication::applicationVersion();
    return QStringLiteral("Version ") + (version.isEmpty() ? QStringLiteral("last") : version);
}

QString AboutPanel::siteAddress()
{
    return QStringLiteral("https://lumetta.example/");
}

void AboutPanel::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    QLinearGradient back(0, 0, 0, height());
    back.setColorAt(0, QColor(58, 54, 78));
    back.setColorAt(1, QColor(28, 27, 36));
    painter.fillRect(rect(), back);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    const QImage icon(QStringLiteral(":/images/app.png"));
    if (!icon.isNull())
        painter.drawImage(QRect(252, 14, 112, 112), icon);
}
