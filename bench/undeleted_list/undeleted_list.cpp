// Opening the undeleted-files list: the dialog against a list of LINES lines
// (default 1,000,000, about 60 bytes each, ISO 8859-1), from show() to the
// entries in the list box, with the longest stall of its event loop and the
// process's peak memory; then the bounded reader alone, the whole-file reader
// and `sort -f` of the same file, for comparison. Each way runs in a child
// process of its own, so each peak belongs to that way alone.
// Usage: undeleted_list [LINES]   (run with QT_QPA_PLATFORM=offscreen without a display)

#include "CUndeletedFilesDlg.h"
#include "UndeletedList.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QListWidget>
#include <QTimer>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

long kilobytes(const char* field) {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind(field, 0) == 0)
            return std::atol(line.c_str() + std::char_traits<char>::length(field));
    return -1;
}

void writeList(const std::string& file, long lines) {
    std::mt19937 random(7);
    std::ofstream out(file, std::ios::binary);
    const char* folders[] = {"Projekte", "Zeichnungen", "Archiv", "caf\xe9", "Pl\xe4ne"};
    for (long i = 0; i < lines; ++i) {
        out << "/srv/cad/" << folders[random() % 5] << '/' << (random() % 1000) << "/Geb\xe4ude-"
            << random() << "-Grundriss.dwl\r\n";
    }
}

double secondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

int openDialog(int argc, char** argv, const std::string& file) {
    QApplication app(argc, argv);
    MW::CUndeletedFilesDlg dialog;
    dialog.setListPath(QString::fromStdString(file));
    const long before = kilobytes("VmRSS:");
    // The longest time the event loop went without running a 5 ms timer.
    QElapsedTimer sinceTick;
    qint64 longestStall = 0;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        longestStall = std::max(longestStall, sinceTick.restart());
    });
    double loaded = 0;
    const auto start = std::chrono::steady_clock::now();
    QObject::connect(&dialog, &MW::CUndeletedFilesDlg::listLoaded, [&] {
        loaded = secondsSince(start);
        // Let the list lay out a while, as a user would look at it.
        QTimer::singleShot(500, &app, &QApplication::quit);
    });
    sinceTick.start();
    ticker.start(5);
    dialog.show();
    QApplication::exec();
    std::printf("dialog: entries shown after %.3f s (%d rows), longest event-loop stall %lld ms, "
                "RSS %ld -> peak %ld KiB\n",
                loaded, dialog.listBox()->count(), static_cast<long long>(longestStall), before,
                kilobytes("VmHWM:"));
    return 0;
}

int readBounded(const std::string& file) {
    const auto start = std::chrono::steady_clock::now();
    const MW::Client::SUndeletedEntries read = MW::Client::ReadUndeletedEntries(file);
    std::printf("bounded reader: %zu entries + %llu more in %.3f s, peak %ld KiB\n",
                read.entries.size(), static_cast<unsigned long long>(read.more),
                secondsSince(start), kilobytes("VmHWM:"));
    return 0;
}

int readWhole(const std::string& file) {
    const auto start = std::chrono::steady_clock::now();
    const std::vector<std::string> all = MW::Client::ReadUndeletedList(file);
    std::printf("whole-file reader (every line held and sorted): %zu entries in %.3f s, "
                "peak %ld KiB\n",
                all.size(), secondsSince(start), kilobytes("VmHWM:"));
    return 0;
}

// Runs `way` in a child process and waits for it.
template <typename Way> void inChild(Way way) {
    std::fflush(stdout);
    const pid_t child = ::fork();
    if (child == 0) {
        const int status = way();
        std::fflush(stdout);
        std::_Exit(status);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
}

void sortFile(const std::string& file) {
    std::fflush(stdout);
    const auto start = std::chrono::steady_clock::now();
    const pid_t child = ::fork();
    if (child == 0) {
        ::execlp("sort", "sort", "-f", file.c_str(), "-o", "/dev/null", static_cast<char*>(nullptr));
        std::_Exit(127);
    }
    int status = 0;
    rusage usage{};
    ::wait4(child, &status, 0, &usage);
    std::printf("sort -f FILE: %.3f s, peak %ld KiB\n", secondsSince(start), usage.ru_maxrss);
}

} // namespace

int main(int argc, char** argv) {
    const long lines = argc > 1 ? std::atol(argv[1]) : 1000000;
    std::string folder =
        (std::filesystem::temp_directory_path() / "mw-undeleted-bench-XXXXXX").string();
    if (!::mkdtemp(folder.data()))
        return 1;
    const std::string file = folder + "/undeleted.tmp";
    writeList(file, lines);
    std::ifstream sized(file, std::ios::binary | std::ios::ate);
    std::printf("list: %ld lines, %.1f MB\n", lines, static_cast<double>(sized.tellg()) / 1e6);

    inChild([&] { return openDialog(argc, argv, file); });
    inChild([&] { return readBounded(file); });
    inChild([&] { return readWhole(file); });
    sortFile(file);

    std::remove(file.c_str());
    ::rmdir(folder.c_str());
    return 0;
}
