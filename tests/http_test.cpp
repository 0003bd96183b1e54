#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <ostream>
#include <string>
#include <vector>

#include "addressing/hosts.h"
#include "services/http.h"
#include "tests/support/page_server.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// Short limits keep the timing cases to a second or two each.
const FetchLimits shortLimits{.connect = 2000ms, .stall = 1000ms};

Bytes patternBytes(std::size_t size) {
    Bytes bytes(size);
    for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<std::uint8_t>(i * 7 + i / 251);
    return bytes;
}

Bytes firstBytes(const Bytes& bytes, std::size_t count) {
    return Bytes(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(count));
}

std::vector<std::string> headerNames(const LoggedRequest& request) {
    std::vector<std::string> names;
    for (const auto& header : request.headers) names.push_back(header.first);
    return names;
}

// A port on 127.0.0.1 that nobody listens on.
int closedPort() {
    const int probe = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    bind(probe, reinterpret_cast<sockaddr*>(&address), sizeof address);
    getsockname(probe, reinterpret_cast<sockaddr*>(&address), &length);
    close(probe);
    return ntohs(address.sin_port);
}

// A listening socket whose queue is full: further connection attempts go unanswered, like a
// host that drops them. Closing the returned descriptors ends it.
struct FullListener {
    int listener = -1;
    std::vector<int> queued;
    int port = 0;
};

FullListener fullListener() {
    FullListener full;
    full.listener = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    bind(full.listener, reinterpret_cast<sockaddr*>(&address), sizeof address);
    listen(full.listener, 0);
    getsockname(full.listener, reinterpret_cast<sockaddr*>(&address), &length);
    full.port = ntohs(address.sin_port);
    for (int i = 0; i < 3; ++i) {
        const int client = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
        connect(client, reinterpret_cast<sockaddr*>(&address), sizeof address);
        full.queued.push_back(client);
    }
    return full;
}

void closeAll(const FullListener& full) {
    for (const int client : full.queued) close(client);
    close(full.listener);
}

using HttpTest = PageServerTest;

TEST_F(HttpTest, SendsTheProgramsRequestAndNothingElse) {
    setRoutes(server, {{"/img/a.jpg", {.body = toBytes("page")}}});
    EXPECT_EQ(httpReadFile(serverUrl(server, "/img/a.jpg")), toBytes("page"));
    const std::vector<LoggedRequest> log = requestLog(server);
    ASSERT_EQ(log.size(), 1u);
    const LoggedRequest& request = log[0];
    EXPECT_EQ(request.method, "GET");
    EXPECT_EQ(request.target, "/img/a.jpg");
    EXPECT_EQ(request.version, "HTTP/1.0");
    EXPECT_EQ(headerValue(request, "User-Agent"),
              "Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.0)");
    EXPECT_EQ(headerValue(request, "Accept"), "*/*");
    EXPECT_EQ(headerValue(request, "Host"), "127.0.0.1:" + std::to_string(server.port));
    // No Referer, no cache control, no keep-alive: exactly these three headers.
    EXPECT_EQ(headerNames(request), (std::vector<std::string>{"Host", "User-Agent", "Accept"}));
}

TEST_F(HttpTest, EveryFetchOpensItsOwnConnection) {
    setRoutes(server, {{"/a", {.body = toBytes("a")}}});
    for (int i = 0; i < 3; ++i) EXPECT_TRUE(httpFetch(serverUrl(server, "/a")).complete);
    EXPECT_EQ(requestLog(server).size(), 3u);
}

TEST_F(HttpTest, TargetIsSentAsWrittenUpToTheFragment) {
    setRoutes(server, {{"/a?x=1", {.body = toBytes("query")}}});
    EXPECT_EQ(httpReadFile(serverUrl(server, "/a?x=1#page=2")), toBytes("query"));
    EXPECT_EQ(httpFetch(serverUrl(server, "/b/./c/../%41#x")).status, 404);
    const std::vector<LoggedRequest> log = requestLog(server);
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[0].target, "/a?x=1");
    EXPECT_EQ(log[1].target, "/b/./c/../%41");
}

TEST_F(HttpTest, UrlsThatDoNotParseSendNothing) {
    const std::string port = std::to_string(server.port);
    for (const std::string& url :
         std::vector<std::string>{"", "#", "not a url", "127.0.0.1:" + port + "/a", "http://",
                                  "ftp://127.0.0.1:" + port + "/a", "http://127.0.0.1:99999/a"}) {
        const FetchOutcome outcome = httpFetch(url);
        EXPECT_TRUE(outcome.body.empty()) << url;
        EXPECT_EQ(outcome.status, 0) << url;
        EXPECT_FALSE(outcome.complete) << url;
    }
    EXPECT_TRUE(requestLog(server).empty());
}

TEST_F(HttpTest, RefusedConnectionGivesNothing) {
    const auto start = Clock::now();
    const FetchOutcome outcome =
        httpFetch("http://127.0.0.1:" + std::to_string(closedPort()) + "/a", shortLimits);
    EXPECT_TRUE(outcome.body.empty());
    EXPECT_EQ(outcome.status, 0);
    EXPECT_FALSE(outcome.complete);
    EXPECT_LT(Clock::now() - start, 1s);
}

// The test server speaks plain HTTP only: an https URL reaches it as a TLS handshake, never as
// a readable request, and the fetch fails.
TEST_F(HttpTest, HttpsUrlIsFetchedOverTls) {
    setRoutes(server, {{"/a", {.body = toBytes("plain")}}});
    const FetchOutcome outcome =
        httpFetch("https://127.0.0.1:" + std::to_string(server.port) + "/a", shortLimits);
    EXPECT_TRUE(outcome.body.empty());
    EXPECT_FALSE(outcome.complete);
    EXPECT_TRUE(requestLog(server).empty());
}

TEST_F(HttpTest, UnansweredConnectEndsAtTheConnectLimit) {
    const FullListener full = fullListener();
    const auto start = Clock::now();
    const FetchOutcome outcome = httpFetch("http://127.0.0.1:" + std::to_string(full.port) + "/a",
                                           {.connect = 500ms, .stall = 10s});
    const auto elapsed = Clock::now() - start;
    closeAll(full);
    EXPECT_TRUE(outcome.body.empty());
    EXPECT_FALSE(outcome.complete);
    EXPECT_GE(elapsed, 450ms);
    EXPECT_LT(elapsed, 2s);
}

TEST_F(HttpTest, ProxyFromTheEnvironmentGetsTheAbsoluteUri) {
    const std::string pageUrl = "http://" + imageHost + "/img/jiaocai/x/1.jpg";
    setRoutes(server, {{"/img/jiaocai/x/1.jpg", {.body = toBytes("proxied")}}});
    setenv("http_proxy", serverUrl(server, "").c_str(), 1);
    const FetchOutcome outcome = httpFetch(pageUrl);
    unsetenv("http_proxy");
    EXPECT_EQ(outcome.body, toBytes("proxied"));
    EXPECT_TRUE(outcome.complete);
    const std::vector<LoggedRequest> log = requestLog(server);
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].target, pageUrl);
    EXPECT_EQ(log[0].version, "HTTP/1.0");
    EXPECT_EQ(headerValue(log[0], "Host"), imageHost);
    EXPECT_EQ(headerNames(log[0]), (std::vector<std::string>{"Host", "User-Agent", "Accept"}));
}

struct ResponseCase {
    const char* name;
    Routes routes;
    const char* path;
    Bytes body;
    long status;
    bool complete;
    std::size_t requests;
};

void PrintTo(const ResponseCase& c, std::ostream* os) { *os << c.name; }

// Stands for the server's address in a redirect to an absolute URL; the port is known only
// once the server runs.
constexpr std::string_view serverPlaceholder = "http://server";

const Bytes notFoundPage = toBytes("<html><body>no such page</body></html>");
const Bytes bigBody = patternBytes(300 * 1024);

std::vector<ResponseCase> responseCases() {
    return {
        {"NotFoundPageIsTheBody",
         {{"/p",
           {.status = 404, .body = notFoundPage, .headers = {{"Content-Type", "text/html"}}}}},
         "/p",
         notFoundPage,
         404,
         false,
         1},
        {"ServerErrorBodyIsKept",
         {{"/p", {.status = 500, .body = toBytes("oops")}}},
         "/p",
         toBytes("oops"),
         500,
         false,
         1},
        {"BodyEndedByClosing",
         {{"/p", {.body = bigBody, .sendContentLength = false}}},
         "/p",
         bigBody,
         200,
         true,
         1},
        {"BodyOfManyChunksWithItsLength", {{"/p", {.body = bigBody}}}, "/p", bigBody, 200, true, 1},
        {"BinaryBodyUnchanged",
         {{"/p", {.body = patternBytes(256)}}},
         "/p",
         patternBytes(256),
         200,
         true,
         1},
        {"EmptyBody", {{"/p", {.body = {}}}}, "/p", {}, 200, true, 1},
        {"RedirectChainIsFollowed",
         {{"/p", {.misbehaviour = "redirect", .location = "/q"}},
          {"/q",
           {.status = 301,
            .misbehaviour = "redirect",
            .location = std::string{serverPlaceholder} + "/r"}},
          {"/r", {.body = toBytes("final")}}},
         "/p",
         toBytes("final"),
         200,
         true,
         3},
        {"CutShortOfContentLength",
         {{"/p", {.body = bigBody, .misbehaviour = "cut", .part = 1000}}},
         "/p",
         firstBytes(bigBody, 1000),
         200,
         false,
         1},
        {"ResetWithoutAnswer", {{"/p", {.misbehaviour = "reset"}}}, "/p", {}, 0, false, 1},
    };
}

class HttpResponseTest : public PageServerTest, public testing::WithParamInterface<ResponseCase> {};

TEST_P(HttpResponseTest, GivesTheBodyAndTellsWhetherItIsComplete) {
    const ResponseCase& c = GetParam();
    Routes routes = c.routes;
    for (auto& [path, behaviour] : routes) {
        if (behaviour.location.starts_with(serverPlaceholder))
            behaviour.location =
                serverUrl(server, behaviour.location.substr(serverPlaceholder.size()));
    }
    setRoutes(server, routes);
    const FetchOutcome outcome = httpFetch(serverUrl(server, c.path), shortLimits);
    EXPECT_EQ(outcome.body, c.body);
    EXPECT_EQ(outcome.status, c.status);
    EXPECT_EQ(outcome.complete, c.complete);
    EXPECT_EQ(requestLog(server).size(), c.requests);
}

INSTANTIATE_TEST_SUITE_P(Table, HttpResponseTest, testing::ValuesIn(responseCases()),
                         [](const testing::TestParamInfo<ResponseCase>& info) {
                             return info.param.name;
                         });

// The stall limit counts silence, not the length of the whole transfer.
struct TimingCase {
    const char* name;
    RouteBehaviour behaviour;
    Bytes body;
    bool complete;
    std::chrono::milliseconds atLeast;
    std::chrono::milliseconds atMost;
};

void PrintTo(const TimingCase& c, std::ostream* os) { *os << c.name; }

const Bytes tenBytes = toBytes("0123456789");

std::vector<TimingCase> timingCases() {
    return {
        {"SilentServerGivesUpAfterTheStallLimit",
         {.body = tenBytes, .misbehaviour = "silent", .seconds = 8},
         {},
         false,
         900ms,
         2500ms},
        {"StallMidBodyKeepsWhatArrived",
         {.body = tenBytes, .misbehaviour = "stall", .part = 4, .seconds = 8},
         toBytes("0123"),
         false,
         900ms,
         2500ms},
        {"ShortPauseIsWaitedOut",
         {.body = tenBytes, .misbehaviour = "stall", .part = 4, .seconds = 0.5},
         tenBytes,
         true,
         400ms,
         2500ms},
        {"TrickleLongerThanTheLimitCompletes",
         {.body = toBytes("abcdef"), .misbehaviour = "trickle", .seconds = 0.3},
         toBytes("abcdef"),
         true,
         1400ms,
         4000ms},
    };
}

class HttpTimingTest : public PageServerTest, public testing::WithParamInterface<TimingCase> {};

TEST_P(HttpTimingTest, StallLimitEndsOnlyASilentTransfer) {
    const TimingCase& c = GetParam();
    setRoutes(server, {{"/p", c.behaviour}});
    const auto start = Clock::now();
    const FetchOutcome outcome = httpFetch(serverUrl(server, "/p"), shortLimits);
    const auto elapsed = Clock::now() - start;
    EXPECT_EQ(outcome.body, c.body);
    EXPECT_EQ(outcome.complete, c.complete);
    EXPECT_GE(elapsed, c.atLeast);
    EXPECT_LE(elapsed, c.atMost);
}

INSTANTIATE_TEST_SUITE_P(Table, HttpTimingTest, testing::ValuesIn(timingCases()),
                         [](const testing::TestParamInfo<TimingCase>& info) {
                             return info.param.name;
                         });

}  // namespace
