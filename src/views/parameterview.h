#pragma once

#include "imaging/filter.h"
#include "imaging/image.h"
#include "imaging/values.h"

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

// The four parts of a 2D transform as the transform row shows them (see decomposeTransform).
struct TransformFields
{
    float scale = 1, angle = 0, stretch = 1, skew = 0;
};
imaging::AffineTransform standard_fields_to_transform(float scale, float angle, float stretch, float skew,
                                                       float tX, float tY);
imaging::Vector standard_fields_to_transform_vector(float scale, float angle, float stretch, float skew,
                                                     float tX, float tY);

// One control row of the filter box: the controls for one input of the current filter. It shows
// the input's value and turns every user change into a new value that it hands to the controller
// (which records undo and asks for a redraw); it never sets the filter itself and never renders.
class ParameterView : public QWidget
{
    Q_OBJECT
public:
    // Units of a number row: how the readout shows the input's own value.
    enum DataType { Scalar = 0, Angle = 1, Time = 2, Distance = 3 };

    // The row is sized by its box before one of the builders lays its controls out.
    explicit ParameterView(QWidget *parent = nullptr);

    // Row builders: each is sent once, right after the row has its final size.
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
    // Splits a transform into scale, angle (0 <= a < 2 pi), stretch and skew, such that
    // standard_fields_to_transform gives it back. Every field is finite: a transform that has no
    // such decomposition (zero scale) shows as the identity's fields.
    static TransformFields decomposeTransform(double m11, double m12, double m21, double m22);
    // The readout text of a value in the input's unit.
    static QString readoutText(int dataType, float value);
    // A typed readout value converted into the input's unit.
    static float valueFromReadout(int dataType, double typed);

    // Change handlers (the controls' actions). Public so that a caller can drive a row as the
    // controls would (tests, the canvas benchmark).
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

    // Read access for the box, the benchmark and tests.
    QString key() const { return m_key; }
    FloatSlider *slider() const { return m_slider; }
    QLineEdit *readoutTextField() const { return readoutTextFieldPtr; }
    QLabel *labelTextField() const { return labelTextFieldPtr; }
    QCheckBox *checkBox() const { return checkBoxPtr; }
    ColorWell *colorWell() const { return colorWellPtr; }
    VurEvoduImageView *imageView() const { return imageViewPtr; }
    QPushButton *pushButton() const { return pushButtonPtr; }
    QLineEdit *readoutField(int index) const;
    FloatSlider *transformSlider(int part) const;       // 0 scale, 1 angle, 2 stretch, 3 skew
    QLineEdit *transformReadout(int part) const;
    int dataType() const { return m_dataType; }
    float lastFloatValue() const { return m_lastFloatValue; }
    TransformFields lastTransformFields() const
    {
        return {lastScaleFloatValue, lastAngleFloatValue, lastStretchFloatValue, lastSkewFloatValue};
    }

private:
    void store(const std::shared_ptr<imaging::Filter> &filter, const QString &key, CanvasController *master);
    QVariantMap inputAttributes() const;
    QString captionText(bool checkPrefix) const;
    QLabel *makeCaption(const QRectF &frame, const QString &text, bool shorten);
    QLineEdit *makeReadout(const QRectF &frame, unsigned mask);
    void place(QWidget *child, const QRectF &frame, unsigned mask);
    void commit(const QVariant &value);
    void buildVectorRow(const std::shared_ptr<imaging::Filter> &filter, const QString &key, CanvasController *master,
                        int fields);
    void commitVectorComponent(int index, bool whileTyping);
    // The transform handlers share one pattern; `part` picks the field (0 scale ... 3 skew).
    void transformChanged(int part, float value, bool fromSlider);
    void commitTransform();
    bool transformPartReady(int part);

    std::shared_ptr<imaging::Filter> m_filter;
    QString m_key;
    CanvasController *m_master = nullptr;

    FloatSlider *m_slider = nullptr;
    int m_dataType = Scalar;
    QCheckBox *checkBoxPtr = nullptr;
    ColorWell *colorWellPtr = nullptr;
    QVariant m_valueBeforePreview; // the input's value while the colour dialog previews others
    VurEvoduImageView *imageViewPtr = nullptr;
    QPushButton *pushButtonPtr = nullptr;
    QLabel *labelTextFieldPtr = nullptr;
    QLineEdit *readoutTextFieldPtr = nullptr;
    int beforeDecimal = 4, afterDecimal = 2;
    float m_lastFloatValue = 0;

    FloatSlider *transformSliders[4] = {};
    QLabel *transformLabels[4] = {};
    QLineEdit *transformReadouts[4] = {};
    int transformDataTypes[4] = {Scalar, Angle, Scalar, Scalar};
    float lastScaleFloatValue = 1, lastAngleFloatValue = 0, lastStretchFloatValue = 1, lastSkewFloatValue = 0;
    bool usingNSAffineTransform = false;

    QLineEdit *readoutFields[4] = {};
};
