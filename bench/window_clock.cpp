// Start-up clock for scripts/bench: starts a program on the X display in DISPLAY and prints
// how long it took until its first window was mapped and until that window's first picture was
// complete, both in milliseconds, then ends the program.
//
//   window_clock PROGRAM [ARGUMENTS...]
//
// The display must run no window manager and nothing else that draws: every drawing the
// damage extension reports on the root window then comes from the program. The picture counts
// as complete at the last drawing before a quiet spell, since one window paint may reach the
// server as several drawing requests.
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <xcb/damage.h>
#include <xcb/xcb.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

constexpr auto kQuietSpell = std::chrono::milliseconds(300);
constexpr auto kGiveUp = std::chrono::seconds(20);

struct Timings {
    Clock::time_point mapped{};
    Clock::time_point lastDrawing{};
};

double millisecondsBetween(Clock::time_point from, Clock::time_point to) {
    return std::chrono::duration<double, std::milli>(to - from).count();
}

bool watchRoot(xcb_connection_t* connection, xcb_window_t root) {
    const xcb_query_extension_reply_t* damage = xcb_get_extension_data(connection, &xcb_damage_id);
    if (damage == nullptr || !damage->present) return false;
    std::free(xcb_damage_query_version_reply(connection, xcb_damage_query_version(connection, 1, 1),
                                             nullptr));
    const uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    xcb_change_window_attributes(connection, root, XCB_CW_EVENT_MASK, &mask);
    xcb_damage_create(connection, xcb_generate_id(connection), root,
                      XCB_DAMAGE_REPORT_LEVEL_RAW_RECTANGLES);
    return xcb_flush(connection) > 0;
}

void takeEvent(xcb_connection_t* connection, Timings& timings) {
    const int damageNotify =
        xcb_get_extension_data(connection, &xcb_damage_id)->first_event + XCB_DAMAGE_NOTIFY;
    while (xcb_generic_event_t* event = xcb_poll_for_event(connection)) {
        const int type = event->response_type & 0x7f;
        const Clock::time_point now = Clock::now();
        if (type == XCB_MAP_NOTIFY && timings.mapped == Clock::time_point{}) timings.mapped = now;
        if (type == damageNotify && timings.mapped != Clock::time_point{}) {
            timings.lastDrawing = now;
        }
        std::free(event);
    }
}

bool finished(const Timings& timings, Clock::time_point start) {
    const Clock::time_point now = Clock::now();
    if (now - start > kGiveUp) return true;
    return timings.lastDrawing != Clock::time_point{} && now - timings.lastDrawing > kQuietSpell;
}

void waitForPicture(xcb_connection_t* connection, Timings& timings, Clock::time_point start) {
    pollfd descriptor{xcb_get_file_descriptor(connection), POLLIN, 0};
    while (!finished(timings, start)) {
        poll(&descriptor, 1, 10);
        takeEvent(connection, timings);
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fputs("usage: window_clock PROGRAM [ARGUMENTS...]\n", stderr);
        return 2;
    }
    int screenNumber = 0;
    xcb_connection_t* connection = xcb_connect(nullptr, &screenNumber);
    if (xcb_connection_has_error(connection)) return 2;
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root;
    if (!watchRoot(connection, root)) return 2;
    Timings timings;
    const Clock::time_point start = Clock::now();
    pid_t child = 0;
    if (posix_spawn(&child, argv[1], nullptr, nullptr, argv + 1, environ) != 0) return 2;
    waitForPicture(connection, timings, start);
    kill(child, SIGTERM);
    waitpid(child, nullptr, 0);
    xcb_disconnect(connection);
    if (timings.lastDrawing == Clock::time_point{}) return 1;
    std::printf("mapped_ms %.3f\npainted_ms %.3f\n", millisecondsBetween(start, timings.mapped),
                millisecondsBetween(start, timings.lastDrawing));
    return 0;
}
