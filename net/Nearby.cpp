#include "net/Nearby.h"

#include <avahi-client/client.h>
#include <avahi-client/lookup.h>
#include <avahi-client/publish.h>
#include <avahi-common/alternative.h>
#include <avahi-common/error.h>
#include <avahi-common/malloc.h>
#include <avahi-common/thread-watch.h>
#include <avahi-common/timeval.h>
#include <net/if.h>
#include <pthread.h>
#include <pwd.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <utility>

#include "messages/Messages.h"

namespace nearby {

namespace {

// How long to wait before trying the bus again after it could not be reached or was lost.
constexpr unsigned kRetryMilliseconds = 5000;
// A DNS label's length, the longest name DNS-SD takes.
constexpr size_t kMaxNameBytes = 63;

// text cut to at most bytes, never inside a UTF-8 character.
std::string CutAt(std::string text, size_t bytes) {
    if (text.size() <= bytes)
        return text;
    size_t end = bytes;
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80)
        --end;
    text.resize(end);
    return text;
}

// An address as the connect dialog takes it: link-local IPv6 ones with the zone they were seen on.
std::string AddressText(const AvahiAddress* address, AvahiIfIndex interface) {
    char text[AVAHI_ADDRESS_STR_MAX] = "";
    avahi_address_snprint(text, sizeof text, address);
    std::string result = text;
    char name[IF_NAMESIZE] = "";
    if (address->proto == AVAHI_PROTO_INET6 && address->data.ipv6.address[0] == 0xfe &&
        (address->data.ipv6.address[1] & 0xc0) == 0x80 && interface > 0 &&
        if_indextoname(static_cast<unsigned>(interface), name) != nullptr)
        result += std::string("%") + name;
    return result;
}

}  // namespace

std::string ServiceName() {
    std::string user;
    passwd entry{};
    passwd* found = nullptr;
    char buffer[1024];
    if (getpwuid_r(getuid(), &entry, buffer, sizeof buffer, &found) == 0 && found != nullptr)
        user = found->pw_name;
    char host[256] = "";
    gethostname(host, sizeof host - 1);
    std::string hostName = host;
    hostName = hostName.substr(0, hostName.find('.'));
    return CutAt(user.empty() ? hostName : user + " on " + hostName, kMaxNameBytes);
}

struct Nearby::Poll {
    Poll(std::string name, uint16_t port) : name(std::move(name)), port(port) {}

    // --- Shared with the other threads, under mutex ---
    mutable std::mutex mutex;
    bool wanted = false;    // announce this copy
    bool quitting = false;  // the owner is going
    bool ended = false;     // the poll thread let go of the daemon
    std::condition_variable endedChanged;
    Service state = Service::Starting;
    std::vector<Player> players;
    std::vector<BMessenger> watchers;

    // --- The poll thread's (set up before it starts) ---
    // A service seen by the browser, and its address once resolved.
    struct Found {
        AvahiIfIndex interface;
        AvahiProtocol protocol;
        std::string name;
        std::string domain;
        std::string address;
        AvahiServiceResolver* resolver;
    };
    std::string name;  // announced; an alternative after a clash
    const uint16_t port;
    AvahiThreadedPoll* threaded = nullptr;
    const AvahiPoll* api = nullptr;
    AvahiTimeout* reconnect = nullptr;
    int wake = -1;  // an eventfd: the owner changed wanted or quitting
    AvahiClient* client = nullptr;
    AvahiEntryGroup* group = nullptr;
    AvahiServiceBrowser* browser = nullptr;
    std::vector<Found> found;

    // A new client, in place of the one there is (with everything it made).
    void Connect();
    // A new browser, in place of the one there is, with nothing found yet.
    void Browse();
    // Connect again after that long.
    void Reconnect(unsigned afterMilliseconds);
    // No daemon: no one is listed.
    void Lost();
    // Makes the announcement what the owner wants, when the daemon runs.
    void Announce();
    // The next alternative of the announced name.
    void Rename();
    // Shares the players found and the daemon's state, and tells the watchers when they changed.
    void Publish(Service newState);
    // The owner changed what it wants, or is going.
    void Woken();

    static void ReconnectDue(AvahiTimeout*, void* data);
    static void WakeReady(AvahiWatch*, int, AvahiWatchEvent, void* data);
    static void ClientChanged(AvahiClient* client, AvahiClientState state, void* data);
    static void GroupChanged(AvahiEntryGroup* group, AvahiEntryGroupState state, void* data);
    static void Browsed(AvahiServiceBrowser*, AvahiIfIndex interface, AvahiProtocol protocol,
                        AvahiBrowserEvent event, const char* name, const char* type,
                        const char* domain, AvahiLookupResultFlags flags, void* data);
    static void Resolved(AvahiServiceResolver* resolver, AvahiIfIndex, AvahiProtocol,
                         AvahiResolverEvent event, const char*, const char*, const char*,
                         const char*, const AvahiAddress* address, uint16_t, AvahiStringList*,
                         AvahiLookupResultFlags, void* data);
};

void Nearby::Poll::ReconnectDue(AvahiTimeout*, void* data) {
    // Due first as the poll thread starts, which is named then for debuggers.
    pthread_setname_np(pthread_self(), "Nearby");
    static_cast<Poll*>(data)->Connect();
}

void Nearby::Poll::Connect() {
    if (client != nullptr) {
        // Frees the announcement, the browser and the resolvers with it.
        avahi_client_free(client);
        client = nullptr;
        group = nullptr;
        browser = nullptr;
        found.clear();
    }
    int error = 0;
    // Without a daemon on the bus, the client waits for one to appear; without a bus it fails.
    client = avahi_client_new(api, AVAHI_CLIENT_NO_FAIL, ClientChanged, this, &error);
    if (client == nullptr) {
        Lost();
        Reconnect(kRetryMilliseconds);
    }
}

void Nearby::Poll::Reconnect(unsigned afterMilliseconds) {
    timeval due{};
    avahi_elapse_time(&due, afterMilliseconds, 0);
    api->timeout_update(reconnect, &due);
}

void Nearby::Poll::Lost() {
    // The daemon's objects go with the client, when it is freed.
    found.clear();
    Publish(Service::NotRunning);
}

void Nearby::Poll::ClientChanged(AvahiClient* client, AvahiClientState state, void* data) {
    auto* poll = static_cast<Poll*>(data);
    // The first call comes from inside avahi_client_new, before it returned the client.
    poll->client = client;
    switch (state) {
        case AVAHI_CLIENT_S_RUNNING:
            if (poll->browser == nullptr)
                poll->Browse();
            poll->Publish(Service::Running);
            poll->Announce();
            break;
        case AVAHI_CLIENT_S_COLLISION:
        case AVAHI_CLIENT_S_REGISTERING:
            // The host's name is changing: announced again once the daemon runs.
            if (poll->group != nullptr)
                avahi_entry_group_reset(poll->group);
            break;
        case AVAHI_CLIENT_CONNECTING:
            poll->Lost();
            // A daemon that went away leaves a browser and an announcement that are no more:
            // start afresh, waiting for the next daemon.
            if (poll->browser != nullptr)
                poll->Reconnect(0);
            break;
        case AVAHI_CLIENT_FAILURE:
            // The bus went away (a client is not freed from inside its own call).
            poll->Lost();
            poll->Reconnect(kRetryMilliseconds);
            break;
    }
}

void Nearby::Poll::Browse() {
    if (browser != nullptr)
        avahi_service_browser_free(browser);
    for (const Found& each : found) {
        if (each.resolver != nullptr)
            avahi_service_resolver_free(each.resolver);
    }
    found.clear();
    browser = avahi_service_browser_new(client, AVAHI_IF_UNSPEC, AVAHI_PROTO_UNSPEC, kServiceType,
                                        nullptr, {}, Browsed, this);
}

void Nearby::Poll::Announce() {
    bool announce;
    {
        std::lock_guard lock(mutex);
        announce = wanted;
    }
    if (client == nullptr || avahi_client_get_state(client) != AVAHI_CLIENT_S_RUNNING)
        return;
    if (!announce) {
        // Withdrawn at once: the daemon says goodbye to the network.
        if (group != nullptr && !avahi_entry_group_is_empty(group))
            avahi_entry_group_reset(group);
        return;
    }
    if (group == nullptr)
        group = avahi_entry_group_new(client, GroupChanged, this);
    if (group == nullptr || !avahi_entry_group_is_empty(group))
        return;
    int error;
    // A name taken by another service of this host is a clash found at once.
    while ((error = avahi_entry_group_add_service(group, AVAHI_IF_UNSPEC, AVAHI_PROTO_UNSPEC, {},
                                                  name.c_str(), kServiceType, nullptr, nullptr,
                                                  port, nullptr)) == AVAHI_ERR_COLLISION)
        Rename();
    if (error == AVAHI_OK)
        avahi_entry_group_commit(group);
}

void Nearby::Poll::Rename() {
    char* alternative = avahi_alternative_service_name(name.c_str());
    name = alternative;
    avahi_free(alternative);
}

void Nearby::Poll::GroupChanged(AvahiEntryGroup* group, AvahiEntryGroupState state, void* data) {
    auto* poll = static_cast<Poll*>(data);
    poll->group = group;
    if (state == AVAHI_ENTRY_GROUP_COLLISION) {
        // Another host on the network announces this name: the next one, "ana on lenovo #2".
        poll->Rename();
        avahi_entry_group_reset(group);
        poll->Announce();
        // The browser took the name for this copy's own and keeps it so, though it is now the
        // other host's: a new browser sees it anew.
        poll->Browse();
    }
}

void Nearby::Poll::Browsed(AvahiServiceBrowser*, AvahiIfIndex interface, AvahiProtocol protocol,
                           AvahiBrowserEvent event, const char* name, const char* type,
                           const char* domain, AvahiLookupResultFlags flags, void* data) {
    auto* poll = static_cast<Poll*>(data);
    auto same = [&](const Found& each) {
        return each.interface == interface && each.protocol == protocol && each.name == name &&
               each.domain == domain;
    };
    switch (event) {
        case AVAHI_BROWSER_NEW:
            if ((flags & AVAHI_LOOKUP_RESULT_OUR_OWN) != 0 ||
                std::any_of(poll->found.begin(), poll->found.end(), same))
                break;
            poll->found.push_back(
                {interface,
                 protocol,
                 name,
                 domain,
                 {},
                 avahi_service_resolver_new(poll->client, interface, protocol, name, type, domain,
                                            AVAHI_PROTO_UNSPEC, {}, Resolved, poll)});
            break;
        case AVAHI_BROWSER_REMOVE: {
            auto gone = std::find_if(poll->found.begin(), poll->found.end(), same);
            if (gone == poll->found.end())
                break;
            if (gone->resolver != nullptr)
                avahi_service_resolver_free(gone->resolver);
            poll->found.erase(gone);
            poll->Publish(Service::Running);
            break;
        }
        case AVAHI_BROWSER_FAILURE:
            poll->Lost();
            poll->Reconnect(kRetryMilliseconds);
            break;
        case AVAHI_BROWSER_ALL_FOR_NOW:
        case AVAHI_BROWSER_CACHE_EXHAUSTED:
            break;
    }
}

void Nearby::Poll::Resolved(AvahiServiceResolver* resolver, AvahiIfIndex interface, AvahiProtocol,
                            AvahiResolverEvent event, const char*, const char*, const char*,
                            const char*, const AvahiAddress* address, uint16_t, AvahiStringList*,
                            AvahiLookupResultFlags, void* data) {
    auto* poll = static_cast<Poll*>(data);
    auto entry = std::find_if(poll->found.begin(), poll->found.end(),
                              [&](const Found& each) { return each.resolver == resolver; });
    avahi_service_resolver_free(resolver);
    if (entry == poll->found.end())
        return;
    entry->resolver = nullptr;
    // A service that cannot be resolved cannot be played with either.
    if (event == AVAHI_RESOLVER_FOUND && address != nullptr)
        entry->address = AddressText(address, interface);
    else
        poll->found.erase(entry);
    poll->Publish(Service::Running);
}

void Nearby::Poll::Publish(Service newState) {
    // One line per name, whatever the interfaces and protocols it was seen on.
    std::vector<Player> now;
    for (const Found& each : found) {
        if (!each.address.empty() && std::none_of(now.begin(), now.end(), [&](const Player& p) {
                return p.name == each.name;
            }))
            now.push_back({each.name, each.address});
    }
    std::sort(now.begin(), now.end(),
              [](const Player& a, const Player& b) { return a.name < b.name; });
    std::vector<BMessenger> told;
    {
        std::lock_guard lock(mutex);
        if (now == players && newState == state)
            return;
        players = std::move(now);
        state = newState;
        // Windows that have closed are forgotten.
        std::erase_if(watchers, [](const BMessenger& watcher) { return !watcher.IsValid(); });
        told = watchers;
    }
    // Outside the lock: a window may be reading the list as it gets the news.
    for (const BMessenger& watcher : told)
        watcher.SendMessage(MSG_NEARBY_CHANGED);
}

void Nearby::Poll::WakeReady(AvahiWatch*, int, AvahiWatchEvent, void* data) {
    static_cast<Poll*>(data)->Woken();
}

void Nearby::Poll::Woken() {
    uint64_t count;
    [[maybe_unused]] const ssize_t read = ::read(wake, &count, sizeof count);
    bool quit;
    {
        std::lock_guard lock(mutex);
        quit = quitting;
    }
    if (!quit) {
        Announce();
        return;
    }
    // The announcement goes with the client.
    if (client != nullptr)
        avahi_client_free(client);
    client = nullptr;
    avahi_threaded_poll_quit(threaded);
    {
        std::lock_guard lock(mutex);
        ended = true;
    }
    endedChanged.notify_all();
}

Nearby::Nearby(std::string name, uint16_t port)
    : fPoll(std::make_unique<Poll>(std::move(name), port)) {
    Poll& poll = *fPoll;
    poll.wake = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    poll.threaded = avahi_threaded_poll_new();
    if (poll.wake >= 0 && poll.threaded != nullptr) {
        poll.api = avahi_threaded_poll_get(poll.threaded);
        // The poll thread connects as soon as it runs: the bus may take its time to answer.
        const timeval now{};
        poll.reconnect = poll.api->timeout_new(poll.api, &now, Poll::ReconnectDue, &poll);
        poll.api->watch_new(poll.api, poll.wake, AVAHI_WATCH_IN, Poll::WakeReady, &poll);
        if (avahi_threaded_poll_start(poll.threaded) == 0)
            return;
    }
    // No poll thread: nothing will be found.
    poll.state = Service::NotRunning;
    poll.ended = true;
}

Nearby::~Nearby() {
    Poll& poll = *fPoll;
    bool running;
    {
        std::lock_guard lock(poll.mutex);
        poll.quitting = true;
        running = !poll.ended;
    }
    if (running) {
        const uint64_t one = 1;
        [[maybe_unused]] const ssize_t written = write(poll.wake, &one, sizeof one);
        std::unique_lock lock(poll.mutex);
        poll.endedChanged.wait(lock, [&] { return poll.ended; });
        lock.unlock();
        avahi_threaded_poll_stop(poll.threaded);
    }
    if (poll.threaded != nullptr)
        avahi_threaded_poll_free(poll.threaded);
    if (poll.wake >= 0)
        close(poll.wake);
}

void Nearby::SetAnnounced(bool announced) {
    {
        std::lock_guard lock(fPoll->mutex);
        if (fPoll->wanted == announced || fPoll->ended)
            return;
        fPoll->wanted = announced;
    }
    const uint64_t one = 1;
    [[maybe_unused]] const ssize_t written = write(fPoll->wake, &one, sizeof one);
}

void Nearby::Watch(BMessenger watcher) {
    std::lock_guard lock(fPoll->mutex);
    fPoll->watchers.push_back(std::move(watcher));
}

std::vector<Player> Nearby::Players() const {
    std::lock_guard lock(fPoll->mutex);
    return fPoll->players;
}

Service Nearby::State() const {
    std::lock_guard lock(fPoll->mutex);
    return fPoll->state;
}

}  // namespace nearby
