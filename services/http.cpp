#include "services/http.h"

#include <algorithm>
#include <cstdint>
#include <optional>
#include <string_view>

#include "services/curl_library.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr const char* userAgent = "Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.0)";
constexpr long maxRedirects = 20;
constexpr long receiveBufferSize = 64 * 1024;
// A lying Content-Length must not make us reserve gigabytes before a byte has arrived.
constexpr curl_off_t maxReservation = 64 * 1024 * 1024;
// Longest wait inside one poll, so that the stall clock is looked at even without activity.
constexpr std::chrono::milliseconds maxPollWait{1000};

// The HTTP client of the process: made on the first fetch, kept until the program ends. The
// multi handle drives the transfer so that the stall limit is checked to the millisecond.
struct HttpClient {
    CurlLibrary curl;
    CURLM* multi = nullptr;
    CURL* easy = nullptr;
};

struct Transfer {
    Bytes body;
    bool connected = false;
    Clock::time_point lastActivity = Clock::now();
    const CurlLibrary* curl = nullptr;
    CURL* easy = nullptr;
};

std::optional<HttpClient> clientOf(const CurlLibrary& curl) {
    if (curl.global_init(CURL_GLOBAL_DEFAULT) != CURLE_OK) return std::nullopt;
    HttpClient client{curl, curl.multi_init(), curl.easy_init()};
    if (client.multi != nullptr && client.easy != nullptr) return client;
    if (client.easy != nullptr) curl.easy_cleanup(client.easy);
    if (client.multi != nullptr) curl.multi_cleanup(client.multi);
    curl.global_cleanup();
    return std::nullopt;
}

std::optional<HttpClient> makeClient() {
    const std::optional<CurlLibrary> curl = loadCurlLibrary();
    if (!curl) return std::nullopt;
    std::optional<HttpClient> client = clientOf(*curl);
    if (!client) unloadCurlLibrary(*curl);
    return client;
}

// The process-wide client; a failed set-up is tried again on the next fetch.
HttpClient* sharedClient() {
    static std::optional<HttpClient> client;
    if (!client) client = makeClient();
    return client ? &*client : nullptr;
}

// The URL as sent: everything from the first "#" on is the browser's business.
std::string_view withoutFragment(std::string_view url) { return url.substr(0, url.find('#')); }

bool startsWithNoCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() &&
           std::equal(prefix.begin(), prefix.end(), text.begin(), [](char a, char b) {
               return a == (b >= 'A' && b <= 'Z' ? static_cast<char>(b - 'A' + 'a') : b);
           });
}

bool hasWebScheme(std::string_view url) {
    return startsWithNoCase(url, "http://") || startsWithNoCase(url, "https://");
}

void reserveAnnouncedLength(Transfer& transfer) {
    curl_off_t length = -1;
    transfer.curl->easy_getinfo(transfer.easy, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length);
    if (length > 0)
        transfer.body.reserve(static_cast<std::size_t>(std::min(length, maxReservation)));
}

std::size_t receiveBody(char* data, std::size_t size, std::size_t count, void* userdata) {
    auto& transfer = *static_cast<Transfer*>(userdata);
    const std::size_t length = size * count;
    if (transfer.body.capacity() == 0) reserveAnnouncedLength(transfer);
    // As bytes rather than chars, so that the append is one block copy, not a loop.
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(data);
    transfer.body.insert(transfer.body.end(), bytes, bytes + length);
    transfer.lastActivity = Clock::now();
    return length;
}

std::size_t receiveHeader(char*, std::size_t size, std::size_t count, void* userdata) {
    static_cast<Transfer*>(userdata)->lastActivity = Clock::now();
    return size * count;
}

// Called once a connection is up: from here on, silence counts against the stall limit.
int connectionReady(void* userdata, char*, char*, int, int) {
    auto& transfer = *static_cast<Transfer*>(userdata);
    transfer.connected = true;
    transfer.lastActivity = Clock::now();
    return CURL_PREREQFUNC_OK;
}

// "Proxy-Connection:" with no value removes the keep-alive that libcurl would announce to a
// proxy: every fetch closes its connection.
curl_slist* requestHeaders(const CurlLibrary& curl) {
    curl_slist* headers = curl.slist_append(nullptr, "Accept: */*");
    if (headers == nullptr) return nullptr;
    curl_slist* withProxy = curl.slist_append(headers, "Proxy-Connection:");
    if (withProxy == nullptr) curl.slist_free_all(headers);
    return withProxy;
}

// The request on the wire: GET, HTTP/1.0, our agent, "Accept: */*" and Host, nothing else;
// the path goes out as written, dot segments included.
// No proxy is set here, so libcurl applies http_proxy / no_proxy from the environment.
void configureRequest(const std::string& url, const FetchLimits& limits, curl_slist* headers,
                      Transfer& transfer) {
    const auto set = transfer.curl->easy_setopt;
    CURL* easy = transfer.easy;
    set(easy, CURLOPT_URL, url.c_str());
    set(easy, CURLOPT_PROTOCOLS_STR, "http,https");
    set(easy, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    set(easy, CURLOPT_PATH_AS_IS, 1L);
    set(easy, CURLOPT_HTTPGET, 1L);
    set(easy, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_0));
    set(easy, CURLOPT_USERAGENT, userAgent);
    set(easy, CURLOPT_HTTPHEADER, headers);
    set(easy, CURLOPT_FOLLOWLOCATION, 1L);
    set(easy, CURLOPT_MAXREDIRS, maxRedirects);
    set(easy, CURLOPT_FORBID_REUSE, 1L);
    set(easy, CURLOPT_FRESH_CONNECT, 1L);
    set(easy, CURLOPT_NOSIGNAL, 1L);
    set(easy, CURLOPT_BUFFERSIZE, receiveBufferSize);
    set(easy, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(limits.connect.count()));
    set(easy, CURLOPT_WRITEFUNCTION, receiveBody);
    set(easy, CURLOPT_WRITEDATA, &transfer);
    set(easy, CURLOPT_HEADERFUNCTION, receiveHeader);
    set(easy, CURLOPT_HEADERDATA, &transfer);
    set(easy, CURLOPT_PREREQFUNCTION, connectionReady);
    set(easy, CURLOPT_PREREQDATA, &transfer);
}

bool stalled(const Transfer& transfer, const FetchLimits& limits) {
    return transfer.connected && Clock::now() - transfer.lastActivity >= limits.stall;
}

int pollWaitMs(const Transfer& transfer, const FetchLimits& limits) {
    auto wait = maxPollWait;
    if (transfer.connected) {
        const auto untilStall = std::chrono::duration_cast<std::chrono::milliseconds>(
            transfer.lastActivity + limits.stall - Clock::now());
        wait = std::clamp(untilStall + std::chrono::milliseconds{1}, std::chrono::milliseconds{1},
                          maxPollWait);
    }
    return static_cast<int>(wait.count());
}

// Drives the transfer to its end; the transport result, or nullopt when it stalled.
std::optional<CURLcode> runTransfer(CURLM* multi, Transfer& transfer, const FetchLimits& limits) {
    const CurlLibrary& curl = *transfer.curl;
    int running = 1;
    while (running > 0) {
        if (curl.multi_perform(multi, &running) != CURLM_OK) return CURLE_RECV_ERROR;
        if (running == 0) break;
        if (stalled(transfer, limits)) return std::nullopt;
        if (curl.multi_poll(multi, nullptr, 0, pollWaitMs(transfer, limits), nullptr) != CURLM_OK)
            return CURLE_RECV_ERROR;
    }
    int queued = 0;
    while (CURLMsg* message = curl.multi_info_read(multi, &queued)) {
        if (message->msg == CURLMSG_DONE) return message->data.result;
    }
    return CURLE_RECV_ERROR;
}

bool bodyAsAnnounced(const Transfer& transfer) {
    curl_off_t length = -1;
    transfer.curl->easy_getinfo(transfer.easy, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length);
    return length < 0 || static_cast<curl_off_t>(transfer.body.size()) == length;
}

FetchOutcome fetchWith(HttpClient& client, const std::string& url, const FetchLimits& limits) {
    const CurlLibrary& curl = client.curl;
    curl.easy_reset(client.easy);
    Transfer transfer;
    transfer.curl = &curl;
    transfer.easy = client.easy;
    curl_slist* headers = requestHeaders(curl);
    configureRequest(url, limits, headers, transfer);
    std::optional<CURLcode> result = CURLE_FAILED_INIT;
    if (headers != nullptr && curl.multi_add_handle(client.multi, client.easy) == CURLM_OK) {
        result = runTransfer(client.multi, transfer, limits);
        curl.multi_remove_handle(client.multi, client.easy);
    }
    FetchOutcome outcome;
    curl.easy_getinfo(client.easy, CURLINFO_RESPONSE_CODE, &outcome.status);
    outcome.complete = result == CURLE_OK && outcome.status >= 200 && outcome.status < 300 &&
                       bodyAsAnnounced(transfer);
    outcome.body = std::move(transfer.body);
    curl.slist_free_all(headers);
    return outcome;
}

}  // namespace

FetchOutcome httpFetch(const Text& url, const FetchLimits& limits) {
    const std::string sent{withoutFragment(url)};
    if (!hasWebScheme(sent)) return {};
    HttpClient* client = sharedClient();
    if (client == nullptr) return {};
    return fetchWith(*client, sent, limits);
}

Bytes httpReadFile(const Text& url) { return httpFetch(url).body; }
