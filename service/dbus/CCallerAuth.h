#pragma once
// Decides whether a bus caller may change the service: root, or a member of the
// configured group. The caller's uid and groups come from the bus daemon
// (GetConnectionCredentials), never from a process id that could be reused, and
// are kept per unique sender name until that name leaves the bus. Runs on the
// bus thread only.

#include "CBusServer.h"

#include <cstdint>
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
    std::optional<Credentials> credentialsOf(const std::string& sender);

    sdbus::IConnection& m_connection;
    AuthOptions m_options;
    std::unique_ptr<sdbus::IProxy> m_pBusProxy;
    std::unordered_map<std::string, Credentials> m_mapCredentials;
};

} // namespace MW::DBus
