// Process.h on Windows: the programs are Linux programs (servers, openssl, kill) that a
// test under Wine starts through Wine's support for Unix binaries. Wine gives no
// handle to such a process, so unix-child.sh reports its pid, streams and status
// through files in a control folder.

#include "Process.h"

#include "TempDir.h"
#include "Wait.h"

#include <atomic>
#include <filesystem>
#include <stdexcept>
#include <windows.h>

#ifndef MW_UNIX_CHILD_SCRIPT
#error "MW_UNIX_CHILD_SCRIPT must name unix-child.sh"
#endif

namespace MW::Test {
namespace {

// Wine's own path conversion (kernel32 exports it to Windows programs under Wine).
using UnixFileName = char*(__cdecl*)(const wchar_t*);

std::wstring wide(const std::string& utf8) {
    const int size = ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()),
                                           nullptr, 0);
    std::wstring out(static_cast<std::size_t>(size), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), out.data(), size);
    return out;
}

// One argument of a command line as CreateProcess splits it again for Wine.
std::wstring quoted(const std::string& argument) {
    std::wstring out = L"\"";
    std::size_t backslashes = 0;
    for (const wchar_t c : wide(argument)) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        out.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
        backslashes = 0;
        out += c;
    }
    out.append(backslashes * 2, L'\\');
    return out + L"\"";
}

void startUnix(const std::vector<std::string>& argv) {
    std::wstring line;
    for (const auto& argument : argv)
        line += (line.empty() ? L"" : L" ") + quoted(argument);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    const std::wstring program = L"Z:\\bin\\sh";
    if (!::CreateProcessW(program.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                          nullptr, &startup, &info))
        throw std::runtime_error("cannot start " + argv.front() + " through Wine");
    if (info.hProcess)
        ::CloseHandle(info.hProcess);
    if (info.hThread)
        ::CloseHandle(info.hThread);
}

std::string readOr(const std::string& path, const std::string& fallback) {
    return exists(path) ? readFile(path) : fallback;
}

// Control folders live as long as the test process; each child gets its own.
TempDir& controlRoot() {
    static TempDir root;
    return root;
}

std::string newControlDir() {
    static std::atomic<int> next{0};
    const std::string dir = controlRoot() / ("child-" + std::to_string(next++));
    std::filesystem::create_directory(std::filesystem::path(wide(dir)));
    return dir;
}

// Launches argv with env through the script; returns the control folder.
std::string launch(const std::vector<std::string>& argv, const Env& env) {
    const std::string dir = newControlDir();
    std::vector<std::string> command = {"/bin/sh", MW_UNIX_CHILD_SCRIPT, unixPath(dir)};
    if (!env.empty()) {
        command.emplace_back("env");
        for (const auto& [name, value] : env)
            command.push_back(name + "=" + value);
    }
    command.insert(command.end(), argv.begin(), argv.end());
    startUnix(command);
    return dir;
}

int statusIn(const std::string& dir, int timeoutSeconds) {
    const std::string path = dir + "\\status";
    if (!waitUntil([&] { return exists(path); }, std::chrono::seconds(timeoutSeconds)))
        return -1;
    return std::stoi(readFile(path));
}

} // namespace

bool underWine() {
    return ::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr;
}

std::string unixPath(const std::string& path) {
    // Through void*: FARPROC's own type says nothing of the real signature.
    static const auto convert = reinterpret_cast<UnixFileName>(reinterpret_cast<void*>(
        ::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
    if (!convert)
        throw std::runtime_error("not running under Wine");
    char* converted = convert(wide(path).c_str());
    if (!converted)
        throw std::runtime_error("no Unix path for " + path);
    std::string out = converted;
    ::HeapFree(::GetProcessHeap(), 0, converted);
    return out;
}

CommandResult runCommand(const std::vector<std::string>& argv, const Env& env, int timeoutSeconds) {
    const std::string dir = launch(argv, env);
    CommandResult result;
    result.status = statusIn(dir, timeoutSeconds);
    result.out = readOr(dir + "\\out", "");
    result.err = readOr(dir + "\\err", "");
    return result;
}

Child::Child(const std::vector<std::string>& argv, const Env& env) {
    m_dir = launch(argv, env);
    const std::string pidFile = m_dir + "\\pid";
    if (!waitUntil([&] { return exists(pidFile); }, 30))
        throw std::runtime_error("cannot start " + argv.front() + " through Wine");
    m_pid = std::stoi(readFile(pidFile));
}

Child::~Child() {
    if (m_status == -1 && signalAndWait(15, 10) == -1)
        signalAndWait(9, 10);
}

int Child::signalAndWait(int signal, int timeoutSeconds) {
    // Only a program still running is signalled: its pid may be another's once it ended.
    if (wait(0) == -1)
        runCommand({"kill", "-" + std::to_string(signal), std::to_string(m_pid)}, {}, 10);
    return wait(timeoutSeconds);
}

int Child::wait(int timeoutSeconds) {
    if (m_status == -1)
        m_status = statusIn(m_dir, timeoutSeconds);
    return m_status;
}

} // namespace MW::Test
