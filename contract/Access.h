#pragma once
// Whether a caller may change the service (org.morrowick.Access.xml beside this
// file): its bus names.

namespace MW::Bus {
inline constexpr const char* kAccessInterface = "org.morrowick.Access";
inline constexpr const char* kAccessMayChange = "mayChange";
inline constexpr const char* kAccessGroup = "Group";
// The group the package installs and the service checks unless told otherwise.
inline constexpr const char* kDefaultChangeGroup = "morrowick";
} // namespace MW::Bus
