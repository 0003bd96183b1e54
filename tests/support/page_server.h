#pragma once

#include <gtest/gtest.h>
#include <sys/types.h>

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "services/types.h"

// Runs tools/page_server.py on 127.0.0.1 for a test: routes are set from C++, every request it
// received can be read back, and it is stopped when the test ends.

using HeaderList = std::vector<std::pair<std::string, std::string>>;

// How the server answers one path; see tools/page_server.py for the misbehaviours.
struct RouteBehaviour {
    int status = 0;  // 0: the server's default, 200 (302 for "redirect")
    Bytes body{};
    HeaderList headers{};
    bool sendContentLength = true;
    std::string misbehaviour{};  // "", "redirect", "reset", "cut", "silent", "stall", "trickle"
    std::string location{};      // for "redirect"
    int part = -1;               // for "cut" and "stall": bytes sent first; -1 for half the body
    double seconds = 0;          // for "silent" and "stall": the pause; "trickle": per byte
};

using Routes = std::map<std::string, RouteBehaviour>;

struct LoggedRequest {
    std::string method;
    std::string target;  // raw bytes of the request target, an absolute URI through a proxy
    std::string version;
    std::string path;  // the target without scheme and host
    HeaderList headers;
};

struct PageServer {
    pid_t pid = -1;
    std::string directory;  // temporary; holds the port file, the log and the routes
    int port = 0;
};

// Starts a server in a new temporary directory; nullopt (with the reason on stderr) when it
// did not come up within a few seconds. `extraArguments` go to the script.
std::optional<PageServer> startPageServer(const std::vector<std::string>& extraArguments = {});
// Stops the server, waits for it and removes its directory. Harmless on a stopped server.
void stopPageServer(PageServer& server);

void setRoutes(const PageServer& server, const Routes& routes);
std::vector<LoggedRequest> requestLog(const PageServer& server);
// "http://127.0.0.1:<port>" followed by `path`.
std::string serverUrl(const PageServer& server, std::string_view path);

// The value of the first header called `name` (case-insensitive), nullopt without one.
std::optional<std::string> headerValue(const LoggedRequest& request, std::string_view name);

// Removes every proxy setting from the environment, so requests go straight to the server.
void clearProxyEnvironment();

// A fixture with a running server and no proxy in the environment; after the test, also after
// a failure, the server is stopped and any proxy the test set is removed again.
class PageServerTest : public testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;

    PageServer server;
};
