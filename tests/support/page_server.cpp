#include "tests/support/page_server.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#include <QByteArray>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <thread>

#include "tests/support/paths.h"

extern char** environ;

namespace {

using namespace std::chrono_literals;

constexpr auto startTimeout = 10s;
constexpr auto stopTimeout = 5s;
constexpr auto pollInterval = 10ms;

std::string fileIn(const PageServer& server, const char* name) {
    return server.directory + "/" + name;
}

std::string readWholeFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream content;
    content << file.rdbuf();
    return content.str();
}

std::optional<std::string> makeTemporaryDirectory() {
    std::string pattern = (std::filesystem::temp_directory_path() / "page-server-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) return std::nullopt;
    return pattern;
}

std::optional<pid_t> spawnServer(const PageServer& server, const std::vector<std::string>& extra) {
    std::vector<std::string> arguments = {pythonExecutable(),
                                          sourceDir() + "/tools/page_server.py",
                                          "--port",
                                          "0",
                                          "--port-file",
                                          fileIn(server, "port"),
                                          "--log",
                                          fileIn(server, "requests.log"),
                                          "--routes",
                                          fileIn(server, "routes.json")};
    arguments.insert(arguments.end(), extra.begin(), extra.end());
    std::vector<char*> argv;
    for (std::string& argument : arguments) argv.push_back(argument.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, fileIn(server, "stderr").c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0644);
    pid_t pid = -1;
    const int failed = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (failed != 0) return std::nullopt;
    return pid;
}

bool exited(pid_t pid) {
    int status = 0;
    return waitpid(pid, &status, WNOHANG) == pid;
}

// The port from the port file, once the server listens; 0 when it exited or took too long.
int awaitPort(const PageServer& server) {
    const auto deadline = std::chrono::steady_clock::now() + startTimeout;
    while (std::chrono::steady_clock::now() < deadline) {
        const int port = std::atoi(readWholeFile(fileIn(server, "port")).c_str());
        if (port > 0) return port;
        if (exited(server.pid)) return 0;
        std::this_thread::sleep_for(pollInterval);
    }
    return 0;
}

void stopProcess(pid_t pid) {
    kill(pid, SIGTERM);
    const auto deadline = std::chrono::steady_clock::now() + stopTimeout;
    while (std::chrono::steady_clock::now() < deadline) {
        if (exited(pid)) return;
        std::this_thread::sleep_for(pollInterval);
    }
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
}

std::string toHex(const Bytes& bytes) {
    return QByteArray(reinterpret_cast<const char*>(bytes.data()), static_cast<int>(bytes.size()))
        .toHex()
        .toStdString();
}

QJsonArray headerArray(const HeaderList& headers) {
    QJsonArray array;
    for (const auto& [name, value] : headers)
        array.append(QJsonArray{QString::fromStdString(name), QString::fromStdString(value)});
    return array;
}

QJsonObject behaviourObject(const RouteBehaviour& behaviour) {
    QJsonObject object{{"body_hex", QString::fromStdString(toHex(behaviour.body))},
                       {"headers", headerArray(behaviour.headers)},
                       {"content_length", behaviour.sendContentLength},
                       {"misbehaviour", QString::fromStdString(behaviour.misbehaviour)},
                       {"location", QString::fromStdString(behaviour.location)},
                       {"seconds", behaviour.seconds}};
    if (behaviour.status > 0) object.insert("status", behaviour.status);
    if (behaviour.part >= 0) object.insert("part", behaviour.part);
    return object;
}

// The server reads texts as Latin-1, one character per byte; this gives the bytes back.
std::string rawBytes(const QJsonValue& value) { return value.toString().toLatin1().toStdString(); }

std::optional<LoggedRequest> parseLogLine(const std::string& line) {
    const QJsonDocument document = QJsonDocument::fromJson(QByteArray::fromStdString(line));
    if (!document.isObject()) return std::nullopt;
    const QJsonObject object = document.object();
    LoggedRequest request{rawBytes(object["method"]),
                          rawBytes(object["target"]),
                          rawBytes(object["version"]),
                          rawBytes(object["path"]),
                          {}};
    for (const QJsonValue& pair : object["headers"].toArray())
        request.headers.emplace_back(rawBytes(pair.toArray()[0]), rawBytes(pair.toArray()[1]));
    return request;
}

bool equalNoCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

}  // namespace

std::optional<PageServer> startPageServer(const std::vector<std::string>& extraArguments) {
    const std::optional<std::string> directory = makeTemporaryDirectory();
    if (!directory) return std::nullopt;
    PageServer server{-1, *directory, 0};
    const std::optional<pid_t> pid = spawnServer(server, extraArguments);
    if (pid) server.pid = *pid;
    if (pid) server.port = awaitPort(server);
    if (server.port > 0) return server;
    std::cerr << "page server did not start: " << readWholeFile(fileIn(server, "stderr")) << "\n";
    stopPageServer(server);
    return std::nullopt;
}

void stopPageServer(PageServer& server) {
    if (server.pid > 0) stopProcess(server.pid);
    server.pid = -1;
    if (server.directory.empty()) return;
    std::error_code ignored;
    std::filesystem::remove_all(server.directory, ignored);
    server.directory.clear();
}

void setRoutes(const PageServer& server, const Routes& routes) {
    QJsonObject object;
    for (const auto& [path, behaviour] : routes)
        object.insert(QString::fromStdString(path), behaviourObject(behaviour));
    const std::string temporary = fileIn(server, "routes.json.tmp");
    std::ofstream(temporary, std::ios::binary) << QJsonDocument(object).toJson().toStdString();
    std::filesystem::rename(temporary, fileIn(server, "routes.json"));
}

std::vector<LoggedRequest> requestLog(const PageServer& server) {
    std::istringstream lines(readWholeFile(fileIn(server, "requests.log")));
    std::vector<LoggedRequest> requests;
    for (std::string line; std::getline(lines, line);) {
        if (std::optional<LoggedRequest> request = parseLogLine(line)) requests.push_back(*request);
    }
    return requests;
}

std::string serverUrl(const PageServer& server, std::string_view path) {
    return "http://127.0.0.1:" + std::to_string(server.port) + std::string(path);
}

std::optional<std::string> headerValue(const LoggedRequest& request, std::string_view name) {
    for (const auto& [headerName, value] : request.headers) {
        if (equalNoCase(headerName, name)) return value;
    }
    return std::nullopt;
}

void clearProxyEnvironment() {
    for (const char* name : {"http_proxy", "HTTP_PROXY", "https_proxy", "HTTPS_PROXY", "all_proxy",
                             "ALL_PROXY", "no_proxy", "NO_PROXY"})
        unsetenv(name);
}

void PageServerTest::SetUp() {
    clearProxyEnvironment();
    std::optional<PageServer> started = startPageServer();
    ASSERT_TRUE(started.has_value());
    server = *started;
}

void PageServerTest::TearDown() {
    stopPageServer(server);
    clearProxyEnvironment();
}
