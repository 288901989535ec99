#include "effects/stillimagehost.h"

#include "effects/baseeffect.h"
#include "imaging/qimageadapter.h"
#include "platform/undomanager.h"

StillImageHost::StillImageHost(const QImage &image)
    : m_undo(std::make_unique<UndoManager>())
{
    setImage(image);
    BaseEffect::setMainController(this);
}

StillImageHost::~StillImageHost()
{
    // A host made after this one and still alive stays the effects' controller.
    if (BaseEffect::mainController() == this)
        BaseEffect::setMainController(nullptr);
}

void StillImageHost::setImage(const QImage &image)
{
    m_image = image.isNull() ? imaging::Image() : imaging::imageFromQImage(image);
}

void StillImageHost::endEvent()
{
    m_undo->closeImplicitGroup();
}
