#include "kit/application/Application.h"

#include <algorithm>

#include "kit/application/Messenger.h"
#include "kit/application/Port.h"
#include "kit/interface/Alert.h"
#include "kit/interface/Window.h"
#include "kit/qt/Bridge.h"

BApplication* be_app = nullptr;

BApplication::BApplication(const char* /*signature*/) : BLooper("application") {
    kit::qt::StartGui();
    be_app = this;
    AdoptThread();
    Port()->SetWakeHook([this] { kit::qt::Post([this] { DrainQueue(); }); });
    kit::qt::InstallQuitSignals(BMessenger(this));
}

BApplication::~BApplication() {
    // A window's thread may still be finishing its destructor after it left the registry.
    std::vector<thread_id> threads;
    {
        std::lock_guard lock(fWindowsMutex);
        threads.swap(fEndedWindowThreads);
    }
    for (thread_id thread : threads)
        wait_for_thread(thread, nullptr);
    Port()->Close();
    be_app = nullptr;
    kit::qt::EndGui();
}

thread_id BApplication::Run() {
    kit::qt::RunGui();
    return Thread();
}

void BApplication::DrainQueue() {
    std::vector<kit::Envelope> batch;
    const bigtime_t next = Port()->Take(batch);
    for (kit::Envelope& envelope : batch)
        HandleEnvelope(envelope);
    // The event loop wakes for the next runner's message; no thread waits for it.
    kit::qt::SetGuiAlarm(next, [this] { DrainQueue(); });
}

bool BApplication::QuitRequested() {
    // Windows shown from now on are asked at once.
    std::vector<BMessenger> windows;
    {
        std::lock_guard lock(fWindowsMutex);
        fQuitting = true;
        for (const ShownWindow& shown : fWindows)
            windows.push_back(shown.messenger);
    }
    // A window waiting in an alert would otherwise hold the quit until its user answers.
    BAlert::CloseAll();
    for (const BMessenger& window : windows)
        window.SendMessage(B_QUIT_REQUESTED);
    return true;
}

void BApplication::QuitWindows(const void* group) {
    // A window being asked may open another one (a chat window's "Reply"): ask again until no
    // window of the group is left. Windows are told apart by their threads: a new window may take
    // a gone one's address.
    std::vector<thread_id> asked;
    for (;;) {
        std::vector<ShownWindow> others;
        {
            std::lock_guard lock(fWindowsMutex);
            for (const ShownWindow& shown : fWindows) {
                if (shown.group == group &&
                    std::find(asked.begin(), asked.end(), shown.thread) == asked.end()) {
                    asked.push_back(shown.thread);
                    others.push_back(shown);
                }
            }
        }
        if (others.empty())
            return;
        for (const ShownWindow& shown : others) {
            shown.messenger.SendMessage(B_QUIT_REQUESTED);
            wait_for_thread(shown.thread, nullptr);
        }
    }
}

void BApplication::Quit() {
    std::unique_lock lock(fWindowsMutex);
    fQuitting = true;
    QuitIfDone(lock);
}

void BApplication::QuitIfDone(std::unique_lock<std::mutex>& lock) {
    const bool done = fQuitting && fWindows.empty();
    lock.unlock();
    if (done)
        kit::qt::QuitGui();
}

int32 BApplication::CountWindows() const {
    std::lock_guard lock(fWindowsMutex);
    return static_cast<int32>(fWindows.size());
}

void BApplication::RegisterWindow(BWindow* window, const void* group,
                                  const std::function<thread_id()>& run) {
    // The messenger is made before the window's thread runs, while the window is surely whole.
    const BMessenger messenger(window);
    bool quitting;
    {
        std::lock_guard lock(fWindowsMutex);
        fWindows.push_back({window, run(), messenger, group});
        quitting = fQuitting;
    }
    if (quitting)
        messenger.SendMessage(B_QUIT_REQUESTED);
}

void BApplication::UnregisterWindow(BWindow* window) {
    std::unique_lock lock(fWindowsMutex);
    auto shown = std::find_if(fWindows.begin(), fWindows.end(),
                              [&](const ShownWindow& each) { return each.window == window; });
    if (shown != fWindows.end()) {
        if (shown->thread == find_thread(nullptr))
            fEndedWindowThreads.push_back(shown->thread);
        fWindows.erase(shown);
    }
    QuitIfDone(lock);
}
