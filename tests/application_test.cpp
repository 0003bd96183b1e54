#include "app/application.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "services/display.h"

namespace {

const char* const kDisplayVariables[] = {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY",
                                         "XDG_RUNTIME_DIR"};

// Each case sets the display environment from scratch; the fixture puts the original back.
class DisplayEnvironmentTest : public ::testing::Test {
  protected:
    void SetUp() override {
        for (const char* name : kDisplayVariables) {
            const char* value = std::getenv(name);
            saved_.push_back(value == nullptr ? std::nullopt : std::optional<std::string>(value));
            unsetenv(name);
        }
    }

    void TearDown() override {
        for (std::size_t i = 0; i < std::size(kDisplayVariables); ++i) {
            if (saved_[i]) {
                setenv(kDisplayVariables[i], saved_[i]->c_str(), 1);
            } else {
                unsetenv(kDisplayVariables[i]);
            }
        }
    }

    static void set(const char* name, const char* value) {
        if (value != nullptr) setenv(name, value, 1);
    }

  private:
    std::vector<std::optional<std::string>> saved_;
};

struct DisplayCase {
    const char* platform;
    const char* display;
    const char* wayland;
    bool available;
};

// Test names become CTest names, in which ';' would split the name as a CMake list.
void PrintTo(const DisplayCase& c, std::ostream* out) {
    const auto shown = [](const char* value) {
        std::string text = value == nullptr ? "unset" : value;
        for (std::size_t at; (at = text.find(';')) != std::string::npos;)
            text.replace(at, 1, " or ");
        return text;
    };
    *out << "QT_QPA_PLATFORM=" << shown(c.platform) << " DISPLAY=" << shown(c.display)
         << " WAYLAND_DISPLAY=" << shown(c.wayland);
}

class WindowPlatformTest : public DisplayEnvironmentTest,
                           public ::testing::WithParamInterface<DisplayCase> {};

TEST_P(WindowPlatformTest, PlatformIsAvailableOnlyWithAReachableDisplay) {
    const DisplayCase& c = GetParam();
    set("QT_QPA_PLATFORM", c.platform);
    set("DISPLAY", c.display);
    set("WAYLAND_DISPLAY", c.wayland);
    set("XDG_RUNTIME_DIR", "/tmp");
    EXPECT_EQ(windowPlatformAvailable(), c.available);
}

INSTANTIATE_TEST_SUITE_P(
    Environments, WindowPlatformTest,
    ::testing::Values(DisplayCase{nullptr, nullptr, nullptr, false},
                      DisplayCase{"", nullptr, nullptr, false},
                      DisplayCase{"xcb", nullptr, nullptr, false},
                      DisplayCase{"xcb", ":4711", nullptr, false},
                      DisplayCase{"wayland", nullptr, "no-such-wayland-socket", false},
                      DisplayCase{nullptr, nullptr, "no-such-wayland-socket", false},
                      DisplayCase{"offscreen", nullptr, nullptr, true},
                      DisplayCase{"minimal:enable_fonts", nullptr, nullptr, true},
                      DisplayCase{"xcb;offscreen", ":4711", nullptr, true},
                      DisplayCase{"xcb;wayland", ":4711", "no-such-wayland-socket", false}));

TEST_F(DisplayEnvironmentTest, WithoutADisplayTheProgramSaysSoOnceAndEndsWithMinusOne) {
    set("DISPLAY", ":4711");
    char name[] = "textbook-pages";
    char* argv[] = {name, nullptr};
    testing::internal::CaptureStderr();
    const int status = runApplication(1, argv);
    const std::string output = testing::internal::GetCapturedStderr();
    EXPECT_EQ(status, -1);
    ASSERT_FALSE(output.empty());
    EXPECT_EQ(output.find('\n'), output.size() - 1) << output;
    EXPECT_NE(output.find("display"), std::string::npos) << output;
}

}  // namespace
