// The custom mode: the drawn effects' prototypes and list, the working copy of the chosen effect,
// and what the custom canvas asks of it.
#include "app/controller.h"

#include "app/mainwindow.h"
#include "effects/baseeffect.h"
#include "effects/effectcatalog.h"
#include "effects/effectlistmodel.h"
#include "platform/undomanager.h"
#include "views/customeffimageview.h"
#include "widgets/onlytextclosedbutton.h"

#include <QItemSelectionModel>
#include <QSplitter>
#include <QTreeView>

std::vector<BaseEffect *> Controller::customPrototypes() const
{
    return {m_simpleEffect.get(), m_lineEffect.get(), m_hilbertEffect.get(), m_patchWorkEffect.get(),
            m_flareEffect.get(), m_plasmaEffect.get(), m_pMorphingEffect.get(), m_sketchEffect.get()};
}

void Controller::connectCustomMode()
{
    BaseEffect::setMainController(this);
    connect(this, &QObject::destroyed, [] { BaseEffect::setMainController(nullptr); });

    // The panel under the list receives the working copy's controls.
    QWidget *panel = window ? window->findChild<QWidget *>(QStringLiteral("controlPanel2")) : nullptr;

    if (!m_simpleEffect) {
        std::unique_ptr<BaseEffect> *targets[] = {&m_simpleEffect,   &m_lineEffect,   &m_hilbertEffect,
                                                &m_patchWorkEffect, &m_flareEffect, &m_plasmaEffect,
                                                &m_pMorphingEffect, &m_sketchEffect};
        const QStringList classes = EffectCatalog::drawnEffectClassNames();
        for (int i = 0; i < classes.size(); ++i) {
            *targets[i] = EffectCatalog::prototype(classes[i]);
            (*targets[i])->setTopControlsView(panel);
        }
    }

    if (!m_customListModel)
        m_customListModel = new EffectListModel(EffectListModel::MarkMousing, this);
    static_cast<EffectListModel *>(m_customListModel)->setEffects(customPrototypes());

    if (!filterCustomOutlineView)
        return;
    static_cast<EffectListModel *>(m_customListModel)->showIn(filterCustomOutlineView);
    // Eight rows need little room: give the rest to the control panel under the list.
    if (auto *page = qobject_cast<QSplitter *>(filterCustomOutlineView->parentWidget()))
        page->setSizes({190, 400});
    connect(filterCustomOutlineView->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] {
        const QModelIndexList rows = filterCustomOutlineView->selectionModel()->selectedRows(1);
        outlineViewSelectionDidChange_Custom(rows.isEmpty() ? QModelIndex() : rows.first());
    });
}

void Controller::outlineViewSelectionDidChange_Custom(const QModelIndex &item)
{
    if (currentCustomEffect) {
        if (UndoManager *um = undoManager())
            um->removeAllActionsWithTarget(currentCustomEffect.get());
        currentCustomEffect->clearEffect();
        currentCustomEffect.reset();
    }
    if (m_selectes_FavBtnCustom) {
        m_selectes_FavBtnCustom->setChecked(false);
        m_selectes_FavBtnCustom = nullptr;
    }
    auto *model = static_cast<EffectListModel *>(m_customListModel);
    if (BaseEffect *prototype = model ? model->effectAt(item) : nullptr) {
        currentCustomEffect = prototype->mycopy();
        currentCustomEffect->setUpControlsView();
        setWasChanged(true);
    }
    // The working copy renders lazily, when the canvas asks for its picture.
    if (customEffectsView)
        customEffectsView->update();
    updateMainBtnState();
}

bool Controller::hasCustomEffect() const
{
    return bool(currentCustomEffect);
}

bool Controller::customEffectIsMousing() const
{
    return currentCustomEffect && currentCustomEffect->isMousing();
}

QPointF Controller::customEffectStartPoint() const
{
    return currentCustomEffect ? currentCustomEffect->startPoint() : QPointF();
}

void Controller::customEffectMouse(int kind, const QPointF &imagePoint)
{
    if (!currentCustomEffect)
        return;
    switch (kind) {
    case 0: currentCustomEffect->mouseDown(imagePoint); break;
    case 1:
        // A drag re-renders at the size the canvas shows; the release at full size.
        currentCustomEffect->setDisplayScale(customCanvasZoom());
        currentCustomEffect->mouseDragged(imagePoint);
        break;
    case 2: currentCustomEffect->mouseUp(imagePoint); break;
    default: break;
    }
}

double Controller::customCanvasZoom() const
{
    return customEffectsView ? customEffectsView->getZoom() : 1.0;
}

bool Controller::drawCustomEffect(QPainter &painter, const QRectF &target, const QRectF &source)
{
    if (!currentCustomEffect)
        return false;
    // The scale the canvas shows the picture at, for effects that render at that size.
    if (source.width() > 0)
        currentCustomEffect->setDisplayScale(target.width() / source.width());
    return currentCustomEffect->drawComposition(painter, target, source);
}
