#include "userdefaults.h"

#include "archive.h"

#include <QDebug>
#include <QSettings>

#include <cstdlib>

UserDefaults &UserDefaults::standardUserDefaults()
{
    static UserDefaults defaults;
    return defaults;
}

UserDefaults::UserDefaults()
    : m_settings(std::make_unique<QSettings>(QStringLiteral("Lumetta"), QStringLiteral("Lumetta")))
{
    // The file is replaced whole (written to a temporary name, then renamed), never left half
    // written by a crash.
    m_settings->setAtomicSyncRequired(true);
}

UserDefaults::UserDefaults(const QString &filePath)
    : m_settings(std::make_unique<QSettings>(filePath, QSettings::IniFormat))
{
    m_settings->setAtomicSyncRequired(true);
}

UserDefaults::~UserDefaults() = default;

bool UserDefaults::setObject(const QVariant &value, const QString &key)
{
    if (key.isEmpty()) {
        qWarning("UserDefaults: ignoring a value without a key");
        return false;
    }
    const QByteArray blob = Archive::archivedData(value); // logs why when it fails
    if (blob.isEmpty()) return false;
    m_settings->setValue(key, blob);
    return true;
}

std::optional<QVariant> UserDefaults::objectForKey(const QString &key) const
{
    if (key.isEmpty() || !m_settings->contains(key)) return std::nullopt;
    const QVariant stored = m_settings->value(key);
    if (stored.metaType().id() != QMetaType::QByteArray) {
        qWarning().noquote() << "UserDefaults: ignoring the value of" << key
                             << "(not a stored archive)";
        return std::nullopt;
    }
    QString error;
    auto value = Archive::unarchive(stored.toByteArray(), &error);
    if (!value)
        qWarning().noquote() << "UserDefaults: ignoring the damaged value of" << key << "-" << error;
    return value;
}

void UserDefaults::removeObjectForKey(const QString &key)
{
    if (!key.isEmpty()) m_settings->remove(key);
}

bool UserDefaults::synchronize()
{
    m_settings->sync();
    if (m_settings->status() != QSettings::NoError) {
        qWarning().noquote() << "UserDefaults: could not write" << m_settings->fileName();
        return false;
    }
    return true;
}

QString UserDefaults::fileName() const
{
    return m_settings->fileName();
}

void UserDefaults::setRecords(const QList<QVariantMap> &records, const QString &key)
{
    if (key.isEmpty())
        return;
    m_settings->remove(key);
    m_settings->beginWriteArray(key, int(records.size()));
    for (int i = 0; i < records.size(); ++i) {
        m_settings->setArrayIndex(i);
        for (auto it = records[i].begin(); it != records[i].end(); ++it)
            m_settings->setValue(it.key(), it.value());
    }
    m_settings->endArray();
}

std::optional<QList<QVariantMap>> UserDefaults::records(const QString &key) const
{
    if (key.isEmpty() || !m_settings->childGroups().contains(key))
        return std::nullopt;
    // The count is checked before the array is walked: a hand-edited size must not make us loop
    // over millions of empty records.
    bool ok = false;
    const int count = m_settings->value(key + QStringLiteral("/size")).toInt(&ok);
    if (!ok || count < 0 || count > maxRecords) {
        qWarning().noquote() << "UserDefaults: ignoring" << key << "(not a list of records)";
        return std::nullopt;
    }
    QList<QVariantMap> list;
    m_settings->beginReadArray(key);
    for (int i = 0; i < count; ++i) {
        m_settings->setArrayIndex(i);
        QVariantMap record;
        for (const QString &name : m_settings->childKeys())
            record.insert(name, m_settings->value(name));
        list.append(record);
    }
    m_settings->endArray();
    return list;
}

QString UserDefaults::frameKey(const QString &name)
{
    return QStringLiteral("WindowFrames/") + name;
}

void UserDefaults::setFrame(const QString &name, const QRect &frame)
{
    if (name.isEmpty()) return;
    setObject(QVariantList{frame.x(), frame.y(), frame.width(), frame.height()}, frameKey(name));
}

std::optional<QRect> UserDefaults::frame(const QString &name) const
{
    if (name.isEmpty()) return std::nullopt;
    const auto stored = objectForKey(frameKey(name));
    if (!stored) return std::nullopt;
    const QVariantList values = stored->toList();
    bool shapeOk = stored->metaType().id() == QMetaType::QVariantList && values.size() == 4;
    for (const QVariant &v : values) shapeOk = shapeOk && v.metaType().id() == QMetaType::Int;
    if (!shapeOk) {
        qWarning().noquote() << "UserDefaults: ignoring the saved frame" << name << "(not a frame)";
        return std::nullopt;
    }
    const qint64 x = values[0].toInt(), y = values[1].toInt();
    const qint64 width = values[2].toInt(), height = values[3].toInt();
    // Checked before a QRect is made, so that x + width cannot overflow; no window is made
    // absurdly large or placed absurdly far away either.
    if (width <= 0 || height <= 0 || width > maxFrameExtent || height > maxFrameExtent
        || std::abs(x) > maxFrameExtent || std::abs(y) > maxFrameExtent) {
        qWarning().noquote() << "UserDefaults: ignoring the implausible saved frame" << name << x << y
                             << width << "x" << height;
        return std::nullopt;
    }
    const QRect rect{int(x), int(y), int(width), int(height)};
    return rect;
}
