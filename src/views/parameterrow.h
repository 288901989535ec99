#pragma once

#include "imaging/filter.h"

#include <QObject>
#include <QRectF>
#include <QString>
#include <QVariant>

#include <memory>

class CanvasController;
class ParameterView;
class QFont;
class QLabel;
class QLineEdit;
class QWidget;

// The controls of one row kind, laid out in a ParameterView. A row shows its input's value and
// turns every user change into a new value that it hands to the controller (which records undo
// and asks for a redraw); it never sets the filter itself and never renders. Subclasses build their
// controls in their constructor; the view owns the row as a child object.
class ParameterRow : public QObject
{
public:
    ParameterRow(ParameterView *view, const std::shared_ptr<imaging::Filter> &filter, const QString &key,
                 CanvasController *master);

    QString key() const { return m_key; }
    // The caption beside the controls (none for a flag row, whose check box carries it).
    QLabel *caption() const { return m_caption; }

    // A typed number as the platform's text fields read it: leading number, anything unreadable is
    // 0. False when the text was not a number.
    static bool parseTyped(const QString &text, double &value);
    static QFont smallFont(const QFont &base, double points);

protected:
    ParameterView *view() const;
    double rowWidth() const;
    QVariant inputValue() const;
    const imaging::InputDescription *input() const;
    // The input's display name, or its key spaced out; `checkPrefix` logs keys without "input".
    QString captionText(bool checkPrefix) const;
    QLabel *makeCaption(const QRectF &frame, const QString &text, bool shorten);
    QLineEdit *makeReadout(const QRectF &frame, unsigned mask);
    // Shows `text` in a readout from its first character: a number wider than its field (a
    // temperature of "6500.000") keeps its leading digits in view instead of its last ones.
    static void showReadout(QLineEdit *field, const QString &text);
    void place(QWidget *child, const QRectF &frame, unsigned mask);
    void commit(const QVariant &value);
    void redraw();

    std::shared_ptr<imaging::Filter> m_filter;
    QString m_key;
    CanvasController *m_master = nullptr;
    QLabel *m_caption = nullptr;
};
