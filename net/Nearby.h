// Nearby: the other copies of the program on the local network, and this copy's announcement to
// them, through the Avahi daemon (DNS-SD over mDNS, service type _quillet._tcp). While told to,
// it announces this copy under a name such as "ana on lenovo" on the link's port (another copy
// of that name makes it take Avahi's alternative, "ana on lenovo #2"); it browses for the others,
// resolves each to an address, and tells the windows that watch it whenever the list or the
// daemon's state changes. Its own announcement is never listed. Without a system bus or an Avahi
// daemon it lists no one and says so, and it picks the daemon up when it appears.
//
// Threads: made and destroyed on the main window's side. Everything that talks to the daemon runs
// on Avahi's threaded poll, the "Nearby" thread, which opens the connection to the bus itself, so
// that neither start-up nor a window ever waits for the bus. SetAnnounced, Watch, Players and
// State may be called from any thread and never wait for the daemon; the destructor waits for the
// poll thread to withdraw the announcement and end. The state shared with that thread is guarded
// by mutex; the Avahi objects belong to the poll thread.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "kit/application/Messenger.h"

namespace nearby {

// The DNS-SD service type of the game.
inline constexpr char kServiceType[] = "_quillet._tcp";

struct Player {
    std::string name;     // as announced
    std::string address;  // numeric, as the connect dialog takes it
    bool operator==(const Player&) const = default;
};

enum class Service {
    Starting,    // not known yet
    Running,     // the daemon answers
    NotRunning,  // no system bus, or no Avahi daemon on it
};

// "<user> on <host>": the announced name, at most 63 bytes (a DNS label), cut on a character.
std::string ServiceName();

class Nearby {
public:
    // Starts the poll thread, which connects to the daemon and browses; nothing is announced yet.
    // The poll thread and the bus connection belong to the network namespace of the caller.
    Nearby(std::string name, uint16_t port);
    // Withdraws the announcement and ends the poll thread.
    ~Nearby();
    Nearby(const Nearby&) = delete;
    Nearby& operator=(const Nearby&) = delete;

    // Announce this copy, or withdraw it; applied on the poll thread soon after.
    void SetAnnounced(bool announced);
    // From now on, watcher gets MSG_NEARBY_CHANGED after every change, until it is gone.
    void Watch(BMessenger watcher);
    // The players found, by name, and the daemon's state, as they stand.
    std::vector<Player> Players() const;
    Service State() const;

    struct Poll;  // the poll thread's side

private:
    std::unique_ptr<Poll> fPoll;
};

}  // namespace nearby
