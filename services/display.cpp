#include "services/display.h"

#include <sys/stat.h>
#include <xcb/xcb.h>

#include <cstdlib>
#include <string>
#include <string_view>

namespace {

std::string environment(const char* name) {
    const char* value = std::getenv(name);
    return value == nullptr ? std::string() : std::string(value);
}

bool x11DisplayReachable() {
    xcb_connection_t* connection = xcb_connect(nullptr, nullptr);
    const bool reachable = xcb_connection_has_error(connection) == 0;
    xcb_disconnect(connection);
    return reachable;
}

bool waylandDisplayReachable() {
    std::string socket = environment("WAYLAND_DISPLAY");
    if (socket.empty()) return false;
    if (socket.front() != '/') socket = environment("XDG_RUNTIME_DIR") + "/" + socket;
    struct stat status {};
    return stat(socket.c_str(), &status) == 0 && S_ISSOCK(status.st_mode);
}

// One entry of QT_QPA_PLATFORM, its options after ':' ignored. Platforms other than X11 and
// Wayland draw into memory or straight onto a device and need no display server.
bool platformReachable(std::string_view entry) {
    const std::string_view name = entry.substr(0, entry.find(':'));
    if (name == "xcb") return x11DisplayReachable();
    if (name.starts_with("wayland")) return waylandDisplayReachable();
    return !name.empty();
}

}  // namespace

bool windowPlatformAvailable() {
    const std::string platforms = environment("QT_QPA_PLATFORM");
    if (platforms.empty()) return x11DisplayReachable() || waylandDisplayReachable();
    std::string_view rest = platforms;
    while (!rest.empty()) {
        const std::size_t end = rest.find(';');
        if (platformReachable(rest.substr(0, end))) return true;
        rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
    }
    return false;
}
