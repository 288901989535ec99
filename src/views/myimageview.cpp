#include "views/myimageview.h"

#include "views/canvascontroller.h"

imaging::Image MyImageView::pictureForDisplay()
{
    return controller() ? controller()->coreImageResult(false) : imaging::Image();
}
