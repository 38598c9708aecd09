// BApplication: the program's one application object, made on the main thread, which becomes
// the GUI thread. Its queue is served by the GUI event loop that Run runs, and its runners by a
// timer of that loop. B_QUIT_REQUESTED asks every window to quit (each on its own thread) and
// closes every alert; Run returns when the last window has gone. A window joins the application
// when it is shown, whole; one shown while the application quits is asked to quit at once.
// SIGINT, SIGTERM and SIGHUP arrive as B_QUIT_REQUESTED. PostMessage and the window registry are
// safe from any thread.
#pragma once

#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "kit/application/Looper.h"
#include "kit/application/Messenger.h"

class BWindow;

class BApplication : public BLooper {
public:
    explicit BApplication(const char* signature);
    ~BApplication() override;

    // Runs the event loop on the calling (main) thread until the application quits.
    thread_id Run() override;
    // Ends Run once every window has gone.
    void Quit() override;
    // Asks every window to quit and closes every alert; true.
    bool QuitRequested() override;

    // Asks every window of group (BWindow::SetGroup) to quit, and returns once each has gone,
    // those shown meanwhile included. The windows are picked by what the registry noted when they
    // were shown, never by looking at them: they may be deleting themselves meanwhile, on their
    // own threads. The windows asked must not wait for the calling thread.
    void QuitWindows(const void* group);

    int32 CountWindows() const;

    // Kept by BWindow::Show and the destructor. RegisterWindow starts the window's thread with
    // run, which returns its id, under the registry's lock, so that the window is never seen
    // without its thread; group is the window's, noted with it.
    void RegisterWindow(BWindow* window, const void* group, const std::function<thread_id()>& run);
    void UnregisterWindow(BWindow* window);

private:
    void DrainQueue();
    void QuitIfDone(std::unique_lock<std::mutex>& lock);

    // A shown window as the registry knows it: all that is needed to ask it to quit and wait for
    // it, noted while it was whole.
    struct ShownWindow {
        const BWindow* window;  // compared only, never followed
        thread_id thread;
        BMessenger messenger;
        const void* group;
    };

    mutable std::mutex fWindowsMutex;  // guards the three fields below
    std::vector<ShownWindow> fWindows;
    std::vector<thread_id> fEndedWindowThreads;
    bool fQuitting = false;  // set once the application was asked to quit
};

extern BApplication* be_app;
