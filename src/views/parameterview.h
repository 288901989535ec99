#pragma once

#include "imaging/filter.h"
#include "imaging/image.h"
#include "imaging/values.h"
#include "views/transformfields.h"

#include <QFont>
#include <QImage>
#include <QRectF>
#include <QString>
#include <QVariantMap>
#include <QWidget>

#include <memory>

class CanvasController;
class ColorWell;
class FloatSlider;
class ParameterRow;
class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class VurEvoduImageView;

// Writes `value` with the format %<before>.<after>f into `buffer` (at least 32 bytes).
void format_floating_point_number(int before, int after, char *buffer, float value);
// "BackgroundImage" -> "Background Image": a space before every capital and every digit except at
// the start. The string itself comes back when nothing was inserted.
QString unInterCap(const QString &text);

// One control row of the filter box: the controls for one input of the current filter. The box
// sizes the row, then one builder makes the controls of the input's kind (a ParameterRow subclass,
// see rowkinds.h). The row shows the input's value and turns every user change into a new value
// that it hands to the controller (which records undo and asks for a redraw); it never sets the
// filter itself and never renders.
class ParameterView : public QWidget
{
    Q_OBJECT
public:
    // Units of a number row: how the readout shows the input's own value.
    enum DataType { Scalar = 0, Angle = 1, Time = 2, Distance = 3 };

    // The row is sized by its box before one of the builders lays its controls out.
    explicit ParameterView(QWidget *parent = nullptr);

    // Row builders: one is sent once, right after the row has its final size. buildRow makes the
    // row of `kind` (nothing for ControlKind None); the others name their kind.
    void buildRow(imaging::ControlKind kind, const std::shared_ptr<imaging::Filter> &filter, const QString &key,
                  CanvasController *master);
    void addSliderForFilter(const std::shared_ptr<imaging::Filter> &filter, const QString &key, CanvasController *master);
    void addCheckBoxForFilter(const std::shared_ptr<imaging::Filter> &filter, const QString &key, CanvasController *master);
    void addColorWellForFilter(const std::shared_ptr<imaging::Filter> &filter, const QString &key, CanvasController *master);
    void addVectorForFilter(const std::shared_ptr<imaging::Filter> &filter, const QString &key, CanvasController *master);
    void addOffsetForFilter(const std::shared_ptr<imaging::Filter> &filter, const QString &key, CanvasController *master);
    void addTransformForFilter(const std::shared_ptr<imaging::Filter> &filter, const QString &key, CanvasController *master);
    void addImageWellForFilter(const std::shared_ptr<imaging::Filter> &filter, const QString &key, CanvasController *master);

    // Shortens `text` with "..." until it fits `width` points in `font` ("Replacement Color" is
    // first written "Replace With").
    static QString ellipsizeField(float width, const QFont &font, const QString &text);
    // Picture conversions between the engine and Qt.
    static imaging::Image CIImageWithNSImage(const QImage &image);
    static QImage CIImageToNSImage(const imaging::Image &image, const QRectF &rect);
    // See transformfields.h.
    static TransformFields decomposeTransform(double m11, double m12, double m21, double m22)
    {
        return ::decomposeTransform(m11, m12, m21, m22);
    }
    // The readout text of a value in the input's unit.
    static QString readoutText(int dataType, float value);
    // A typed readout value converted into the input's unit.
    static float valueFromReadout(int dataType, double typed);

    // Change handlers (the controls' actions), handed to the row's kind; a row of another kind (or
    // none yet) ignores them. Public so that a caller can drive a row as the controls would
    // (tests, the canvas benchmark).
    void sliderChanged();
    void readoutTextFieldChanged();
    void checkBoxChanged();
    void colorWellChanged();
    void readoutChanged(int index);    // readout1TextFieldChanged ... readout4TextFieldChanged
    void readoutDidChange(int index);  // readout1DidChange ... readout4DidChange (each keystroke)
    void scaleSliderChanged();
    void angleSliderChanged();
    void stretchSliderChanged();
    void skewSliderChanged();
    void scaleReadoutTextFieldChanged();
    void angleReadoutTextFieldChanged();
    void stretchReadoutTextFieldChanged();
    void skewReadoutTextFieldChanged();
    void imageWellChanged();
    void pushButtonChanged();

    // Read access for the box, the benchmark and tests: the controls of the row's kind, nullptr
    // for controls the kind does not have.
    QString key() const;
    FloatSlider *slider() const;
    QLineEdit *readoutTextField() const;
    QLabel *labelTextField() const;
    QCheckBox *checkBox() const;
    ColorWell *colorWell() const;
    VurEvoduImageView *imageView() const;
    QPushButton *pushButton() const;
    QLineEdit *readoutField(int index) const;
    FloatSlider *transformSlider(int part) const;       // 0 scale, 1 angle, 2 stretch, 3 skew
    QLineEdit *transformReadout(int part) const;
    int dataType() const;
    float lastFloatValue() const;
    TransformFields lastTransformFields() const;

private:
    template <typename Row> Row *rowAs() const { return dynamic_cast<Row *>(m_row); }

    ParameterRow *m_row = nullptr; // a child object, made by the builder
};
