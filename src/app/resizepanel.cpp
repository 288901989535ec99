#include "app/resizepanel.h"

#include "app/controller.h"

#include <QAction>
#include <QComboBox>
#include <QDoubleValidator>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <cmath>

ResizePanel *ResizePanel::s_shared = nullptr;

namespace {
// Fields show at most this many decimals: enough for a pixel-exact round trip through any unit.
constexpr int fieldDecimals = 4;
} // namespace

ResizePanel::ResizePanel(Controller *controller, QWidget *parent)
    : QDialog(parent, Qt::Tool)
    , controller(controller)
{
    setWindowTitle(tr("Resize Image"));
    setModal(false);
    setSizeGripEnabled(false);

    // Numbers are read and written in one locale, without group separators, so that what the
    // fields show always parses back.
    QLocale numbers = locale();
    numbers.setNumberOptions(QLocale::OmitGroupSeparator | QLocale::RejectGroupSeparator);
    setLocale(numbers);

    auto *layout = new QVBoxLayout(this);
    auto *form = new QFormLayout;
    auto makeField = [this, numbers] {
        auto *field = new QLineEdit(this);
        auto *validator = new QDoubleValidator(0.0, 1e7, fieldDecimals, field);
        validator->setNotation(QDoubleValidator::StandardNotation);
        validator->setLocale(numbers);
        field->setValidator(validator);
        field->setLocale(numbers);
        field->setAlignment(Qt::AlignRight);
        field->setMinimumWidth(110);
        connect(field, &QLineEdit::editingFinished, this, [this, field] { controlTextDidEndEditing(field); });
        return field;
    };
    mWidth = makeField();
    mHeight = makeField();

    mMeasurePopup = new QComboBox(this);
    mMeasurePopup->addItem(tr("pixels"), int(Pixels));
    mMeasurePopup->addItem(tr("percent"), int(Percent));
    mMeasurePopup->addItem(tr("inches"), int(Inches));
    mMeasurePopup->addItem(tr("millimetres"), int(Millimetres));
    mMeasurePopup->addItem(tr("centimetres"), int(Centimetres));
    mMeasurePopup->addItem(tr("picas"), int(Picas));
    connect(mMeasurePopup, &QComboBox::activated, this, &ResizePanel::changeMeasurements);

    mPropBtn = new QPushButton(tr("Free proportions"), this);
    mPropBtn->setCheckable(true);
    mPropBtn->setAutoDefault(false);
    mPropBtn->setToolTip(tr("Pressed in: width and height change independently.\n"
                            "Released: editing one side scales the other to keep the proportions."));

    auto *widthRow = new QHBoxLayout;
    widthRow->addWidget(mWidth, 1);
    widthRow->addWidget(mMeasurePopup);
    auto *heightRow = new QHBoxLayout;
    heightRow->addWidget(mHeight, 1);
    heightRow->addWidget(mPropBtn);
    form->addRow(tr("Width:"), widthRow);
    form->addRow(tr("Height:"), heightRow);
    layout->addLayout(form);

    mCaptionInfo = new QLabel(this);
    mCaptionInfo->setAlignment(Qt::AlignCenter);
    layout->addWidget(mCaptionInfo);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    mCancelBtn = new QPushButton(QStringLiteral("Cancel"), this);
    mCancelBtn->setAutoDefault(false);
    mResizeBtn = new QPushButton(QStringLiteral("Resize"), this);
    mResizeBtn->setDefault(true);
    // Cancel discards the entry and closes the panel; Esc does the same (QDialog's reject).
    connect(mCancelBtn, &QPushButton::clicked, this, &ResizePanel::reject);
    connect(this, &QDialog::rejected, this, &ResizePanel::cancel);
    connect(mResizeBtn, &QPushButton::clicked, this, &ResizePanel::resize);
    buttons->addWidget(mCancelBtn);
    buttons->addWidget(mResizeBtn);
    layout->addLayout(buttons);

    setWH(0, 0);
    if (!s_shared)
        s_shared = this;
}

ResizePanel::~ResizePanel()
{
    if (s_shared == this)
        s_shared = nullptr;
}

ResizePanel *ResizePanel::sharedPanel() { return s_shared; }

void ResizePanel::setSharedWH(float w, float h)
{
    if (s_shared)
        s_shared->setWH(w, h);
}

float ResizePanel::fieldValue(const QLineEdit *field) const
{
    bool ok = false;
    const float v = locale().toFloat(field->text(), &ok);
    return ok ? v : 0.0f;
}

void ResizePanel::setFieldValue(QLineEdit *field, float value)
{
    // Fixed decimals, then trailing zeros dropped: 640 shows as "640", 640 / 72 as "8.8889".
    QString text = locale().toString(double(value), 'f', fieldDecimals);
    const QChar point = locale().decimalPoint().at(0);
    if (text.contains(point)) {
        while (text.endsWith(QLatin1Char('0')))
            text.chop(1);
        if (text.endsWith(point))
            text.chop(1);
    }
    field->setText(text); // also clears the field's modified flag
}

void ResizePanel::selectUnit(int code)
{
    const int index = mMeasurePopup->findData(code);
    if (index >= 0)
        mMeasurePopup->setCurrentIndex(index);
    mMeasurement = code;
}

void ResizePanel::setWH(float w, float h)
{
    width = w;
    height = h;
    setFieldValue(mWidth, w);
    setFieldValue(mHeight, h);
    // The fields now hold pixels, so the unit must say so: left in another unit, the next edit
    // or unit change would convert pixel values as if they were inches or percent.
    selectUnit(Pixels);
    mCaptionInfo->setText(QString::asprintf("%d x %d pixels", int(w), int(h)));
    wasChanged = false;
}

float ResizePanel::getDiv(int code) const
{
    if (code == 0)
        code = mMeasurement;
    switch (code) {
    case Inches: return 72.0f;
    case Millimetres: return 2.835f;
    case Centimetres: return 28.35f;
    case Picas: return 12.0f;
    default: return 1.0f;
    }
}

float ResizePanel::toPoint(float v) const { return getDiv(0) / getDiv(Pixels) * v; }

bool ResizePanel::validateMenuItem(QAction *item) const
{
    if (item) {
        item->setCheckable(true);
        item->setChecked(isVisible());
    }
    return true;
}

void ResizePanel::makeKeyAndOrderFront()
{
    if (controller) {
        const imaging::Rect extent = controller->getBgImageExtent();
        if (!extent.isEmpty() && !extent.isInfinite())
            setWH(float(extent.width()), float(extent.height()));
    }
    selectUnit(Pixels);
    show();
    raise();
    activateWindow();
}

void ResizePanel::changeMeasurements()
{
    const int m1 = mMeasurement;
    const int m2 = mMeasurePopup->currentData().toInt();
    if (m1 == m2)
        return;
    const float r = 1.0f / getDiv(m2);
    float w = fieldValue(mWidth);
    float h = fieldValue(mHeight);
    if (m2 != Percent && m1 != Percent) {
        if (wasChanged) {
            w = toPoint(w);
            h = toPoint(h);
        } else {
            // Unedited fields: start from the exact stored size, not from rounded field text.
            w = width;
            h = height;
        }
        w *= r;
        h *= r;
    } else if (m2 != Percent) {
        w = width * (w / 100.0f) * r;
        h = height * (h / 100.0f) * r;
    } else {
        // Without a stored size there is nothing to take a percentage of.
        w = width > 0 ? toPoint(w) / width * 100.0f : 100.0f;
        h = height > 0 ? toPoint(h) / height * 100.0f : 100.0f;
    }
    // Writing the fields clears their modified flags; wasChanged keeps the record of an edit.
    setFieldValue(mWidth, w);
    setFieldValue(mHeight, h);
    mMeasurement = m2;
}

void ResizePanel::controlTextDidEndEditing(QLineEdit *field)
{
    // Focus moving through a field without typing is not an edit.
    if (!field || !field->isModified())
        return;
    field->setModified(false);
    wasChanged = true;
    if (mPropBtn->isChecked())
        return;
    // Percentages are the same on both sides; other units scale by the image's aspect ratio,
    // which is unknown (and left alone) while there is no stored size.
    const bool percent = mMeasurement == Percent;
    if (field == mWidth) {
        if (percent || width > 0)
            setFieldValue(mHeight, fieldValue(mWidth) * (percent ? 1.0f : height / width));
    } else if (field == mHeight) {
        if (percent || height > 0)
            setFieldValue(mWidth, fieldValue(mHeight) * (percent ? 1.0f : width / height));
    }
}

void ResizePanel::resize()
{
    if (!wasChanged)
        return;
    float w, h;
    if (mMeasurement == Percent) {
        w = fieldValue(mWidth) / 100.0f * width;
        h = fieldValue(mHeight) / 100.0f * height;
    } else {
        w = toPoint(fieldValue(mWidth));
        h = toPoint(fieldValue(mHeight));
    }
    if (!controller)
        return;
    // The controller refuses empty, non-finite and oversized results (and says so in the log);
    // then the entry stays in the fields for correcting instead of being reset.
    const imaging::Image before = controller->backImage();
    controller->resizeImage(w, h);
    if (controller->backImage() == before) {
        qWarning("Resize panel: the image was not resized to %g x %g pixels", double(w), double(h));
        return;
    }
    cancel();
}

void ResizePanel::cancel()
{
    setFieldValue(mWidth, width);
    setFieldValue(mHeight, height);
    mMeasurePopup->setCurrentIndex(0);
    mMeasurement = Pixels;
    wasChanged = false;
}
