#include "views/customeffimageview.h"

#include "views/canvascontroller.h"

imaging::Image customEffImageView::pictureForDisplay()
{
    return controller() ? controller()->backImage() : imaging::Image();
}
