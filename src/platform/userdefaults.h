#pragma once

#include <QRect>
#include <QString>
#include <QVariant>

#include <memory>
#include <optional>

class QSettings;

// The program's persistent settings: favourites of the three modes and saved window frames.
// Each value is stored as an Archive blob in QSettings, so values keep their exact types (vectors,
// colours, images, nested dictionaries) and a damaged entry is detected when read.
class UserDefaults
{
public:
    // The user's settings (organisation "Lumetta", application "Lumetta").
    static UserDefaults &standardUserDefaults();

    // Settings kept in an INI file at `filePath` (tests, tools).
    explicit UserDefaults(const QString &filePath);
    ~UserDefaults();
    UserDefaults(const UserDefaults &) = delete;
    UserDefaults &operator=(const UserDefaults &) = delete;

    // False (and the stored value left as it was) when the value cannot be archived.
    bool setObject(const QVariant &value, const QString &key);
    // No value when the key is absent; no value and a log line when the stored blob is damaged.
    std::optional<QVariant> objectForKey(const QString &key) const;
    void removeObjectForKey(const QString &key);
    // Writes pending changes to permanent storage; false when that failed.
    bool synchronize();

    // A list of records, each a dictionary of stored values (the favourites keep one archived blob
    // per key). The records are kept one by one under the key, so that a damaged record leaves the
    // others readable; values are written back exactly as they were read.
    void setRecords(const QList<QVariantMap> &records, const QString &key);
    // No value when the key is absent or holds no list of records (then with a log line).
    std::optional<QList<QVariantMap>> records(const QString &key) const;
    static constexpr int maxRecords = 100000;

    // The file the settings live in.
    QString fileName() const;

    // Window frames are saved under a name (the main window uses "Velvane"). A stored frame with a
    // non-positive or implausibly large size, or far off any screen, reads as no value.
    void setFrame(const QString &name, const QRect &frame);
    std::optional<QRect> frame(const QString &name) const;

    static constexpr int maxFrameExtent = 100000;

private:
    UserDefaults();
    static QString frameKey(const QString &name);

    std::unique_ptr<QSettings> m_settings;
};
