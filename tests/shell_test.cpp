#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <thread>

#include "services/shell.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// A stand-in xdg-open, first on PATH, that records its arguments one per line and then keeps
// running for a while, as a browser would.
constexpr const char* recordingXdgOpen =
    "#!/bin/sh\n"
    "printf '%s\\n' \"$@\" > \"$XDG_OPEN_RECORD.tmp\"\n"
    "mv \"$XDG_OPEN_RECORD.tmp\" \"$XDG_OPEN_RECORD\"\n"
    "sleep 3\n";

class OpenUrlTest : public testing::Test {
  protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "open-url-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        dir = pattern;
        fs::create_directory(dir / "bin");
        std::ofstream(dir / "bin" / "xdg-open") << recordingXdgOpen;
        fs::permissions(dir / "bin" / "xdg-open", fs::perms::owner_all);
        record = dir / "record";
        const char* path = std::getenv("PATH");
        previousPath = path != nullptr ? path : "";
        setenv("XDG_OPEN_RECORD", record.c_str(), 1);
    }
    void TearDown() override {
        setenv("PATH", previousPath.c_str(), 1);
        unsetenv("XDG_OPEN_RECORD");
        fs::remove_all(dir);
    }

    void useStandIn() { setenv("PATH", ((dir / "bin").string() + ":" + previousPath).c_str(), 1); }

    // The recorded arguments once the stand-in has run; nullopt when it did not within `wait`.
    std::optional<std::string> recordedArguments(std::chrono::milliseconds wait) const {
        const auto deadline = Clock::now() + wait;
        while (Clock::now() < deadline) {
            if (fs::exists(record)) {
                std::ifstream file(record);
                return std::string(std::istreambuf_iterator<char>(file), {});
            }
            std::this_thread::sleep_for(10ms);
        }
        return std::nullopt;
    }

    fs::path dir;
    fs::path record;
    std::string previousPath;
};

TEST_F(OpenUrlTest, HandsTheUrlToXdgOpenWithoutWaitingForIt) {
    useStandIn();
    const auto start = Clock::now();
    openUrl("http://www.example/jiaocai/");
    EXPECT_LT(Clock::now() - start, 2s);
    EXPECT_EQ(recordedArguments(5s), "http://www.example/jiaocai/\n");
}

TEST_F(OpenUrlTest, GbkUrlIsPassedAsUtf8) {
    useStandIn();
    openUrl("http://www.example/\xD3\xEF\xCE\xC4?q=a b");
    EXPECT_EQ(recordedArguments(5s), "http://www.example/语文?q=a b\n");
}

TEST_F(OpenUrlTest, NothingIsStartedForAnEmptyOrUnconvertibleUrl) {
    useStandIn();
    openUrl("");
    openUrl("http://www.example/\xFF");
    EXPECT_EQ(recordedArguments(500ms), std::nullopt);
}

TEST_F(OpenUrlTest, WithoutXdgOpenNothingHappens) {
    setenv("PATH", (dir / "empty").c_str(), 1);
    const auto start = Clock::now();
    openUrl("http://www.example/jiaocai/");
    EXPECT_LT(Clock::now() - start, 2s);
    EXPECT_EQ(recordedArguments(300ms), std::nullopt);
}

}  // namespace
