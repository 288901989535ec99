#include "views/parameterrow.h"

#include "platform/autoresizing.h"
#include "platform/geometry.h"
#include "views/canvascontroller.h"
#include "views/parameterview.h"

#include <QLabel>
#include <QLineEdit>

#include <cstdio>

ParameterRow::ParameterRow(ParameterView *view, const std::shared_ptr<imaging::Filter> &filter, const QString &key,
                           CanvasController *master)
    : QObject(view), m_filter(filter), m_key(key), m_master(master)
{
}

bool ParameterRow::parseTyped(const QString &text, double &value)
{
    bool ok = false;
    value = text.trimmed().toDouble(&ok);
    if (!ok)
        value = 0;
    return ok;
}

QFont ParameterRow::smallFont(const QFont &base, double points)
{
    QFont f = base;
    f.setPointSizeF(points);
    return f;
}

ParameterView *ParameterRow::view() const
{
    return static_cast<ParameterView *>(parent());
}

double ParameterRow::rowWidth() const
{
    return view()->width();
}

QVariant ParameterRow::inputValue() const
{
    return m_filter ? m_filter->value(m_key) : QVariant();
}

const imaging::InputDescription *ParameterRow::input() const
{
    return m_filter ? m_filter->description().input(m_key) : nullptr;
}

QString ParameterRow::captionText(bool checkPrefix) const
{
    if (checkPrefix && !m_key.startsWith(QLatin1String("input")))
        std::fputs("input key does not begin with input\n", stdout);
    const imaging::InputDescription *in = input();
    const QString display = in ? in->displayName : QString();
    return display.isEmpty() ? unInterCap(m_key.mid(5)) : display;
}

void ParameterRow::place(QWidget *child, const QRectF &frame, unsigned mask)
{
    // Frames are designed for the row's size at build time; the mask keeps them in place when the
    // box (and with it the row) is resized.
    Autoresizing::attach(child, frame, mask, QSizeF(view()->width(), view()->height()));
    child->show();
}

QLabel *ParameterRow::makeCaption(const QRectF &frame, const QString &text, bool shorten)
{
    auto *label = new QLabel(view());
    label->setFont(smallFont(label->font(), 9));
    label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    label->setForegroundRole(QPalette::WindowText);
    // The text cell draws 2 points in from each side of the field.
    label->setText(shorten ? ParameterView::ellipsizeField(float(frame.width() - 4), label->font(), text) : text);
    if (label->text() != text)
        label->setToolTip(text);
    place(label, frame, NSViewMaxXMargin | NSViewMinYMargin);
    return label;
}

QLineEdit *ParameterRow::makeReadout(const QRectF &frame, unsigned mask)
{
    auto *field = new QLineEdit(view());
    field->setFont(smallFont(field->font(), 9));
    field->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    field->setTextMargins(0, 0, 0, 0);
    field->setContentsMargins(0, 0, 0, 0);
    field->setStyleSheet(QStringLiteral("QLineEdit { padding: 0px 1px; }"));
    place(field, frame, mask);
    return field;
}

void ParameterRow::showReadout(QLineEdit *field, const QString &text)
{
    field->setText(text);
    field->setCursorPosition(0);
}

void ParameterRow::commit(const QVariant &value)
{
    if (!m_master)
        return;
    m_master->setFilter(m_filter, value, m_key);
    m_master->setActionNameForFilter(m_filter, m_key);
}

void ParameterRow::redraw()
{
    if (m_master)
        m_master->updateView();
}
