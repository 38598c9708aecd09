// PortMapper: asks the home router, on a thread of its own, to forward TCP port 1777 to this
// machine while the program listens, renews the mapping before its lease ends, and removes it
// when listening stops and when the mapper goes. No router, or one that refuses, is no error:
// State says what the router answered, for "My addresses...".
//
// Threads: SetListening and State are safe from any thread and never wait for the router. The
// destructor waits at most kQuitWait for the thread to remove the mapping and end, so it runs on a
// window thread (the main window's, as it quits), never on the GUI thread. A discovery in
// progress is not waited for (it is left to end on its own, and maps nothing then), and a mapping
// whose removal takes longer is left to its lease. The state shared with the thread lives in
// Shared, behind its own mutex, so that the thread may outlive the mapper.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <thread>

#include "net/PortMapping.h"

class PortMapper {
public:
    static constexpr auto kQuitWait = std::chrono::milliseconds(1500);

    // port: the port to forward; lease: what the router is asked for each time.
    PortMapper(uint16_t port, portmap::Seconds lease);
    ~PortMapper();
    PortMapper(const PortMapper&) = delete;
    PortMapper& operator=(const PortMapper&) = delete;

    // Whether the program listens on the port now.
    void SetListening(bool listening);
    // What the router answered last.
    portmap::RouterState State() const;

private:
    struct Shared;
    static void Run(std::shared_ptr<Shared> shared);

    std::shared_ptr<Shared> shared;
    std::thread thread;
};
