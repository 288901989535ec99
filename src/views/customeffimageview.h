#pragma once

#include "views/zoomableimageview.h"

// The custom mode's canvas: the working copy's picture over the current image, or the current image
// alone while no effect is chosen.
class customEffImageView : public ZoomableImageView
{
    Q_OBJECT
public:
    using ZoomableImageView::ZoomableImageView;

protected:
    imaging::Image pictureForDisplay() override;
};
