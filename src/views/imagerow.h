#pragma once

#include "views/parameterrow.h"

class QPushButton;
class VurEvoduImageView;

// An image input: caption, an image well showing a thumbnail (files can be dropped on it) and a
// "Choose" button that opens a file dialog. An unreadable file leaves the input as it was.
class ImageRow : public ParameterRow
{
public:
    ImageRow(ParameterView *view, const std::shared_ptr<imaging::Filter> &filter, const QString &key,
             CanvasController *master);

    void imageWellChanged();
    void pushButtonChanged();

    VurEvoduImageView *imageView() const { return m_well; }
    QPushButton *pushButton() const { return m_button; }

private:
    void showThumbnail();

    VurEvoduImageView *m_well = nullptr;
    QPushButton *m_button = nullptr;
};
