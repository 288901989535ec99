// The 3D mode: the two 3D prototypes and their list, the current 3D effect, and what the 3D canvas
// asks of it (drawing, mouse, frame captures).
#include "app/controller.h"

#include "app/mainwindow.h"
#include "effects/baseeffect.h"
#include "effects/effectcatalog.h"
#include "effects/effectlistmodel.h"
#include "effects/texture2d.h"
#include "platform/undomanager.h"
#include "views/myoglview.h"
#include "widgets/onlytextclosedbutton.h"

#include <QItemSelectionModel>
#include <QSplitter>
#include <QTreeView>

void Controller::connect3DMode()
{
    // The panel under the list receives the current effect's controls.
    QWidget *panel = window ? window->findChild<QWidget *>(QStringLiteral("controlPanel1")) : nullptr;
    if (!eval3DEffect) {
        eval3DEffect = EffectCatalog::prototype(QStringLiteral("EvalEffect"));
        object3DEffect = EffectCatalog::prototype(QStringLiteral("ObjectEffect"));
        eval3DEffect->setTopControlsView(panel);
        object3DEffect->setTopControlsView(panel);
    }
    if (!m_3DListModel)
        m_3DListModel = new EffectListModel(EffectListModel::MarkAll, this);
    static_cast<EffectListModel *>(m_3DListModel)->setEffects({eval3DEffect.get(), object3DEffect.get()});

    if (openGLView)
        openGLView->setController(this);

    if (!filter3DOutlineView)
        return;
    static_cast<EffectListModel *>(m_3DListModel)->showIn(filter3DOutlineView);
    // Two rows need little room: give the rest to the control panel under the list.
    if (auto *page = qobject_cast<QSplitter *>(filter3DOutlineView->parentWidget()))
        page->setSizes({120, 460});
    connect(filter3DOutlineView->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] {
        const QModelIndexList rows = filter3DOutlineView->selectionModel()->selectedRows(1);
        outlineViewSelectionDidChange_3D(rows.isEmpty() ? QModelIndex() : rows.first());
    });
}

void Controller::outlineViewSelectionDidChange_3D(const QModelIndex &item)
{
    if (current3DEffect) {
        if (UndoManager *um = undoManager())
            um->removeAllActionsWithTarget(current3DEffect.get());
        current3DEffect->clearEffect();
        current3DEffect.reset();
    }
    if (m_selectes_FavBtn3D) {
        m_selectes_FavBtn3D->setChecked(false);
        m_selectes_FavBtn3D = nullptr;
    }
    auto *model = static_cast<EffectListModel *>(m_3DListModel);
    if (BaseEffect *prototype = model ? model->effectAt(item) : nullptr) {
        current3DEffect = prototype->mycopy();
        current3DEffect->setUpControlsView();
        setWasChanged(true);
    }
    // Without an effect the canvas shows the plain image.
    if (openGLView)
        openGLView->update();
    updateMainBtnState();
}

bool Controller::has3DEffect() const
{
    return bool(current3DEffect);
}

void Controller::draw3DScene()
{
    if (current3DEffect)
        current3DEffect->draw();
    else
        Texture2D::drawImageFlat(backgroundImage);
}

void Controller::effect3DMouse(int kind, const QPointF &viewPoint)
{
    if (!current3DEffect)
        return;
    switch (kind) {
    case 0: current3DEffect->mouseDown(viewPoint); break;
    case 1: current3DEffect->mouseDragged(viewPoint); break;
    case 2: current3DEffect->mouseUp(viewPoint); break;
    default: break;
    }
}

QImage Controller::threeDPicture()
{
    return current3DEffect && openGLView ? openGLView->ogl_shot() : QImage();
}

imaging::Image Controller::threeDResult()
{
    return current3DEffect && openGLView ? openGLView->ogl_shot_CI() : imaging::Image();
}
