#include "CCallerAuth.h"

#include "CLog.h"
#include "Contract.h"

#include <algorithm>
#include <chrono>
#include <grp.h>
#include <map>
#include <pwd.h>
#include <sdbus-c++/sdbus-c++.h>
#include <unistd.h>

namespace MW::DBus {

namespace {

constexpr const char* kBusName = "org.freedesktop.DBus";
constexpr const char* kBusPath = "/org/freedesktop/DBus";
constexpr const char* kBusInterface = "org.freedesktop.DBus";
// A bound for the cache should the owner-change signals ever be missed.
constexpr std::size_t kMaxCachedSenders = 4096;
// How long a group or account lookup through NSS is trusted.
constexpr std::chrono::seconds kLookupLifetime(10);

// Unique names are ":" followed by dot-separated alphanumerics; nothing else is
// put into a match rule.
bool isUniqueName(const std::string& name) {
    return name.size() > 1 && name[0] == ':' &&
           name.find_first_not_of(
               ":.-_0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz") ==
               std::string::npos;
}

template <typename T, typename F> const T& cached(T& slot, F&& lookup) {
    const auto now = std::chrono::steady_clock::now();
    if (!slot.valid || now - slot.at > kLookupLifetime) {
        slot.value = lookup();
        slot.at = now;
        slot.valid = true;
    }
    return slot;
}

std::size_t bufferSize(int name) {
    const long size = ::sysconf(name);
    return size > 0 ? static_cast<std::size_t>(size) : 16384;
}

std::optional<gid_t> groupId(const std::string& group) {
    std::vector<char> buffer(bufferSize(_SC_GETGR_R_SIZE_MAX));
    struct group entry {};
    struct group* found = nullptr;
    while (::getgrnam_r(group.c_str(), &entry, buffer.data(), buffer.size(), &found) == ERANGE)
        buffer.resize(buffer.size() * 2);
    if (!found)
        return std::nullopt;
    return found->gr_gid;
}

// The groups of the account `uid`, primary first; empty when it has no account.
std::vector<gid_t> accountGroups(uid_t uid) {
    std::vector<char> buffer(bufferSize(_SC_GETPW_R_SIZE_MAX));
    struct passwd entry {};
    struct passwd* found = nullptr;
    while (::getpwuid_r(uid, &entry, buffer.data(), buffer.size(), &found) == ERANGE)
        buffer.resize(buffer.size() * 2);
    if (!found)
        return {};
    int count = 32;
    std::vector<gid_t> groups(static_cast<std::size_t>(count));
    while (::getgrouplist(found->pw_name, found->pw_gid, groups.data(), &count) < 0)
        groups.resize(static_cast<std::size_t>(count));
    groups.resize(static_cast<std::size_t>(count));
    return groups;
}

} // namespace

CCallerAuth::CCallerAuth(sdbus::IConnection& connection, AuthOptions options)
    : m_connection(connection), m_options(std::move(options)) {
    if (!m_options.enabled)
        return;
    m_pBusProxy = sdbus::createProxy(m_connection, kBusName, kBusPath);
}

CCallerAuth::~CCallerAuth() = default;

bool CCallerAuth::mayChange(const sdbus::Message* message) {
    if (!m_options.enabled)
        return true;
    m_arrReleased.clear();
    const std::string sender = message ? message->getSender() : std::string();
    const auto credentials = sender.empty() ? std::nullopt : credentialsOf(sender);
    return credentials && mayWriteCached(*credentials);
}

void CCallerAuth::requireWriter(const sdbus::Message* message) {
    if (mayChange(message))
        return;
    throw sdbus::Error(Bus::kErrorAccessDenied, "Only root and members of the group \"" +
                                                    m_options.group + "\" may change the service.");
}

bool CCallerAuth::mayWrite(const Credentials& credentials, const std::string& group) {
    if (credentials.uid == 0)
        return true;
    const auto gid = groupId(group);
    if (!gid)
        return false;
    const std::vector<gid_t> groups =
        credentials.gidsKnown ? credentials.gids : accountGroups(credentials.uid);
    return std::find(groups.begin(), groups.end(), *gid) != groups.end();
}

bool CCallerAuth::mayWriteCached(const Credentials& credentials) {
    if (credentials.uid == 0)
        return true;
    const auto& gid = cached(m_groupId, [this] { return groupId(m_options.group); }).value;
    if (!gid)
        return false;
    const std::vector<gid_t>& groups =
        credentials.gidsKnown ? credentials.gids : cached(m_mapAccountGroups[credentials.uid], [&] {
                                                       return accountGroups(credentials.uid);
                                                   }).value;
    return std::find(groups.begin(), groups.end(), *gid) != groups.end();
}

void CCallerAuth::forget(const std::string& sender) {
    const auto it = m_mapCallers.find(sender);
    if (it == m_mapCallers.end())
        return;
    // Called from the match's own callback: its slot goes a little later.
    m_arrReleased.push_back(std::move(it->second.departure));
    m_mapCallers.erase(it);
}

std::optional<CCallerAuth::Credentials> CCallerAuth::credentialsOf(const std::string& sender) {
    if (const auto it = m_mapCallers.find(sender); it != m_mapCallers.end())
        return it->second.credentials;
    if (!isUniqueName(sender))
        return std::nullopt;
    SCaller caller;
    try {
        // Listens for this name leaving before asking about it, so that a caller
        // who leaves in between is not kept for ever.
        caller.departure = m_connection.addMatch(
            "type='signal',sender='org.freedesktop.DBus',path='/org/freedesktop/DBus',"
            "interface='org.freedesktop.DBus',member='NameOwnerChanged',arg0='" +
                sender + "'",
            [this](sdbus::Message& signal) {
                std::string name, oldOwner, newOwner;
                signal >> name >> oldOwner >> newOwner;
                if (newOwner.empty())
                    forget(name);
            });
    } catch (const sdbus::Error& e) {
        logWrite("CCallerAuth::credentialsOf(): " + sender + ": " + e.getMessage());
        return std::nullopt;
    }
    std::map<std::string, sdbus::Variant> reply;
    try {
        // A call to the bus daemon itself, which answers at once.
        m_pBusProxy->callMethod("GetConnectionCredentials")
            .onInterface(kBusInterface)
            .withTimeout(std::chrono::seconds(5))
            .withArguments(sender)
            .storeResultsTo(reply);
    } catch (const sdbus::Error& e) {
        // The caller has gone already, or the daemon cannot tell: refuse.
        logWrite("CCallerAuth::credentialsOf(): " + sender + ": " + e.getMessage());
        return std::nullopt;
    }
    Credentials credentials;
    const auto uid = reply.find("UnixUserID");
    if (uid == reply.end() || !uid->second.containsValueOfType<std::uint32_t>())
        return std::nullopt;
    credentials.uid = uid->second.get<std::uint32_t>();
    if (const auto gids = reply.find("UnixGroupIDs");
        gids != reply.end() && gids->second.containsValueOfType<std::vector<std::uint32_t>>()) {
        for (const std::uint32_t gid : gids->second.get<std::vector<std::uint32_t>>())
            credentials.gids.push_back(gid);
        credentials.gidsKnown = true;
    }
    if (m_mapCallers.size() >= kMaxCachedSenders)
        m_mapCallers.clear();
    caller.credentials = credentials;
    m_mapCallers.emplace(sender, std::move(caller));
    return credentials;
}

} // namespace MW::DBus
