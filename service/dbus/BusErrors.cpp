#include "BusErrors.h"

#include "CLog.h"
#include "Contract.h"

#include <exception>

namespace MW::DBus {

void rethrowAsBusError() {
    try {
        throw;
    } catch (const sdbus::Error&) {
        throw;
    } catch (const CContractError& e) {
        throw sdbus::Error(e.name(), e.what());
    } catch (const std::exception& e) {
        // Not a contract failure: an internal one. The client learns that the
        // call failed; the details go to the log.
        logWrite(std::string("CBusServer::handler(): ") + e.what());
        throw sdbus::Error(Bus::kErrorFailed, "The service could not complete the call.");
    } catch (...) {
        logWrite("CBusServer::handler(): unknown exception");
        throw sdbus::Error(Bus::kErrorFailed, "The service could not complete the call.");
    }
}

} // namespace MW::DBus
