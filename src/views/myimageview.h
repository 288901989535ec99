#pragma once

#include "views/zoomableimageview.h"

// The standard mode's canvas: the current filter's result over the current image.
class MyImageView : public ZoomableImageView
{
    Q_OBJECT
public:
    using ZoomableImageView::ZoomableImageView;

protected:
    imaging::Image pictureForDisplay() override;
};
