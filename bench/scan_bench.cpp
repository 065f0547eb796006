// The scan pass against find, and against the bare system calls it cannot avoid.
// Driven by scan_vs_find.sh; each command prints "seconds <wall> rss_kib <peak>".
//
//   scan_bench generate ROOT FILES FOLDERS [BYTES]
//                                            a tree of FILES files in FOLDERS folders,
//                                            old candidates of BYTES bytes (default
//                                            4096), sparse: sizes without disk blocks
//   scan_bench scan ROOT LOG                 one scan pass with the log at LOG
//   scan_bench find ROOT ARGS...             runs find ROOT ARGS... as a child
//   scan_bench floor ROOT                    the pass's system calls, nothing else

#include "CLog.h"
#include "CScanCycle.h"
#include "CSettings.h"
#include "CleaningRules.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <string>
#include <string_view>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

using SteadyClock = std::chrono::steady_clock;

// The types of the benchmark: the CAD program's list as the configurator writes it.
constexpr const char* kFileTypes = ".bak,.dwl,.dwl2,.ac$,.sv$,.bpn,.skb,.fzb,.rvt,.rfa";
constexpr std::string_view kFloorSuffixes[] = {".bak", ".dwl", ".dwl2", ".ac$",
                                               ".sv$", ".bpn", ".skb",  ".fzb"};
constexpr long kOldSeconds = 30L * 86400;
constexpr long kYoungSeconds = 3600;

class CCountingDispatcher : public MW::IMWEventDispatcher {
public:
    void fireEvent(MW::EFireEvent event) override {
        if (event == MW::eFE_UpdateCleanedSpace)
            m_nDeleted.fetch_add(1, std::memory_order_relaxed);
    }
    long deleted() const { return m_nDeleted.load(); }

private:
    std::atomic<long> m_nDeleted{0};
};

void report(SteadyClock::time_point start, long rssKib) {
    const std::chrono::duration<double> wall = SteadyClock::now() - start;
    std::printf("seconds %.3f rss_kib %ld\n", wall.count(), rssKib);
}

long selfPeakRss() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

void makeFile(int folder, const std::string& name, std::size_t size, long secondsAgo) {
    const int fd = ::openat(folder, name.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) {
        std::perror(name.c_str());
        std::exit(1);
    }
    if (size > 0 && ::ftruncate(fd, static_cast<off_t>(size)) != 0)
        std::perror("ftruncate");
    const timespec when{::time(nullptr) - secondsAgo, 0};
    const timespec times[2] = {when, when};
    ::futimens(fd, times);
    ::close(fd);
}

// About 10% old candidates of every listed type, a few numbered backups, some
// young candidates, and drawings and documents that are never candidates.
int generate(const std::string& root, long files, long folders, std::size_t bytes) {
    static const char* kOldNames[] = {"plan.bak", "plan.dwl", "plan.dwl2", "auto.ac$",
                                      "auto.sv$", "plot.bpn", "model.skb", "part.fzb"};
    static const char* kOtherNames[] = {"plan.dwg",   "notes.txt", "sheet.pdf", "house.rvt",
                                        "family.rfa", "readme",    "image.png", "data.xlsx"};
    const long groups = folders / 50 > 0 ? folders / 50 : 1;
    long made = 0;
    ::mkdir(root.c_str(), 0755);
    for (long f = 0; f < folders; ++f) {
        const std::string group = root + "/project" + std::to_string(f % groups);
        ::mkdir(group.c_str(), 0755);
        const std::string path = group + "/drawings" + std::to_string(f / groups);
        ::mkdir(path.c_str(), 0755);
        const int folder = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        const long count = files / folders + (f < files % folders ? 1 : 0);
        for (long i = 0; i < count; ++i, ++made) {
            const std::string n = std::to_string(i) + "_";
            if (i % 10 == 0)
                makeFile(folder, n + kOldNames[(i / 10) % 8], bytes, kOldSeconds);
            else if (i % 97 == 1)
                makeFile(folder, n + (i % 2 ? "house.0001.rvt" : "door.0002.rfa"), bytes,
                         kOldSeconds);
            else if (i % 50 == 3)
                makeFile(folder, n + "fresh.bak", 16, kYoungSeconds);
            else
                makeFile(folder, n + kOtherNames[i % 8], 0, (i % 3) ? kOldSeconds : kYoungSeconds);
        }
        ::close(folder);
    }
    std::printf("generated %ld files in %ld folders\n", made, folders);
    return 0;
}

int scan(const std::string& root, const std::string& log) {
    MW::CLog::getInstance()->open(log);
    MW::CSettings* settings = MW::CSettings::getInstance();
    settings->setFileTypes(kFileTypes);
    settings->setDeleteAge(MW::eDA_Week);
    CCountingDispatcher dispatcher;
    MW::CScanCycle cycle(*settings, *MW::CLog::getInstance(), &dispatcher);
    const std::atomic<bool> stop{false};

    const auto start = SteadyClock::now();
    cycle.openList();
    const MW::SPassInputs inputs{root, MW::Rules::prepareTypeList(settings->getFileTypes(), ""),
                                 MW::Rules::prepareOtherList(""), settings->getDeleteAgeSpan()};
    cycle.clean(inputs, stop);
    cycle.closeList();
    MW::CLog::getInstance()->close(); // the buffered entries reach the file
    report(start, selfPeakRss());
    std::fprintf(stderr, "scan: %ld files deleted, %llu bytes\n", dispatcher.deleted(),
                 static_cast<unsigned long long>(settings->getCleanedSpace()));
    return 0;
}

int runFind(const std::string& root, char** args, int count) {
    std::vector<char*> argv{const_cast<char*>("find"), const_cast<char*>(root.c_str())};
    for (int i = 0; i < count; ++i)
        argv.push_back(args[i]);
    argv.push_back(nullptr);
    const auto start = SteadyClock::now();
    const pid_t child = ::fork();
    if (child == 0) {
        ::execvp("find", argv.data());
        ::_exit(127);
    }
    int status = 0;
    rusage usage{};
    ::wait4(child, &status, 0, &usage);
    report(start, usage.ru_maxrss);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 1;
}

bool floorCandidate(std::string_view name) {
    for (std::string_view suffix : kFloorSuffixes)
        if (name.size() > suffix.size() && name.ends_with(suffix))
            return true;
    return name.find(".0") != std::string_view::npos &&
           (name.ends_with(".rvt") || name.ends_with(".rfa"));
}

// The walk's system calls in the same order, without rules, paths or log.
long floorWalk(int parent, const char* name, dev_t device, time_t oldest) {
    const int fd = ::openat(parent, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    struct stat st {};
    if (fd < 0 || ::fstat(fd, &st) != 0 || (device != 0 && st.st_dev != device))
        return fd < 0 ? 0 : (::close(fd), 0);
    DIR* dir = ::fdopendir(fd);
    long deleted = 0;
    while (const dirent* d = ::readdir(dir)) {
        if (d->d_type == DT_DIR) {
            if (std::strcmp(d->d_name, ".") != 0 && std::strcmp(d->d_name, "..") != 0)
                deleted += floorWalk(fd, d->d_name, st.st_dev, oldest);
            continue;
        }
        if (!floorCandidate(d->d_name))
            continue;
        struct stat file {};
        if (::fstatat(fd, d->d_name, &file, AT_SYMLINK_NOFOLLOW) != 0 || file.st_mtime >= oldest)
            continue;
        const int probe = ::openat(fd, d->d_name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        if (probe >= 0) {
            ::fcntl(probe, F_SETSIG, SIGURG);
            if (::fcntl(probe, F_SETLEASE, F_WRLCK) == 0) {
                ::fcntl(probe, F_SETLEASE, F_UNLCK);
            } else {
                struct flock lock {};
                lock.l_type = F_WRLCK;
                ::fcntl(probe, F_OFD_GETLK, &lock);
            }
            ::close(probe);
        }
        deleted += ::unlinkat(fd, d->d_name, 0) == 0;
    }
    ::closedir(dir);
    return deleted;
}

int floor(const std::string& root) {
    const auto start = SteadyClock::now();
    const long deleted = floorWalk(AT_FDCWD, root.c_str(), 0, ::time(nullptr) - 7 * 86400);
    report(start, selfPeakRss());
    std::fprintf(stderr, "floor: %ld files deleted\n", deleted);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    const std::string command = argc > 2 ? argv[1] : "";
    if (command == "generate" && (argc == 5 || argc == 6))
        return generate(argv[2], std::atol(argv[3]), std::atol(argv[4]),
                        argc == 6 ? std::strtoul(argv[5], nullptr, 10) : 4096);
    if (command == "scan" && argc == 4)
        return scan(argv[2], argv[3]);
    if (command == "find")
        return runFind(argv[2], argv + 3, argc - 3);
    if (command == "floor" && argc == 3)
        return floor(argv[2]);
    std::fprintf(stderr, "usage: see the head of scan_bench.cpp\n");
    return 2;
}
