#pragma once
// The one place where failures of the engine objects become bus errors. Every
// handler runs its body through guarded(), so a client gets a named D-Bus error
// and nothing it sends can throw through the bus library.

#include <sdbus-c++/Error.h>

namespace MW::DBus {

// Rethrows the exception being handled as an sdbus::Error: a CContractError keeps
// its name, anything else becomes org.morrowick.Error.Failed. Call only in a
// catch block.
[[noreturn]] void rethrowAsBusError();

template <typename F> auto guarded(F&& body) -> decltype(body()) {
    try {
        return body();
    } catch (...) {
        rethrowAsBusError();
    }
}

} // namespace MW::DBus
