#include "imaging/filterregistry.h"

#include <algorithm>
#include <mutex>
#include <vector>

#include <QDebug>

#include "imaging/catalogue.h"

namespace imaging {

namespace {

struct Table
{
    std::mutex mutex;
    std::vector<std::shared_ptr<const FilterDescription>> filters;
};

// Registration that assumes the lock is held.
void insert(Table &t, FilterDescription &&d)
{
    auto shared = std::make_shared<const FilterDescription>(std::move(d));
    for (auto &f : t.filters)
        if (f->name == shared->name) {
            f = shared;
            return;
        }
    t.filters.push_back(std::move(shared));
}

Table &table()
{
    static Table *t = [] {
        auto *created = new Table; // lives for the whole program, like the filters it holds
        std::vector<FilterDescription> builtIn;
        catalogue::registerAll(builtIn);
        for (auto &d : builtIn) insert(*created, std::move(d));
        return created;
    }();
    return *t;
}

} // namespace

bool FilterRegistry::registerFilter(FilterDescription description)
{
    if (description.name.isEmpty() || !description.build) {
        qWarning("imaging: refusing to register a filter without a name or a kernel (\"%s\")",
                 qPrintable(description.name));
        return false;
    }
    Table &t = table();
    std::lock_guard lock(t.mutex);
    insert(t, std::move(description));
    return true;
}

std::shared_ptr<const FilterDescription> FilterRegistry::description(const QString &name)
{
    Table &t = table();
    std::lock_guard lock(t.mutex);
    for (const auto &f : t.filters)
        if (f->name == name) return f;
    return nullptr;
}

QStringList FilterRegistry::filterNames()
{
    Table &t = table();
    std::lock_guard lock(t.mutex);
    QStringList names;
    for (const auto &f : t.filters) names << f->name;
    return names;
}

QStringList FilterRegistry::filterNamesInCategories(const QStringList &categories)
{
    Table &t = table();
    std::lock_guard lock(t.mutex);
    QStringList names;
    for (const auto &f : t.filters) {
        const bool all = std::all_of(categories.begin(), categories.end(),
                                     [&](const QString &c) { return f->categories.contains(c); });
        if (all) names << f->name;
    }
    names.sort();
    return names;
}

QStringList FilterRegistry::filterNamesInCategory(const QString &category)
{
    if (category.isEmpty()) return filterNamesInCategories({});
    return filterNamesInCategories({category});
}

QString FilterRegistry::localizedNameForFilterName(const QString &name)
{
    auto d = description(name);
    return d ? d->displayName : QString();
}

QString FilterRegistry::localizedNameForCategory(const QString &category)
{
    QString s = category;
    if (s.startsWith(QLatin1String("CICategory"))) s = s.mid(10);
    QString out;
    for (int i = 0; i < s.size(); ++i) {
        if (i > 0 && s[i].isUpper() && !s[i - 1].isUpper()) out += QLatin1Char(' ');
        out += s[i];
    }
    return out;
}

void FilterRegistry::loadAllPlugIns()
{
    table(); // the built-in catalogue is ready after this; no external plug-ins exist yet
}

} // namespace imaging
