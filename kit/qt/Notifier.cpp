// Desktop notifications through the freedesktop notification service (org.freedesktop.
// Notifications) on the session bus. Connecting to the bus waits (for a bus that is slow to
// answer, up to its timeout), so the bus is talked to on a thread of its own, never on a window's
// thread or the GUI thread; calls are asynchronous there too.
#include "kit/qt/Notifier.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDeadlineTimer>
#include <QGuiApplication>
#include <QThread>
#include <QVariantMap>
#include <optional>
#include <utility>

#include "kit/kernel/Checks.h"
#include "kit/qt/Bridge.h"

namespace kit::qt {

namespace {

// How long the service may take to answer one notification.
constexpr int kCallTimeoutMs = 5000;

// Lives on the sender's thread, and is used only there. One call is on its way at a time; a
// notification asked for meanwhile waits, and a later one replaces it, since it would replace
// it on screen at once anyway. Each one replaces the last that the service showed (replaces_id).
class NotificationSender : public QObject {
public:
    NotificationSender(QString appName, QString desktopEntry)
        : fAppName(std::move(appName)), fDesktopEntry(std::move(desktopEntry)) {}

    void Send(QString summary, QString body) {
        fWaiting = Note{std::move(summary), std::move(body)};
        if (!fCalling)
            SendWaiting();
    }

private:
    struct Note {
        QString summary;
        QString body;
    };

    void SendWaiting() {
        if (!fWaiting)
            return;
        const Note note = std::move(*fWaiting);
        fWaiting.reset();
        // The first use connects to the bus, which may wait: on this thread alone.
        QDBusConnection bus = QDBusConnection::sessionBus();
        if (!bus.isConnected())
            return;
        QDBusMessage call = QDBusMessage::createMethodCall(
            "org.freedesktop.Notifications", "/org/freedesktop/Notifications",
            "org.freedesktop.Notifications", "Notify");
        QVariantMap hints;
        hints.insert("desktop-entry", fDesktopEntry);
        hints.insert("urgency", QVariant::fromValue<uchar>(1));  // normal
        call << fAppName << fShownId << fDesktopEntry << note.summary << note.body << QStringList()
             << hints << qint32(-1);
        fCalling = true;
        auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call, kCallTimeoutMs), this);
        connect(watcher, &QDBusPendingCallWatcher::finished, this,
                [this](QDBusPendingCallWatcher* finished) {
                    // No service, or one that failed: nothing shows, and the next one tries again.
                    const QDBusPendingReply<uint> reply = *finished;
                    if (reply.isValid())
                        fShownId = reply.value();
                    finished->deleteLater();
                    fCalling = false;
                    SendWaiting();
                });
    }

    const QString fAppName;
    const QString fDesktopEntry;
    uint fShownId = 0;  // the service's id of the notification shown last; 0 for none
    bool fCalling = false;
    std::optional<Note> fWaiting;
};

// GUI thread only.
QString gAppName;
QThread* gSenderThread = nullptr;
NotificationSender* gSender = nullptr;

}  // namespace

void SetNotificationAppName(const QString& name) {
    gAppName = name;
}

void Notify(std::string summary, std::string body) {
    Post([summary = QString::fromStdString(summary), body = QString::fromStdString(body)] {
        KIT_CHECK(IsGuiThread());
        if (gSender == nullptr) {
            const QString entry = QGuiApplication::desktopFileName();
            gSender = new NotificationSender(gAppName.isEmpty() ? entry : gAppName, entry);
            gSenderThread = new QThread();
            gSenderThread->setObjectName("notifications");
            gSender->moveToThread(gSenderThread);
            QObject::connect(gSenderThread, &QThread::finished, gSender, &QObject::deleteLater);
            gSenderThread->start();
        }
        QMetaObject::invokeMethod(
            gSender, [sender = gSender, summary, body] { sender->Send(summary, body); },
            Qt::QueuedConnection);
    });
}

void EndNotifications() {
    if (gSenderThread == nullptr)
        return;
    gSenderThread->quit();
    // A thread still connecting to a bus that does not answer is left to the process's end:
    // quitting never waits for the desktop.
    if (gSenderThread->wait(QDeadlineTimer(1000)))
        delete gSenderThread;
    gSenderThread = nullptr;
    gSender = nullptr;
}

}  // namespace kit::qt
