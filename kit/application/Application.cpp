#include "kit/application/Application.h"

#include <algorithm>

#include "kit/application/Messenger.h"
#include "kit/application/Port.h"
#include "kit/interface/Window.h"
#include "kit/qt/Bridge.h"

BApplication* be_app = nullptr;

BApplication::BApplication(const char* signature)
    : BLooper("application"), fSignature(signature ? signature : "") {
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
        HandleEnvelope(envelope.message, envelope.target);
    // The event loop wakes for the next runner's message; no thread waits for it.
    kit::qt::SetGuiAlarm(next, [this] { DrainQueue(); });
}

bool BApplication::QuitRequested() {
    // Messengers are made under the lock: a shown window may be deleting itself meanwhile, and
    // stays registered until its looper is gone.
    std::vector<BMessenger> shown;
    std::vector<BWindow*> hidden;
    {
        std::lock_guard lock(fWindowsMutex);
        for (BWindow* window : fWindows) {
            if (window->IsShown())
                shown.emplace_back(window);
            else
                hidden.push_back(window);
        }
    }
    for (const BMessenger& window : shown)
        window.SendMessage(B_QUIT_REQUESTED);
    for (BWindow* window : hidden)
        window->Quit();
    return true;
}

void BApplication::QuitWindows(const std::function<bool(BWindow*)>& which) {
    // Messengers and thread ids are taken under the lock: a window may delete itself meanwhile.
    std::vector<std::pair<BMessenger, thread_id>> others;
    {
        std::lock_guard lock(fWindowsMutex);
        for (BWindow* window : fWindows) {
            if (window->IsShown() && which(window))
                others.emplace_back(BMessenger(window), window->Thread());
        }
    }
    for (auto& [window, thread] : others) {
        window.SendMessage(B_QUIT_REQUESTED);
        wait_for_thread(thread, nullptr);
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

void BApplication::RegisterWindow(BWindow* window) {
    std::lock_guard lock(fWindowsMutex);
    fWindows.push_back(window);
}

void BApplication::UnregisterWindow(BWindow* window) {
    std::unique_lock lock(fWindowsMutex);
    fWindows.erase(std::remove(fWindows.begin(), fWindows.end(), window), fWindows.end());
    if (window->Thread() >= 0 && window->Thread() == find_thread(nullptr))
        fEndedWindowThreads.push_back(window->Thread());
    QuitIfDone(lock);
}
