#include "kit/interface/Alert.h"

#include <algorithm>
#include <mutex>

#include "kit/application/Port.h"
#include "kit/interface/Window.h"

namespace {

// The threads waiting in an alert, so that a quitting application can let them go.
struct Waiters {
    std::mutex mutex;  // guards the two fields below
    std::vector<kit::ThreadHandle> threads;
    bool closed = false;
};

Waiters& AllWaiters() {
    static Waiters waiters;
    return waiters;
}

// Registers the calling thread as waiting in an alert for its lifetime, so that CloseAll wakes
// it.
class WaitingInAlert {
public:
    WaitingInAlert() : fSelf(kit::CurrentThread()) {
        Waiters& waiters = AllWaiters();
        std::lock_guard lock(waiters.mutex);
        waiters.threads.push_back(fSelf);
    }
    ~WaitingInAlert() {
        Waiters& waiters = AllWaiters();
        std::lock_guard lock(waiters.mutex);
        std::erase(waiters.threads, fSelf);
    }
    static bool Closed() {
        Waiters& waiters = AllWaiters();
        std::lock_guard lock(waiters.mutex);
        return waiters.closed;
    }

private:
    const kit::ThreadHandle fSelf;
};

}  // namespace

BAlert::BAlert(const char* title, const char* text, const char* button0, const char* button1,
               const char* button2, button_width, alert_type)
    : fTitle(title ? title : ""),
      fTextView(std::make_unique<BTextView>(BRect(0, 0, 300, 100), "_text_", BRect(0, 0, 300, 100),
                                            B_FOLLOW_NONE, 0)) {
    fTextView->SetText(text);
    for (const char* label : {button0, button1, button2}) {
        if (label != nullptr)
            fButtons.emplace_back(label);
    }
    fTextView->MakeEditable(false);
}

BAlert::~BAlert() = default;

void BAlert::CloseAll() {
    Waiters& waiters = AllWaiters();
    std::lock_guard lock(waiters.mutex);
    waiters.closed = true;
    for (const kit::ThreadHandle& thread : waiters.threads)
        kit::Unpark(thread);
}

int32 BAlert::Go() {
    std::unique_ptr<BAlert> self(this);
    if (kit::qt::IsGuiThread())
        return -1;
    const WaitingInAlert waiting;
    if (WaitingInAlert::Closed())
        return -1;
    // The window that waits here shows what it drew first (the winning move, for one).
    if (auto* window = dynamic_cast<BWindow*>(BLooper::LooperForThread()))
        window->UpdateIfNeeded();
    auto outcome = std::make_shared<kit::qt::AlertOutcome>(kit::CurrentThread());
    const kit::qt::PeerId peer = kit::qt::NewPeerId();
    kit::qt::ShowAlert(peer, {fTitle, fTextView->Text(), fTextView->FontRuns(), fButtons}, outcome);
    // Closes the box when the wait is stopped (and does nothing once a button has closed it).
    struct BoxCloser {
        kit::qt::PeerId peer;
        ~BoxCloser() { kit::qt::DestroyPeer(peer); }
    } closer{peer};
    // Messages for this thread's looper wait meanwhile, and its runners' ones go on arriving, one
    // of each runner at a time.
    std::shared_ptr<kit::Port> port;
    if (BLooper* looper = BLooper::LooperForThread())
        port = looper->Port();
    struct Parked {
        kit::Port* port;
        explicit Parked(kit::Port* port) : port(port) {
            if (port != nullptr)
                port->SetOwnerParked(true);
        }
        ~Parked() {
            if (port != nullptr)
                port->SetOwnerParked(false);
        }
    } parked{port.get()};
    while (outcome->Pressed() < 0 && !WaitingInAlert::Closed())
        kit::ParkUntil(port ? port->QueueDueTimers() : B_INFINITE_TIMEOUT);
    return outcome->Pressed();
}
