#pragma once

namespace MW {

// Which bus a client looks for the service on.
enum class EBusChoice {
    Auto,   // the session bus when the service is there (a per-user registration), else the system bus
    User,   // the session bus only
    System, // the system bus only
};

} // namespace MW
