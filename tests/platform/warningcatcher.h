#pragma once

#include <QString>
#include <QStringList>
#include <QtGlobal>

// Captures qWarning output for the lifetime of the object, so tests can check that a failure was
// reported (exactly once) and keep expected warnings out of the test log.
class WarningCatcher
{
public:
    WarningCatcher()
    {
        messages().clear();
        m_previous = qInstallMessageHandler(&WarningCatcher::handle);
    }
    ~WarningCatcher() { qInstallMessageHandler(m_previous); }
    WarningCatcher(const WarningCatcher &) = delete;
    WarningCatcher &operator=(const WarningCatcher &) = delete;

    static QStringList &messages()
    {
        static QStringList list;
        return list;
    }
    int count() const { return int(messages().size()); }
    void clear() { messages().clear(); }

private:
    static void handle(QtMsgType type, const QMessageLogContext &, const QString &message)
    {
        if (type == QtWarningMsg || type == QtCriticalMsg) messages().append(message);
    }
    QtMessageHandler m_previous = nullptr;
};
