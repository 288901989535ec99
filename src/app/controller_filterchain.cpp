// The standard mode's filter chain: choosing a filter in the list, preparing it (defaults, image
// inputs, automatic defaults for filters that need special inputs), building its control box, the
// undoable input setters with their step names, and the list's selection handling.
#include "app/controller.h"
#include "app/datasource.h"

#include "imaging/filterdescription.h"
#include "imaging/qimageadapter.h"
#include "imaging/standardcomposition.h"
#include "platform/imagefiles.h"
#include "platform/autoresizing.h"
#include "platform/geometry.h"
#include "platform/undomanager.h"
#include "views/filterview.h"
#include "views/myimageview.h"
#include "views/parameterview.h"
#include "widgets/onlytextclosedbutton.h"

#include <QAbstractItemModel>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QSplitter>
#include <QTreeView>

namespace {

// Reads a default filter image from the resources once; a failure is logged and tried again on the
// next use.
imaging::Image loadDefaultImage(imaging::Image &cache, const QString &path)
{
    if (cache.isNull() && !path.isEmpty()) {
        QString error;
        const QImage picture = ImageFiles::readImageFile(path, &error);
        if (picture.isNull())
            qWarning("Controller: cannot read the default filter image %s: %s", qPrintable(path), qPrintable(error));
        else
            cache = imaging::imageFromQImage(picture);
    }
    return cache;
}

} // namespace

void Controller::addFilter(const QString &name, int index)
{
    currentFilter = imaging::Filter::filterWithName(name);
    if (currentFilter) {
        currentFilter->setDefaults();
        _setupAllImageInputsToNotNil(*currentFilter);
        setAutomaticDefaults(*currentFilter);
    } else {
        qWarning("Controller: there is no filter named \"%s\"", qPrintable(name));
    }
    updateFilterControls(index);
}

void Controller::_setupAllImageInputsToNotNil(imaging::Filter &filter)
{
    imaging::standardcomposition::setImageInputs(filter, backgroundImage);
}

void Controller::setAutomaticDefaults(imaging::Filter &filter)
{
    imaging::standardcomposition::DefaultImages images;
    images.texture = [this] { return defaultTexture(); };
    images.shadingMap = [this] { return defaultShadingEMap(); };
    images.alphaMap = [this] { return defaultAlphaEMap(); };
    images.ramp = [this] { return defaultRamp(); };
    images.mask = [this] { return defaultMask(); };
    // The circular wrap starts centred in the visible canvas.
    imaging::standardcomposition::setAutomaticDefaults(filter, ciView ? ciView->bounds() : imaging::Rect(), images);
}

void Controller::updateFilterControls(int tag)
{
    if (!placeCntrlView)
        return;
    QWidget *panel = placeCntrlView;
    panel->setMinimumHeight(0);
    const QRectF frame(0, 0, panel->width(), panel->height());
    auto *box = new FilterView(frame, panel);
    box->setFilter(currentFilter);
    box->show();
    // The box fills the controls area and follows its size.
    Autoresizing::attach(box, frame, NSViewWidthSizable | NSViewHeightSizable, frame.size());
    box->setMaster(this);
    box->setTag(tag);
    box->tryFilterHeader(currentFilter);

    QList<QPair<QString, FilterView::ControlType>> rows;
    if (currentFilter) {
        // The input that carries the current image gets no control.
        const QString carrier = imaging::standardcomposition::currentImageKey(*currentFilter);
        for (const imaging::InputDescription &in : currentFilter->description().inputs) {
            const FilterView::ControlType type = in.controlKind();
            if (type == FilterView::None || (type == FilterView::ImageWell && in.key == carrier))
                continue;
            rows.append({in.key, type});
        }
    }

    // Measuring pass, then the building pass over the same rows.
    for (const auto &row : rows)
        box->tryRow(row.second);
    box->trimBox();
    box->addFilterHeader(currentFilter, tag, true);
    for (const auto &[key, type] : rows)
        box->addRow(type, currentFilter, key);

    // When the rows need more height than the area has, the area grows and its scroll view scrolls;
    // the rows keep their distance from the top. The minimum holds also when the area is made
    // smaller later (the splitter above it dragged down), so the rows scroll instead of being cut.
    // The area shrinks back when the box goes away.
    const int needed = box->neededHeight();
    panel->setMinimumHeight(needed);
    if (needed > panel->height())
        panel->resize(panel->width(), needed);
    QObject::connect(box, &QObject::destroyed, panel, [panel] {
        panel->setMinimumHeight(0);
        if (QWidget *viewport = panel->parentWidget())
            panel->resize(viewport->size());
    });
}

imaging::Image Controller::defaultTexture() { return loadDefaultImage(texture, texturepath); }
imaging::Image Controller::defaultShadingEMap() { return loadDefaultImage(shadingemap, shadingemappath); }
imaging::Image Controller::defaultAlphaEMap() { return loadDefaultImage(alphaemap, alphaemappath); }
imaging::Image Controller::defaultRamp() { return loadDefaultImage(ramp, ramppath); }
imaging::Image Controller::defaultMask() { return loadDefaultImage(mask, maskpath); }

void Controller::setFilter(const std::shared_ptr<imaging::Filter> &filter, const QVariant &value, const QString &key)
{
    if (!filter)
        return;
    const QVariant old = filter->value(key);
    filter->setValue(value, key);
    // The inverse step sets the old value back, and records its own inverse in turn (redo).
    if (UndoManager *um = undoManager())
        um->registerUndo(this, [this, filter, old, key] { setFilter(filter, old, key); });
}

void Controller::setDict(const std::shared_ptr<QVariantMap> &dict, const QVariant &value, const QString &key)
{
    if (!dict)
        return;
    const QVariant old = dict->value(key);
    if (value.isValid())
        dict->insert(key, value);
    else
        dict->remove(key);
    if (UndoManager *um = undoManager())
        um->registerUndo(this, [this, dict, old, key] { setDict(dict, old, key); });
}

void Controller::setActionNameForFilter(const std::shared_ptr<imaging::Filter> &filter, const QString &key)
{
    if (!filter)
        return;
    if (UndoManager *um = undoManager())
        um->setActionName(actionNameForFilter(*filter, key));
}

QString Controller::actionNameForFilter(const imaging::Filter &filter, const QString &key)
{
    return QStringLiteral("Change to %1 %2")
        .arg(imaging::Filter::localizedNameForFilterName(filter.name()), unInterCap1(key.mid(5)));
}

QString Controller::unInterCap1(const QString &text)
{
    return unInterCap(text);
}

bool Controller::isControlsPresent(const imaging::Filter &filter)
{
    return filter.description().hasCanvasHandles();
}

bool Controller::isControlsPresent() const
{
    return currentFilter && isControlsPresent(*currentFilter);
}

namespace {

QModelIndex selectedItem(QTreeView *list)
{
    if (!list || !list->selectionModel())
        return {};
    const QModelIndexList rows = list->selectionModel()->selectedRows();
    return rows.isEmpty() ? QModelIndex() : rows.first();
}

// The filter name of a filter row: the record's "class". Models other than the catalogue hand the
// record out under Qt::UserRole (as a map, or the name alone).
QString filterClassOf(const QModelIndex &index)
{
    if (!index.isValid())
        return {};
    if (const auto *catalogue = qobject_cast<const DataSource *>(index.model()))
        return catalogue->filterRecord(index).value(QStringLiteral("class")).toString();
    const QVariant data = index.data(Qt::UserRole);
    if (data.metaType() == QMetaType::fromType<QVariantMap>())
        return data.toMap().value(QStringLiteral("class")).toString();
    return data.toString();
}

} // namespace

void Controller::outlineViewSelectionDidChange(QTreeView *list)
{
    switch (filerMode()) {
    case FilterMode::Standard: outlineViewSelectionDidChange_CIF(list); break;
    default: break; // the 3D and custom lists have handlers of their own
    }
    updateMainBtnState();
    updateView();
}

void Controller::outlineViewSelectionDidChange_CIF(QTreeView *list)
{
    // Clearing the selection below re-enters through the selection signal; that pass has nothing
    // left to do.
    static bool busy = false;
    if (busy)
        return;
    busy = true;
    const QModelIndex item = selectedItem(list);
    const QString filterClass = item.isValid() && !list->model()->hasChildren(item) ? filterClassOf(item) : QString();
    if (!filterClass.isEmpty()) {
        clearControls();
        addFilter(filterClass, 111);
        updateView();
        if (m_selectes_FavBtn)
            m_selectes_FavBtn->setChecked(false);
        m_selectes_FavBtn = nullptr;
        setWasChanged(true);
    } else if (item.isValid() && list->model()->hasChildren(item)) {
        // A category row opens or closes and drops the current filter.
        list->setExpanded(item, !list->isExpanded(item));
        clearAll();
    } else {
        clearAll();
    }
    busy = false;
}

void Controller::connectStandardMode()
{
    if (!listView)
        return;
    if (!listView->model()) {
        // The catalogue of filters, owned by the list.
        listView->setModel(new DataSource(listView));
        listView->header()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
        listView->header()->setStretchLastSection(true);
    }
    // The list and the controls under it share their column; the controls get two fifths, so
    // that a filter's rows show without scrolling in the usual case.
    if (auto *split = qobject_cast<QSplitter *>(listView->parentWidget()); split && split->count() == 2) {
        const int total = std::max(split->height(), 600);
        split->setSizes({total * 3 / 5, total - total * 3 / 5});
    }
    if (!listView->selectionModel())
        return;
    connect(listView->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this] { outlineViewSelectionDidChange(listView); });
}
