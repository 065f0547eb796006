#pragma once
// Decides whether a bus caller may change the service: root, or a member of the
// configured group. The caller's uid and groups come from the bus daemon
// (GetConnectionCredentials), never from a process id that could be reused, and
// are kept per unique sender name until that name leaves the bus; the service
// listens for the departure of exactly those names. The group's id (and, where
// the bus gives no groups, an account's groups) are looked up at most every few
// seconds. Runs on the bus thread only.

#include "CBusServer.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <sys/types.h>
#include <unordered_map>
#include <vector>

namespace sdbus {
class IConnection;
class IProxy;
class Message;
} // namespace sdbus

namespace MW::DBus {

class CCallerAuth {
public:
    CCallerAuth(sdbus::IConnection& connection, AuthOptions options);
    ~CCallerAuth();
    CCallerAuth(const CCallerAuth&) = delete;
    CCallerAuth& operator=(const CCallerAuth&) = delete;

    // Throws sdbus::Error(org.freedesktop.DBus.Error.AccessDenied) unless the
    // sender of `message` may write. Does nothing when the check is off.
    void requireWriter(const sdbus::Message* message);
    // Whether the sender of `message` may write: the answer requireWriter acts on.
    bool mayChange(const sdbus::Message* message);
    // The group whose members may write; empty when the check is off.
    std::string group() const { return m_options.enabled ? m_options.group : std::string(); }

    struct Credentials {
        uid_t uid = static_cast<uid_t>(-1);
        // Primary and supplementary groups; empty when the bus did not say.
        std::vector<gid_t> gids;
        bool gidsKnown = false;
    };
    // The rule itself: uid 0, or `group` among the caller's groups. When the bus
    // gave no groups, the groups of the caller's account are used instead.
    static bool mayWrite(const Credentials& credentials, const std::string& group);

private:
    struct SCaller {
        Credentials credentials;
        // The match for this name's NameOwnerChanged; gone with the entry.
        std::unique_ptr<void, std::function<void(void*)>> departure;
    };
    template <typename T> struct SCached {
        T value{};
        std::chrono::steady_clock::time_point at{};
        bool valid = false;
    };

    std::optional<Credentials> credentialsOf(const std::string& sender);
    void forget(const std::string& sender);
    bool mayWriteCached(const Credentials& credentials);

    sdbus::IConnection& m_connection;
    AuthOptions m_options;
    std::unique_ptr<sdbus::IProxy> m_pBusProxy;
    std::unordered_map<std::string, SCaller> m_mapCallers;
    // Matches of names that left, released outside their own callback.
    std::vector<std::unique_ptr<void, std::function<void(void*)>>> m_arrReleased;
    SCached<std::optional<gid_t>> m_groupId;
    std::unordered_map<uid_t, SCached<std::vector<gid_t>>> m_mapAccountGroups;
};

} // namespace MW::DBus
