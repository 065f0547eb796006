#include "XDisplay.h"

#include "Wait.h"

#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>
#include <vector>
#include <xcb/xcb.h>

namespace MW::Test {
namespace {

struct Connection {
    explicit Connection(const std::string& display) : c(xcb_connect(display.c_str(), nullptr)) {}
    ~Connection() { xcb_disconnect(c); }
    bool ok() const { return c && !xcb_connection_has_error(c); }
    xcb_connection_t* c;
};

xcb_atom_t atom(xcb_connection_t* c, const char* name) {
    auto* reply = xcb_intern_atom_reply(
        c, xcb_intern_atom(c, 0, static_cast<uint16_t>(std::strlen(name)), name), nullptr);
    const xcb_atom_t result = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
    std::free(reply);
    return result;
}

std::string title(xcb_connection_t* c, xcb_window_t window) {
    const xcb_atom_t utf8 = atom(c, "UTF8_STRING");
    for (const xcb_atom_t property : {atom(c, "_NET_WM_NAME"), xcb_atom_t(XCB_ATOM_WM_NAME)}) {
        auto* reply = xcb_get_property_reply(
            c,
            xcb_get_property(c, 0, window, property,
                             property == XCB_ATOM_WM_NAME ? xcb_atom_t(XCB_ATOM_STRING) : utf8, 0,
                             256),
            nullptr);
        std::string text;
        if (reply && xcb_get_property_value_length(reply) > 0)
            text.assign(static_cast<const char*>(xcb_get_property_value(reply)),
                        static_cast<std::size_t>(xcb_get_property_value_length(reply)));
        std::free(reply);
        if (!text.empty())
            return text;
    }
    return {};
}

std::vector<xcb_window_t> windowsTitled(xcb_connection_t* c, const std::string& wanted) {
    std::vector<xcb_window_t> found;
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
    auto* tree = xcb_query_tree_reply(c, xcb_query_tree(c, screen->root), nullptr);
    if (!tree)
        return found;
    const xcb_window_t* children = xcb_query_tree_children(tree);
    for (int i = 0; i < xcb_query_tree_children_length(tree); ++i)
        if (title(c, children[i]) == wanted)
            found.push_back(children[i]);
    std::free(tree);
    return found;
}

} // namespace

XDisplay::XDisplay() {
    if (::access("/usr/bin/Xvfb", X_OK) != 0)
        return;
    // Xvfb picks a free display itself and writes its number to the pipe, so
    // tests running side by side never race for one.
    int fds[2];
    if (::pipe(fds) != 0)
        return;
    ::fcntl(fds[0], F_SETFD, FD_CLOEXEC);
    m_server = std::make_unique<Child>(
        std::vector<std::string>{"Xvfb", "-displayfd", std::to_string(fds[1]), "-nolisten", "tcp",
                                 "-screen", "0", "1280x1024x24"});
    ::close(fds[1]);
    std::string number;
    pollfd pfd{fds[0], POLLIN, 0};
    char c = 0;
    while (::poll(&pfd, 1, 20000) > 0 && ::read(fds[0], &c, 1) == 1 && c != '\n')
        number += c;
    ::close(fds[0]);
    if (number.empty())
        return;
    m_name = ":" + number;
    m_ok = waitUntil([&] { return Connection(m_name).ok(); }, 20);
}

XDisplay::~XDisplay() = default;

bool XDisplay::isViewable(const std::string& wanted) const {
    Connection x(m_name);
    if (!x.ok())
        return false;
    for (const xcb_window_t window : windowsTitled(x.c, wanted)) {
        auto* attributes =
            xcb_get_window_attributes_reply(x.c, xcb_get_window_attributes(x.c, window), nullptr);
        const bool viewable = attributes && attributes->map_state == XCB_MAP_STATE_VIEWABLE;
        std::free(attributes);
        if (viewable)
            return true;
    }
    return false;
}

} // namespace MW::Test
