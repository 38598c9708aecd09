// The Qt application, the command queue to the GUI thread, the peer table, the quit signals, and
// the close requests of the window system that Qt would drop.
#include <fcntl.h>
#include <unistd.h>

#include <QApplication>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QIcon>
#include <QSocketNotifier>
#include <QThread>
#include <QTimer>
#include <QWidget>
#include <QWindow>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unordered_map>
#include <utility>
#include <vector>

#include "kit/application/AppDefs.h"
#include "kit/kernel/Checks.h"
#include "kit/qt/Notifier.h"
#include "kit/qt/Peers.h"
#include "kit/qt/Registry.h"
// After Qt's public headers: the window system's events as Qt receives them.
#include <private/qwindow_p.h>
#include <qpa/qwindowsysteminterface_p.h>

namespace kit::qt {

namespace {

std::atomic<PeerId> gNextPeer{1};
QApplication* gApplication = nullptr;
// Commands are queued calls on this object, which lives on the GUI thread; Qt runs the calls
// posted to one object in the order they were posted.
std::atomic<QObject*> gDispatcher{nullptr};
std::unordered_map<PeerId, QPointer<QObject>> gPeers;  // GUI thread only

// The application's runners: one timer of the event loop for the next that is due.
QTimer* gAlarm = nullptr;
bigtime_t gAlarmDeadline = B_INFINITE_TIMEOUT;
std::function<void()> gAlarmWake;

// Qt drops the window system's close request for a window that an application-modal box blocks
// (an alert, the connect dialog): the close box of the main window would do nothing while "About"
// is open, and nothing after it either. A kit window's thread decides whether it closes, so the
// request goes to it all the same, and waits there until the box is answered.
class CloseRequests : public QWindowSystemEventHandler {
public:
    bool sendEvent(QWindowSystemInterfacePrivate::WindowSystemEvent* event) override {
        if (event->type == QWindowSystemInterfacePrivate::Close) {
            auto* close = static_cast<QWindowSystemInterfacePrivate::CloseEvent*>(event);
            QWindow* window = close->window.data();
            if (window != nullptr && QWindowPrivate::get(window)->blockedByModalWindow) {
                for (QWidget* top : QApplication::topLevelWidgets()) {
                    auto* peer = qobject_cast<WindowPeer*>(top);
                    if (peer != nullptr && peer->windowHandle() == window) {
                        peer->AskToQuit();
                        break;
                    }
                }
            }
        }
        return QWindowSystemEventHandler::sendEvent(event);
    }
};
CloseRequests gCloseRequests;

int gSignalPipe[2] = {-1, -1};
QSocketNotifier* gSignalNotifier = nullptr;
BMessenger* gSignalTarget = nullptr;

void OnQuitSignal(int) {
    const char byte = 1;
    [[maybe_unused]] ssize_t written = write(gSignalPipe[1], &byte, 1);
}

// While the Qt application is made, a failure to reach the display is fatal inside Qt; say it in
// one line instead of a toolkit abort. Qt's fatal line only says that no platform plugin could
// start; the platform's own warning before it says why ("could not connect to display :0"), so
// that one is shown when there is one. Main thread only, while StartGui runs.
QString gPlatformFailure;

void StartupMessages(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    const bool fromPlatform = context.category != nullptr &&
                              std::strncmp(context.category, "qt.qpa.", 7) == 0 &&
                              std::strcmp(context.category, "qt.qpa.plugin") != 0;
    if (type == QtWarningMsg && fromPlatform && gPlatformFailure.isEmpty())
        gPlatformFailure = message;
    if (type != QtFatalMsg)
        return;
    const QString reason = gPlatformFailure.isEmpty() ? message : gPlatformFailure;
    std::fprintf(stderr, "No display to show the window on: %s\n",
                 reason.section('\n', 0, 0).toLocal8Bit().constData());
    std::_Exit(1);
}

bool DisplayMissing() {
    const char* platform = std::getenv("QT_QPA_PLATFORM");
    const bool wantsX11 =
        platform == nullptr || *platform == 0 || std::strncmp(platform, "xcb", 3) == 0;
    auto unset = [](const char* name) {
        const char* value = std::getenv(name);
        return value == nullptr || *value == 0;
    };
    return wantsX11 && unset("DISPLAY") && unset("WAYLAND_DISPLAY");
}

// The icon named after the desktop file in the icon theme of an installed program; run from its
// build folder, the theme has none, and the PNGs embedded in the program stand in.
QIcon ProgramIcon() {
    const QString name = QGuiApplication::desktopFileName();
    if (name.isEmpty())
        return {};
    // Window managers show a window's icon at 64 pixels at most; larger images would only be
    // sent to the X server with every window.
    QIcon embedded;
    QDirIterator sizes(":/icons/hicolor", QDir::Dirs | QDir::NoDotAndDotDot);
    while (sizes.hasNext()) {
        const QString folder = sizes.next();
        const QString file = folder + "/apps/" + name + ".png";
        if (QFileInfo(folder).fileName().section('x', 0, 0).toInt() <= 64 && QFile::exists(file))
            embedded.addFile(file);
    }
    return QIcon::fromTheme(name, embedded);
}

}  // namespace

void GiveWindowsTheProgramIcon() {
    // Looking the icon up in the theme and reading its images takes longer than showing the
    // window: the icon follows once the first window is on screen.
    static bool given = false;
    if (std::exchange(given, true))
        return;
    QTimer::singleShot(0, [] { QApplication::setWindowIcon(ProgramIcon()); });
}

PeerId NewPeerId() {
    return gNextPeer++;
}

void StartGui() {
    if (gApplication != nullptr)
        return;
    if (DisplayMissing()) {
        std::fprintf(stderr, "No display to show the window on: DISPLAY is not set.\n");
        std::exit(1);
    }
    // Qt reads no option from the program's command line: it gets only the program's name (the
    // X11 window class), as ReadCommandLine set it.
    static QByteArray name;
    name = QCoreApplication::applicationName().toLocal8Bit();
    if (name.isEmpty())
        name = "application";
    static int argc;
    static char* argv[] = {nullptr, nullptr};
    argc = 1;
    argv[0] = name.data();
    // The kit repaints small pieces (a label, a cell). Over X11 shared memory, Qt has the X server
    // confirm each repaint before it paints the same place again: a round trip that wakes Qt's X
    // event thread and the GUI thread once more every time the move clock ticks. The X socket
    // carries pieces this small as cheaply, without the round trip.
    if (!qEnvironmentVariableIsSet("QT_XCB_NO_MITSHM"))
        qputenv("QT_XCB_NO_MITSHM", "1");
    QtMessageHandler previous = qInstallMessageHandler(StartupMessages);
    gApplication = new QApplication(argc, argv);
    qInstallMessageHandler(previous);
    gApplication->setQuitOnLastWindowClosed(false);
    QWindowSystemInterfacePrivate::installWindowSystemEventHandler(&gCloseRequests);
    InstallAccessibility();
    gDispatcher = new QObject();
}

void RunGui() {
    if (gApplication != nullptr)
        gApplication->exec();
}

void QuitGui() {
    Post([] { QCoreApplication::quit(); });
}

void EndGui() {
    if (gApplication == nullptr)
        return;
    if (gSignalNotifier != nullptr) {
        for (int signal : {SIGINT, SIGTERM, SIGHUP})
            std::signal(signal, SIG_DFL);
        delete gSignalNotifier;
        gSignalNotifier = nullptr;
        close(gSignalPipe[0]);
        close(gSignalPipe[1]);
        delete gSignalTarget;
        gSignalTarget = nullptr;
    }
    EndNotifications();
    delete gAlarm;
    gAlarm = nullptr;
    gAlarmWake = nullptr;
    gAlarmDeadline = B_INFINITE_TIMEOUT;
    // Commands still queued (a window that quit last asks for its peer to go) run now, and every
    // peer still there goes with the application.
    QCoreApplication::sendPostedEvents();
    delete gDispatcher.exchange(nullptr);
    std::vector<QPointer<QObject>> peers;
    for (auto& [id, peer] : gPeers)
        peers.push_back(peer);
    gPeers.clear();
    for (QPointer<QObject>& peer : peers)
        delete peer.data();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QWindowSystemInterfacePrivate::removeWindowSystemEventhandler(&gCloseRequests);
    delete gApplication;
    gApplication = nullptr;
}

bool IsGuiThread() {
    return gApplication != nullptr && QThread::currentThread() == gApplication->thread();
}

void Post(std::function<void()> command) {
    QObject* dispatcher = gDispatcher.load();
    if (dispatcher == nullptr)
        return;
    QMetaObject::invokeMethod(dispatcher, std::move(command), Qt::QueuedConnection);
}

void SetGuiAlarm(bigtime_t deadline, std::function<void()> wake) {
    if (gApplication == nullptr)
        return;
    if (gAlarm == nullptr) {
        gAlarm = new QTimer();
        gAlarm->setSingleShot(true);
        // A coarse timer may fire early; a runner's message never goes out before it is due.
        gAlarm->setTimerType(Qt::PreciseTimer);
        QObject::connect(gAlarm, &QTimer::timeout, [] {
            gAlarmDeadline = B_INFINITE_TIMEOUT;
            if (gAlarmWake)
                gAlarmWake();
        });
    }
    gAlarmWake = std::move(wake);
    if (deadline == gAlarmDeadline)
        return;
    gAlarmDeadline = deadline;
    if (deadline == B_INFINITE_TIMEOUT) {
        gAlarm->stop();
        return;
    }
    const bigtime_t left = std::max<bigtime_t>(deadline - system_time(), 0);
    gAlarm->start(std::chrono::milliseconds((left + 999) / 1000));
}

void InstallQuitSignals(BMessenger target) {
    if (gSignalNotifier != nullptr || pipe2(gSignalPipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    gSignalTarget = new BMessenger(target);
    gSignalNotifier = new QSocketNotifier(gSignalPipe[0], QSocketNotifier::Read);
    QObject::connect(gSignalNotifier, &QSocketNotifier::activated, [] {
        char bytes[16];
        while (read(gSignalPipe[0], bytes, sizeof bytes) > 0) {
        }
        gSignalTarget->SendMessage(B_QUIT_REQUESTED);
    });
    struct sigaction action = {};
    action.sa_handler = OnQuitSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int signal : {SIGINT, SIGTERM, SIGHUP})
        sigaction(signal, &action, nullptr);
}

void RegisterPeer(PeerId id, QObject* peer) {
    KIT_CHECK(IsGuiThread());
    gPeers[id] = peer;
}

QObject* FindPeerObject(PeerId id) {
    KIT_CHECK(IsGuiThread());
    auto it = gPeers.find(id);
    return it == gPeers.end() ? nullptr : it->second.data();
}

void ForgetPeer(PeerId id) {
    gPeers.erase(id);
}

void DestroyPeer(PeerId id) {
    Post([id] {
        QObject* peer = FindPeerObject(id);
        ForgetPeer(id);
        if (peer == nullptr)
            return;
        if (auto* widget = qobject_cast<QWidget*>(peer))
            widget->hide();
        // Later, in case the peer is inside one of its own event handlers.
        peer->deleteLater();
    });
}

}  // namespace kit::qt
