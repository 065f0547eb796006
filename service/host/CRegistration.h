#pragma once
// The registration verbs: they write or remove the files that let a bus start
// mwservice on demand, and the systemd unit that runs it as a service.

#include "CommandLine.h"
#include "RegistrationFiles.h"

#include <ostream>
#include <string>
#include <vector>

namespace MW::Host {

class CRegistration {
public:
    // `root` relocates the system registration (empty: the real system); with a
    // root, systemd is only asked to change files below it (systemctl --root).
    // `sessionDir` is where the per-user activation file goes.
    CRegistration(std::string programPath, std::string root, std::string sessionDir,
                  std::ostream& out, std::ostream& err);

    // Carries out the verb; returns the program's exit code.
    int run(EVerb verb);

private:
    int regServerPerUser();
    int unregServerPerUser();
    int regServer(bool asService);
    int unregServer();

    bool checkSystemBus();
    bool checkWritable(const std::vector<std::string>& files);
    bool checkCanUninstall();
    // Stops, disables and deletes an installed unit; true when none is left.
    bool uninstallService();
    bool systemctl(std::vector<std::string> args);
    bool managerLive() const;
    // Writes the files in order; on a failure removes those written and says why.
    bool writeAll(const std::vector<std::pair<std::string, std::string>>& files);
    void reload(EBusType bus);
    void say(const std::string& message);

    std::string m_strProgramPath;
    std::string m_strRoot;
    std::string m_strSessionDir;
    SystemPaths m_paths;
    std::ostream& m_out;
    std::ostream& m_err;
};

} // namespace MW::Host
