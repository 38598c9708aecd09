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
    // Messengers are made under the lock: a window may be deleting itself meanwhile, and stays
    // registered until its looper is gone. Windows shown from now on are asked at once.
    std::vector<BMessenger> windows;
    {
        std::lock_guard lock(fWindowsMutex);
        fQuitting = true;
        for (BWindow* window : fWindows)
            windows.emplace_back(window);
    }
    // A window waiting in an alert would otherwise hold the quit until its user answers.
    BAlert::CloseAll();
    for (const BMessenger& window : windows)
        window.SendMessage(B_QUIT_REQUESTED);
    return true;
}

void BApplication::QuitWindows(const std::function<bool(BWindow*)>& which) {
    // A window being asked may open another one (a chat window's "Reply"): ask again until no
    // window that which picks is left. Messengers and thread ids are taken under the lock.
    // Windows are told apart by their threads: a new window may take a gone one's address.
    std::vector<thread_id> asked;
    for (;;) {
        std::vector<std::pair<BMessenger, thread_id>> others;
        {
            std::lock_guard lock(fWindowsMutex);
            for (BWindow* window : fWindows) {
                const thread_id thread = window->Thread();
                if (std::find(asked.begin(), asked.end(), thread) == asked.end() && which(window)) {
                    asked.push_back(thread);
                    others.emplace_back(BMessenger(window), thread);
                }
            }
        }
        if (others.empty())
            return;
        for (auto& [window, thread] : others) {
            window.SendMessage(B_QUIT_REQUESTED);
            wait_for_thread(thread, nullptr);
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

void BApplication::RegisterWindow(BWindow* window, const std::function<void()>& run) {
    bool quitting;
    {
        std::lock_guard lock(fWindowsMutex);
        run();
        fWindows.push_back(window);
        quitting = fQuitting;
    }
    if (quitting)
        BMessenger(window).SendMessage(B_QUIT_REQUESTED);
}

void BApplication::UnregisterWindow(BWindow* window) {
    std::unique_lock lock(fWindowsMutex);
    fWindows.erase(std::remove(fWindows.begin(), fWindows.end(), window), fWindows.end());
    if (window->Thread() >= 0 && window->Thread() == find_thread(nullptr))
        fEndedWindowThreads.push_back(window->Thread());
    QuitIfDone(lock);
}
