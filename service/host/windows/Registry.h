#pragma once
// A registry key that closes itself, and the few calls the registration needs.

#include <windows.h>

#include <optional>
#include <string>

namespace MW::Host {

class CRegKey {
public:
    CRegKey() = default;
    ~CRegKey() { close(); }
    CRegKey(CRegKey&& other) noexcept : m_hKey(other.m_hKey) { other.m_hKey = nullptr; }
    CRegKey& operator=(CRegKey&& other) noexcept;
    CRegKey(const CRegKey&) = delete;
    CRegKey& operator=(const CRegKey&) = delete;

    // Win32 error codes; the key stays closed on failure.
    LONG open(HKEY parent, const std::wstring& path, REGSAM access);
    LONG create(HKEY parent, const std::wstring& path);
    void close();

    HKEY get() const { return m_hKey; }
    explicit operator bool() const { return m_hKey != nullptr; }

    // REG_SZ; an empty name is the key's default value.
    LONG setString(const std::wstring& name, const std::wstring& value) const;
    std::optional<std::wstring> getString(const std::wstring& name) const;
    LONG deleteValue(const std::wstring& name) const;

private:
    HKEY m_hKey = nullptr;
};

// Removes `path` below `parent` with everything in it; a missing key is no error.
LONG deleteTree(HKEY parent, const std::wstring& path);

// Creates (or opens) `path` below `parent` and sets its default value.
LONG writeKey(HKEY parent, const std::wstring& path, const std::wstring& defaultValue);

} // namespace MW::Host
