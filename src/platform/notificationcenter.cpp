#include "notificationcenter.h"

#include <QDebug>

#include <algorithm>

NotificationCenter::NotificationCenter(QObject *parent) : QObject(parent) {}

NotificationCenter::~NotificationCenter()
{
    for (const QMetaObject::Connection &connection : std::as_const(m_ownerConnections))
        disconnect(connection);
}

NotificationCenter &NotificationCenter::defaultCenter()
{
    static NotificationCenter center;
    return center;
}

void NotificationCenter::observe(QObject *owner, const QString &name, std::function<void()> callback)
{
    if (!owner || name.isEmpty() || !callback) {
        // Without an owner the observer could never be removed and would outlive what it captures.
        qWarning() << "NotificationCenter: ignoring an observer without owner, name or callback for"
                   << name;
        return;
    }
    auto observer = std::make_shared<Observer>();
    observer->owner = owner;
    observer->liveOwner = owner;
    observer->name = name;
    observer->callback = std::move(callback);
    m_observers.push_back(std::move(observer));

    if (!m_ownerConnections.contains(owner)) {
        m_ownerConnections.insert(owner, connect(owner, &QObject::destroyed, this,
                                                 [this, owner] { removeObserver(owner); }));
    }
}

void NotificationCenter::post(const QString &name)
{
    // Work on a snapshot: callbacks may change m_observers while we iterate.
    std::vector<std::shared_ptr<Observer>> targets;
    for (const auto &observer : m_observers)
        if (observer->active && observer->name == name) targets.push_back(observer);

    for (const auto &observer : targets) {
        if (!observer->active || observer->liveOwner.isNull()) continue;
        // Copied so that a callback removing its own observer does not destroy itself mid-call.
        const std::function<void()> callback = observer->callback;
        callback();
    }
}

void NotificationCenter::removeObserver(QObject *owner)
{
    std::vector<std::shared_ptr<Observer>> removed;
    auto keep = std::stable_partition(m_observers.begin(), m_observers.end(),
                                      [owner](const auto &o) { return o->owner != owner; });
    for (auto it = keep; it != m_observers.end(); ++it) {
        (*it)->active = false;
        removed.push_back(std::move(*it));
    }
    m_observers.erase(keep, m_observers.end());
    forgetOwnerIfUnused(owner);
    // `removed` goes out of scope last: callbacks' captures die once the list is consistent.
}

void NotificationCenter::removeObserver(QObject *owner, const QString &name)
{
    std::vector<std::shared_ptr<Observer>> removed;
    auto keep = std::stable_partition(m_observers.begin(), m_observers.end(), [&](const auto &o) {
        return o->owner != owner || o->name != name;
    });
    for (auto it = keep; it != m_observers.end(); ++it) {
        (*it)->active = false;
        removed.push_back(std::move(*it));
    }
    m_observers.erase(keep, m_observers.end());
    forgetOwnerIfUnused(owner);
}

int NotificationCenter::observerCount(const QString &name) const
{
    return int(std::count_if(m_observers.begin(), m_observers.end(),
                             [&name](const auto &o) { return o->name == name; }));
}

void NotificationCenter::forgetOwnerIfUnused(QObject *owner)
{
    const bool used = std::any_of(m_observers.begin(), m_observers.end(),
                                  [owner](const auto &o) { return o->owner == owner; });
    if (used) return;
    auto it = m_ownerConnections.find(owner);
    if (it == m_ownerConnections.end()) return;
    disconnect(it.value());
    m_ownerConnections.erase(it);
}
