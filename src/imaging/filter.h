#pragma once

#include <memory>

#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVariantMap>

#include "imaging/filterdescription.h"
#include "imaging/image.h"

namespace imaging {

// A filter made by name from the registry. It holds its input values, checks every value at the
// boundary (a wrong type is rejected with a log line naming the filter and the key; a number
// outside the hard range is clamped) and builds its output recipe on request.
class Filter
{
public:
    explicit Filter(std::shared_ptr<const FilterDescription> description);

    // nullptr for an unknown name. The new filter starts with its defaults.
    static std::shared_ptr<Filter> filterWithName(const QString &name);

    QString name() const { return m_description->name; }
    void setDefaults();
    QStringList inputKeys() const;
    QStringList outputKeys() const { return {QStringLiteral("outputImage")}; }
    QVariantMap attributes() const;
    // An invalid QVariant clears the input.
    void setValue(const QVariant &value, const QString &key);
    // "outputImage" gives the output; other keys their current value (invalid when unset).
    QVariant value(const QString &key) const;
    // The null image when an image input has no value.
    Image outputImage() const;

    const FilterDescription &description() const { return *m_description; }

    // Registry questions, as the filter class answers them.
    static QStringList filterNamesInCategory(const QString &category);
    static QStringList filterNamesInCategories(const QStringList &categories);
    static QString localizedNameForFilterName(const QString &name);
    static QString localizedNameForCategory(const QString &category);

private:
    std::shared_ptr<const FilterDescription> m_description;
    QVariantMap m_values;
};

} // namespace imaging
