// Measures how long mwconfig takes from its start to its window being shown:
// the time from fork() to the X server's MapNotify of the top-level window
// titled "Morrowick". Runs the program RUNS times, ending each run with SIGTERM.
//
//   config_startup_probe DISPLAY RUNS PROGRAM [ARGS...]
//
// Prints each run, then the median last.

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <poll.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>
#include <xcb/xcb.h>

namespace {

std::string windowTitle(xcb_connection_t* c, xcb_window_t window) {
    auto* reply = xcb_get_property_reply(
        c, xcb_get_property(c, 0, window, XCB_ATOM_WM_NAME, XCB_ATOM_STRING, 0, 64), nullptr);
    std::string text;
    if (reply && xcb_get_property_value_length(reply) > 0)
        text.assign(static_cast<const char*>(xcb_get_property_value(reply)),
                    static_cast<std::size_t>(xcb_get_property_value_length(reply)));
    std::free(reply);
    return text;
}

// Waits for the MapNotify of the window titled "Morrowick"; false after 30 s.
bool waitForWindow(xcb_connection_t* c) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    pollfd pfd{xcb_get_file_descriptor(c), POLLIN, 0};
    while (std::chrono::steady_clock::now() < deadline) {
        while (xcb_generic_event_t* event = xcb_poll_for_event(c)) {
            const bool mapped = (event->response_type & 0x7f) == XCB_MAP_NOTIFY;
            const xcb_window_t window = reinterpret_cast<xcb_map_notify_event_t*>(event)->window;
            std::free(event);
            if (mapped && windowTitle(c, window) == "Morrowick")
                return true;
        }
        ::poll(&pfd, 1, 50);
    }
    return false;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: %s DISPLAY RUNS PROGRAM [ARGS...]\n", argv[0]);
        return 2;
    }
    xcb_connection_t* c = xcb_connect(argv[1], nullptr);
    if (xcb_connection_has_error(c)) {
        std::fprintf(stderr, "cannot open display %s\n", argv[1]);
        return 1;
    }
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
    const uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    xcb_change_window_attributes(c, screen->root, XCB_CW_EVENT_MASK, &mask);
    xcb_flush(c);

    const int runs = std::atoi(argv[2]);
    std::vector<double> times;
    for (int run = 1; run <= runs; ++run) {
        const auto start = std::chrono::steady_clock::now();
        const pid_t pid = ::fork();
        if (pid == 0) {
            ::execv(argv[3], argv + 3);
            ::_exit(127);
        }
        const bool shown = waitForWindow(c);
        const double ms =
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                .count();
        ::kill(pid, SIGTERM);
        int status = 0;
        ::waitpid(pid, &status, 0);
        if (!shown) {
            std::fprintf(stderr, "run %d: no window within 30 s\n", run);
            return 1;
        }
        times.push_back(ms);
        std::printf("run %2d: %7.1f ms (exit %d)\n", run, ms,
                    WIFEXITED(status) ? WEXITSTATUS(status) : -1);
    }
    std::sort(times.begin(), times.end());
    const std::size_t n = times.size();
    const double median = n % 2 ? times[n / 2] : (times[n / 2 - 1] + times[n / 2]) / 2;
    std::printf("mwconfig start to window shown, median of %zu: %.1f ms\n", n, median);
    xcb_disconnect(c);
    return 0;
}
