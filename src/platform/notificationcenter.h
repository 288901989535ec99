#pragma once

#include <QHash>
#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>
#include <memory>
#include <vector>

// Synchronous, name-keyed notifications between parts of the program that do not know each other
// (an effect announces "UpdateCustomView", the canvas redraws). Observers are identified by an
// owner object; they are removed with removeObserver() or automatically when the owner is destroyed.
//
// post() calls the observers registered for the name at the moment of the call, in registration
// order. A callback may add or remove observers, or delete owners, during a post: observers added
// then are first called by the next post, removed ones are not called any more.
class NotificationCenter : public QObject
{
    Q_OBJECT
public:
    explicit NotificationCenter(QObject *parent = nullptr);
    ~NotificationCenter() override;

    static NotificationCenter &defaultCenter();

    void observe(QObject *owner, const QString &name, std::function<void()> callback);
    void post(const QString &name);
    void removeObserver(QObject *owner);
    void removeObserver(QObject *owner, const QString &name);

    int observerCount(const QString &name) const;

private:
    struct Observer
    {
        QObject *owner = nullptr;    // identity only; never dereferenced
        QPointer<QObject> liveOwner; // guards against calling into a destroyed owner
        QString name;
        std::function<void()> callback;
        bool active = true;
    };

    void forgetOwnerIfUnused(QObject *owner);

    // Shared so that a post in progress keeps the observers it is about to call alive.
    std::vector<std::shared_ptr<Observer>> m_observers;
    QHash<QObject *, QMetaObject::Connection> m_ownerConnections;
};
