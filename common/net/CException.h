#pragma once
// The library's exceptions: every failure of the HTTP client is a CNetworkException.

#include <cstdint>
#include <exception>
#include <string>

namespace Cxx::Exception {

class CException : public std::exception {
public:
    explicit CException(std::string message) : m_message(std::move(message)) {}
    const char* what() const noexcept override { return m_message.c_str(); }

private:
    std::string m_message;
};

} // namespace Cxx::Exception

namespace Cxx::Network::Exception {

class CNetworkException : public Cxx::Exception::CException {
public:
    // Callers show the code after the message; it is the same for every failure.
    static constexpr std::int32_t kErrorCode = 7;

    explicit CNetworkException(std::string message) : CException(std::move(message)) {}
    std::int32_t GetErrorCode() const noexcept { return m_code; }

private:
    std::int32_t m_code = kErrorCode;
};

} // namespace Cxx::Network::Exception
