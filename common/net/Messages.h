#pragma once
// The client's failure texts. Callers match on them, so they never change.

namespace Cxx::Network::Messages {

inline constexpr char kBadMethod[] =
    "Request type has not been set. Client supports only GET and POST requests for now.";
inline constexpr char kCreateRequest[] = "Can't create request to the server.";
inline constexpr char kSecurityFlags[] = "Can't set security flags option.";
inline constexpr char kSendRequest[] = "Can't send request to the server.";
inline constexpr char kReceiveResponse[] = "Can't receive response from the server.";
inline constexpr char kAuthentication[] = "Authentication proxy fails.";
inline constexpr char kOpenSession[] = "Can't open http connection to the server.";
inline constexpr char kConnect[] = "Can't connect to the server.";
inline constexpr char kUserProxyConfig[] = "Can't get IE proxy configuration for local account.";
inline constexpr char kMachineProxyConfig[] = "Can't get IE proxy configuration from Registry.";
// 34 blanks between the two sentences.
inline constexpr char kSyncAvailable[] = "Error by receiving data from server ( synchronously )."
                                         "                                  "
                                         "Available data size is unknown.";
inline constexpr char kSyncRead[] = "Error by receiving data from server ( synchronously ).";
inline constexpr char kAsyncContentLength[] =
    "Error by receiving data from server ( asynchronously ). Available data size is unknown. "
    "Can't get content length header.";
inline constexpr char kAsyncRead[] = "Error by receiving data from server ( asynchronously ).";
inline constexpr char kParameterUtf8[] = "Can't convert parameter to UTF-8 encoding.";
inline constexpr char kParameterEmpty[] = "Parameter is empty.";
inline constexpr char kSetBadParameter[] =
    "Parameter is empty or returned parameter's buffer is incorrect.";
inline constexpr char kSetEmpty[] = "Parameters' list is empty.";

} // namespace Cxx::Network::Messages
