// mwservice: with a verb it registers or unregisters itself and ends; without
// one it runs the Morrowick cleaning service.

#include "CRegistration.h"
#include "CServiceModule.h"
#include "CommandLine.h"
#include "DataFiles.h"
#include "FileOps.h"
#include "RunSetup.h"

#include <csignal>
#include <iostream>

int main(int argc, char** argv) {
    using namespace MW::Host;
    // A file size limit then makes a write fail and be reported, instead of ending
    // the service before it could save.
    std::signal(SIGXFSZ, SIG_IGN);
    const std::vector<std::string> args(argv + 1, argv + argc);
    const CommandLine line = parseCommandLine(args);
    if (!line.error.empty()) {
        std::cerr << "mwservice: " << line.error << "\n\n" << usage();
        return 2;
    }
    if (line.options.help) {
        std::cout << usage();
        return 0;
    }
    if (line.options.version) {
        std::cout << "mwservice " << Data::kVersion << '\n';
        return 0;
    }
    if (line.verb != EVerb::eV_None) {
        const std::string program = programPath();
        if (program.empty()) {
            std::cerr << "mwservice: the path of this program cannot be determined\n";
            return 1;
        }
        CRegistration registration(program, line.options.root,
                                   sessionServiceDir(processEnv(), passwdHome()), std::cout,
                                   std::cerr);
        return registration.run(line.verb);
    }
    if (!line.options.root.empty()) {
        std::cerr << "mwservice: --root applies only to -RegServer, -Service and -UnregServer\n";
        return 2;
    }
    CServiceModule module(
        makeRunSetup(line.options, processEnv(), passwdHome(), currentDirectory()));
    return module.start();
}
