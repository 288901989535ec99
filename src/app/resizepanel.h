#pragma once

#include <QDialog>
#include <QPointer>

class Controller;
class QAction;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

// The non-modal tool window that gives the image a new pixel size. The size is typed in pixels,
// percent or a physical unit (72 points to the inch, one point per pixel), optionally keeping the
// proportions; Resize converts the entry to pixels and asks the controller to resize the image.
// One panel per process is the shared one: the controller tells it the size of every new image.
class ResizePanel : public QDialog
{
    Q_OBJECT
public:
    // Unit codes, carried as item data by the unit pop-up.
    enum Unit { Pixels = 1, Percent = 2, Inches = 3, Millimetres = 4, Centimetres = 5, Picas = 6 };

    explicit ResizePanel(Controller *controller, QWidget *parent = nullptr);
    ~ResizePanel() override;

    // The first panel made registers itself as the shared one (null when none is alive).
    static ResizePanel *sharedPanel();
    // Tells the shared panel, if any, the size of the current image.
    static void setSharedWH(float w, float h);

    // Stores the image's pixel size, shows it in pixels in both fields and in the caption.
    void setWH(float w, float h);
    // Points per unit of a unit code; 0 asks for the current unit. Pixels, percent and unknown
    // codes give 1.
    float getDiv(int code) const;
    // A value in the current unit converted to pixels.
    float toPoint(float v) const;
    // The menu item's state: checked while the panel is visible; always enabled.
    bool validateMenuItem(QAction *item) const;

    // State, public for the controller and tests.
    QLineEdit *mWidth = nullptr;
    QLineEdit *mHeight = nullptr;
    QLabel *mCaptionInfo = nullptr;
    QComboBox *mMeasurePopup = nullptr;
    // Checked ("selected"): width and height change independently; unchecked keeps the proportions.
    QPushButton *mPropBtn = nullptr;
    float width = 0;
    float height = 0;
    int mMeasurement = Pixels;
    bool wasChanged = false;

public slots:
    // Takes the current image's size, returns to pixels and shows the panel.
    void makeKeyAndOrderFront();
    // The unit pop-up's action: re-expresses both fields in the newly chosen unit.
    void changeMeasurements();
    // The Resize button: converts the entry to pixels and resizes the image (only after an edit).
    void resize();
    // Puts the stored size back into the fields, in pixels (after a resize too; the panel stays
    // open then). The Cancel button and Esc run it and close the panel.
    void cancel();
    // A field's edit ended: marks the entry changed and, keeping proportions, updates the other field.
    void controlTextDidEndEditing(QLineEdit *field);

private:
    float fieldValue(const QLineEdit *field) const;
    void setFieldValue(QLineEdit *field, float value);
    void selectUnit(int code);

    QPointer<Controller> controller;
    QPushButton *mResizeBtn = nullptr;
    QPushButton *mCancelBtn = nullptr;

    static ResizePanel *s_shared;
};
