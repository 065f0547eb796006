#include "CRegistration.h"

#include "FileOps.h"
#include "Systemd.h"

namespace MW::Host {
namespace {

constexpr int kSuccess = 0;
constexpr int kFailure = 1;

// The texts the service manager failures are reported with.
constexpr const char* kNoManager = "Could not open Service Manager";
constexpr const char* kCannotStart = "Could not start service";
constexpr const char* kCannotStop = "Could not stop service";
constexpr const char* kCannotDelete = "Could not delete service";

std::string parentOf(const std::string& path) {
    return path.substr(0, path.find_last_of('/'));
}

} // namespace

CRegistration::CRegistration(std::string programPath, std::string root, std::string sessionDir,
                             std::ostream& out, std::ostream& err)
    : m_strProgramPath(std::move(programPath)), m_strRoot(std::move(root)),
      m_strSessionDir(std::move(sessionDir)), m_paths(systemPaths(m_strRoot)), m_out(out),
      m_err(err) {}

int CRegistration::run(EVerb verb) {
    switch (verb) {
    case EVerb::eV_RegServerPerUser:
        return regServerPerUser();
    case EVerb::eV_UnregServerPerUser:
        return unregServerPerUser();
    case EVerb::eV_RegServer:
        return regServer(false);
    case EVerb::eV_Service:
        return regServer(true);
    case EVerb::eV_UnregServer:
        return unregServer();
    case EVerb::eV_None:
        break;
    }
    return kFailure;
}

int CRegistration::regServerPerUser() {
    const auto exec = busExecWord(m_strProgramPath);
    if (!exec) {
        say("cannot name this program in an activation file: \"" + m_strProgramPath + "\"");
        return kFailure;
    }
    const std::string file = m_strSessionDir + "/" + kActivationFileName;
    if (!writeAll({{file, sessionActivationFile(*exec)}}))
        return kFailure;
    reload(EBusType::eBT_Session);
    m_out << "Registered org.morrowick.Service on this user's session bus: " << file << '\n';
    return kSuccess;
}

int CRegistration::unregServerPerUser() {
    const std::string file = m_strSessionDir + "/" + kActivationFileName;
    if (std::string error = removeFile(file); !error.empty()) {
        say(error);
        return kFailure;
    }
    reload(EBusType::eBT_Session);
    m_out << "Removed " << file << '\n';
    return kSuccess;
}

int CRegistration::regServer(bool asService) {
    const auto busExec = busExecWord(m_strProgramPath);
    const auto unitExec = systemdExecWord(m_strProgramPath);
    if (!busExec || (asService && !unitExec)) {
        say("cannot name this program in a registration file: \"" + m_strProgramPath + "\"");
        return kFailure;
    }
    // Everything that could stop the registration is checked before anything
    // changes.
    if (asService && !managerLive() && m_strRoot.empty()) {
        say(std::string(kNoManager) + " (systemd is not running on this machine)");
        return kFailure;
    }
    if (asService && findInPath("systemctl").empty()) {
        say(std::string(kNoManager) + " (systemctl was not found)");
        return kFailure;
    }
    if (!checkSystemBus() || !checkCanUninstall())
        return kFailure;
    std::vector<std::string> files{m_paths.activation, m_paths.policy};
    if (asService)
        files.push_back(m_paths.unit);
    if (!checkWritable(files))
        return kFailure;

    if (!uninstallService())
        return kFailure;
    std::vector<std::pair<std::string, std::string>> contents{
        {m_paths.activation, systemActivationFile(*busExec, asService)},
        {m_paths.policy, policyFile()}};
    if (asService)
        contents.emplace_back(m_paths.unit, unitFile(*unitExec));
    if (!writeAll(contents))
        return kFailure;
    if (asService) {
        if (managerLive())
            systemctl({"daemon-reload"});
        if (!systemctl({"enable", kUnitName})) {
            say(kCannotStart);
            for (const auto& file : files)
                removeFile(file);
            if (managerLive())
                systemctl({"daemon-reload"});
            return kFailure;
        }
    }
    reload(EBusType::eBT_System);
    m_out << "Registered org.morrowick.Service on the system bus: " << m_paths.activation << '\n';
    if (asService)
        m_out << "Installed and enabled " << m_paths.unit << '\n';
    return kSuccess;
}

int CRegistration::unregServer() {
    if (!checkCanUninstall() || !checkWritable({m_paths.activation, m_paths.policy}))
        return kFailure;
    if (!uninstallService())
        return kFailure;
    for (const auto& file : {m_paths.activation, m_paths.policy}) {
        if (std::string error = removeFile(file); !error.empty()) {
            say(error);
            return kFailure;
        }
    }
    reload(EBusType::eBT_System);
    m_out << "Removed the system registration of org.morrowick.Service\n";
    return kSuccess;
}

bool CRegistration::checkSystemBus() {
    if (std::string error = probeBus(EBusType::eBT_System); !error.empty()) {
        say("the system bus is not available (" + error + ")");
        return false;
    }
    return true;
}

bool CRegistration::checkWritable(const std::vector<std::string>& files) {
    for (const auto& file : files) {
        if (std::string error = checkWritableDir(parentOf(file)); !error.empty()) {
            say(error);
            return false;
        }
    }
    return true;
}

bool CRegistration::checkCanUninstall() {
    const std::vector<std::string> units = installedUnits(m_strRoot);
    if (units.empty())
        return true;
    if (findInPath("systemctl").empty()) {
        say(std::string(kNoManager) + " (systemctl was not found)");
        return false;
    }
    return checkWritable(units);
}

bool CRegistration::uninstallService() {
    // Wherever systemd loads the unit from: one this program wrote, one that
    // cmake --install or a package put in a distribution folder, or both.
    const std::vector<std::string> units = installedUnits(m_strRoot);
    if (units.empty())
        return true;
    if (managerLive() && !systemctl({"stop", kUnitName}))
        say(kCannotStop);
    if (!systemctl({"disable", kUnitName})) {
        say(kCannotDelete);
        return false;
    }
    for (const auto& unit : units) {
        if (std::string error = removeFile(unit); !error.empty()) {
            say(std::string(kCannotDelete) + " (" + error + ")");
            return false;
        }
        m_out << "Removed " << unit << '\n';
    }
    if (managerLive())
        systemctl({"daemon-reload"});
    return true;
}

bool CRegistration::systemctl(std::vector<std::string> args) {
    std::vector<std::string> argv{"systemctl", "--quiet"};
    if (!m_strRoot.empty())
        argv.push_back("--root=" + m_strRoot);
    argv.insert(argv.end(), args.begin(), args.end());
    return runProgram(argv) == 0;
}

// A relocated registration is never seen by the running manager.
bool CRegistration::managerLive() const {
    return m_strRoot.empty() && systemdRunning();
}

bool CRegistration::writeAll(const std::vector<std::pair<std::string, std::string>>& files) {
    std::vector<std::string> written;
    for (const auto& [path, content] : files) {
        if (std::string error = writeFileAtomically(path, content); !error.empty()) {
            say(error);
            for (const auto& done : written)
                removeFile(done);
            return false;
        }
        written.push_back(path);
    }
    return true;
}

void CRegistration::reload(EBusType bus) {
    // The bus also notices new files by itself; asking only makes it immediate.
    reloadBusConfig(bus);
}

void CRegistration::say(const std::string& message) {
    m_err << "mwservice: " << message << '\n';
}

} // namespace MW::Host
