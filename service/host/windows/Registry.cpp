#include "Registry.h"

#include <vector>

namespace MW::Host {

CRegKey& CRegKey::operator=(CRegKey&& other) noexcept {
    if (this != &other) {
        close();
        m_hKey = other.m_hKey;
        other.m_hKey = nullptr;
    }
    return *this;
}

LONG CRegKey::open(HKEY parent, const std::wstring& path, REGSAM access) {
    close();
    const LONG error = ::RegOpenKeyExW(parent, path.c_str(), 0, access, &m_hKey);
    if (error != ERROR_SUCCESS)
        m_hKey = nullptr;
    return error;
}

LONG CRegKey::create(HKEY parent, const std::wstring& path) {
    close();
    const LONG error = ::RegCreateKeyExW(parent, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                         KEY_READ | KEY_WRITE, nullptr, &m_hKey, nullptr);
    if (error != ERROR_SUCCESS)
        m_hKey = nullptr;
    return error;
}

void CRegKey::close() {
    if (m_hKey)
        ::RegCloseKey(m_hKey);
    m_hKey = nullptr;
}

LONG CRegKey::setString(const std::wstring& name, const std::wstring& value) const {
    return ::RegSetValueExW(m_hKey, name.empty() ? nullptr : name.c_str(), 0, REG_SZ,
                            reinterpret_cast<const BYTE*>(value.c_str()),
                            static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
}

std::optional<std::wstring> CRegKey::getString(const std::wstring& name) const {
    const wchar_t* valueName = name.empty() ? nullptr : name.c_str();
    DWORD type = 0, size = 0;
    if (::RegQueryValueExW(m_hKey, valueName, nullptr, &type, nullptr, &size) != ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_EXPAND_SZ))
        return std::nullopt;
    std::vector<wchar_t> buffer(size / sizeof(wchar_t) + 1, L'\0');
    if (::RegQueryValueExW(m_hKey, valueName, nullptr, &type,
                           reinterpret_cast<BYTE*>(buffer.data()), &size) != ERROR_SUCCESS)
        return std::nullopt;
    buffer[size / sizeof(wchar_t)] = L'\0';
    return std::wstring(buffer.data());
}

LONG CRegKey::deleteValue(const std::wstring& name) const {
    const LONG error = ::RegDeleteValueW(m_hKey, name.c_str());
    return error == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : error;
}

LONG deleteTree(HKEY parent, const std::wstring& path) {
    const LONG error = ::RegDeleteTreeW(parent, path.c_str());
    return error == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : error;
}

LONG writeKey(HKEY parent, const std::wstring& path, const std::wstring& defaultValue) {
    CRegKey key;
    const LONG error = key.create(parent, path);
    if (error != ERROR_SUCCESS)
        return error;
    return key.setString(L"", defaultValue);
}

} // namespace MW::Host
