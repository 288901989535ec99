#include "effects/baseeffect.h"

#include "imaging/qimageadapter.h"
#include "platform/undomanager.h"
#include "views/canvascontroller.h"

#include <QLayout>

namespace {
CanvasController *s_mainController = nullptr;
// Guarded: the window's undo manager may be destroyed before the effects when the window closes.
QPointer<UndoManager> s_undoManager;
}

BaseEffect::BaseEffect() = default;

BaseEffect::~BaseEffect()
{
    // Undo steps hold closures that call back into this object: they must not outlive it.
    if (s_undoManager)
        s_undoManager->removeAllActionsWithTarget(this);
}

CanvasController *BaseEffect::mainController()
{
    return s_mainController;
}

void BaseEffect::setMainController(CanvasController *controller)
{
    s_mainController = controller;
    s_undoManager = controller ? controller->undoManager() : nullptr;
}

UndoManager *BaseEffect::undoManager()
{
    return s_undoManager;
}

void BaseEffect::clearTopControlsView()
{
    if (!topControlsView)
        return;
    // Children are deleted one at a time from the first, as long as any widget is left.
    for (;;) {
        const QList<QWidget *> children = topControlsView->findChildren<QWidget *>(Qt::FindDirectChildrenOnly);
        if (children.isEmpty())
            break;
        delete children.first();
    }
}

std::unique_ptr<BaseEffect> BaseEffect::copyWithZone() const
{
    std::unique_ptr<BaseEffect> copy = create();
    copy->name = name;
    copy->m_tips = m_tips;
    copy->topControlsView = topControlsView;
    return copy;
}

void BaseEffect::read(const QVariantMap &settings)
{
    if (settings.contains(QStringLiteral("Name")))
        name = settings.value(QStringLiteral("Name")).toString();
    if (settings.contains(QStringLiteral("Tips")))
        m_tips = settings.value(QStringLiteral("Tips")).toString();
    bool ok = false;
    const float x = settings.value(QStringLiteral("startPT.x")).toFloat(&ok);
    if (ok)
        m_startPT.setX(x);
    const float y = settings.value(QStringLiteral("startPT.y")).toFloat(&ok);
    if (ok)
        m_startPT.setY(y);
}

QVariantMap BaseEffect::save() const
{
    QVariantMap settings;
    settings.insert(QStringLiteral("Name"), name);
    settings.insert(QStringLiteral("Tips"), m_tips);
    // Single precision, as the settings have always stored the anchor.
    settings.insert(QStringLiteral("startPT.x"), float(m_startPT.x()));
    settings.insert(QStringLiteral("startPT.y"), float(m_startPT.y()));
    settings.insert(QStringLiteral("class"), QString::fromLatin1(metaObject()->className()));
    return settings;
}

void BaseEffect::registerUndo(std::function<void()> action)
{
    if (m_recordUndo && s_mainController && s_undoManager)
        s_undoManager->registerUndo(this, std::move(action));
}

QImage BaseEffect::currentImage()
{
    if (!s_mainController)
        return {};
    const imaging::Image image = s_mainController->backImage();
    if (image.isNull() || image.extent().isInfinite() || image.extent().isEmpty())
        return {};
    return imaging::qimageFromImage(image);
}
