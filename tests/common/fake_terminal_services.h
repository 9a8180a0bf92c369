// In-memory terminal services for tests: servers by name, sessions with their
// query answers, processes, failures, and a record of every call made.
#pragma once

#include <condition_variable>
#include <functional>
#include <map>
#include <mutex>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "sessions/terminal_services.h"

namespace tarvenix::testing {

struct FakeSession {
    std::uint32_t id = 0;
    std::uint32_t state = 0;
    std::optional<std::u16string> user;        // nullopt: the query fails
    std::optional<std::u16string> clientName;
    std::optional<std::u16string> winStation;
    std::optional<ClientAddress> address;
    std::optional<SessionTimes> times{};     // nullopt: the session information fails
    std::uint32_t infoError = 5;             // ... with this error
    std::u16string domain{};                 // in the session information
    std::uint32_t logoffError = 0;
    std::uint32_t disconnectError = 0;
    std::uint32_t messageError = 0;
    // The client's details; nullopt: the query fails.
    std::optional<std::uint32_t> clientBuild{};
    std::optional<std::u16string> clientDirectory{};
    std::optional<ClientDisplay> display{};
    std::optional<std::uint32_t> protocol{};
};

struct FakeServer {
    std::vector<FakeSession> sessions;
    std::vector<ProcessRecord> processes;
    std::uint32_t enumerateError = 0;         // non-zero: enumerations fail with it
    std::uint32_t processEnumerateError = 0;
    std::uint32_t terminateError = 0;
    std::uint32_t waitError = 0;              // non-zero: event waits fail with it at once
    // Account names by SID text ("S-1-5-18"); a SID not here is not named.
    std::map<std::u16string, std::u16string> accounts{};
};

inline ClientAddress IPv4(std::uint8_t a, std::uint8_t b, std::uint8_t c, std::uint8_t d) {
    ClientAddress address;
    address.family = 2;
    address.bytes[2] = a;
    address.bytes[3] = b;
    address.bytes[4] = c;
    address.bytes[5] = d;
    return address;
}

// Safe to call from many threads at once (the engine's tests do); the fields
// are read by the test once the calls are over.
class FakeTerminalServices final : public TerminalServices {
public:
    // Called on the calling thread before each call is served, outside any
    // lock, with the call's text ("query 3 5 TS01"): a test blocks a call here
    // (a latch) or counts the calls in flight.
    std::function<void(const std::string& call)> beforeCall;
    std::recursive_mutex mutex;

    std::map<std::u16string, FakeServer> servers;  // unknown names fail with 1722
    std::vector<std::string> calls;                // "open TS01", "enumerate TS01", "logoff 5 TS01", ...
    int opened = 0;
    int closed = 0;
    std::vector<std::thread::id> closedOn;  // the thread that closed each handle

    struct Sent {
        std::u16string server;
        std::uint32_t sessionId;
        std::u16string title;
        std::u16string message;
    };
    std::vector<Sent> messages;

    std::unique_ptr<TerminalServer> Open(const std::u16string& name) override;

    // Read while other threads may still call (waiters of the live farm).
    int CallCount(const std::string& call);
    int OpenedCount();
    int ClosedCount();

    // Session events: every wait going on the server's objects returns with
    // these kinds (or'ed into what it had not yet returned).
    void SignalEvents(const std::u16string& server, std::uint32_t events);
    // Waits going now, on every server.
    int WaitsGoing();
    // false: a flush does not release the wait (a server that no longer
    // answers); the wait then ends only with ReleaseStuckWaits.
    bool flushReleases = true;
    void ReleaseStuckWaits();

    bool registrationSucceeds = true;
    std::vector<std::string> notifications;  // "register", "unregister"
    bool RegisterSessionNotification(std::uintptr_t) override {
        notifications.push_back("register");
        return registrationSucceeds;
    }
    void UnregisterSessionNotification(std::uintptr_t) override { notifications.push_back("unregister"); }

private:
    class Server;
    std::condition_variable_any waitChanged_;
    std::set<Server*> waiting_;
    bool releaseStuck_ = false;
};

}  // namespace tarvenix::testing
