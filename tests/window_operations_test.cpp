#include "app/window_operations.h"

#include <gtest/gtest.h>
#include <QInputMethodEvent>
#include <QTest>

#include <memory>
#include <ostream>
#include <utility>

#include "app/main_window.h"
#include "services/gbk.h"
#include "tests/support/widget_application.h"

namespace {

class WindowOperationsTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { widgetApplication(); }

    void SetUp() override { window = std::make_unique<MainWindow>(); }

    std::unique_ptr<MainWindow> window;
};

struct TextCase {
    const char* shown;  // as the user sees it, UTF-8
    Text gbk;           // as the commands read and write it
};

void PrintTo(const TextCase& c, std::ostream* out) { *out << '"' << c.shown << '"'; }

class PageNumberTextTest : public WindowOperationsTest,
                           public ::testing::WithParamInterface<TextCase> {};

TEST_P(PageNumberTextTest, WrittenTextIsShownAndReadBackUnchanged) {
    const TextCase& c = GetParam();
    text(*window->编辑框1, c.gbk);
    EXPECT_EQ(window->编辑框1->text(), QString::fromUtf8(c.shown));
    EXPECT_EQ(text(*window->编辑框1), c.gbk);
}

// Typed text arrives as an input method's commit, the way Chinese characters are entered.
TEST_P(PageNumberTextTest, TypedTextIsReadAsGbk) {
    const TextCase& c = GetParam();
    window->编辑框1->clear();
    QInputMethodEvent typing;
    typing.setCommitString(QString::fromUtf8(c.shown));
    QApplication::sendEvent(window->编辑框1, &typing);
    EXPECT_EQ(text(*window->编辑框1), c.gbk);
}

INSTANTIATE_TEST_SUITE_P(Texts, PageNumberTextTest,
                         ::testing::Values(TextCase{"", ""}, TextCase{"abc", "abc"},
                                           TextCase{"8", "8"}, TextCase{"2147483648", "2147483648"},
                                           TextCase{"第12页",
                                                    "\xB5\xDA"
                                                    "12"
                                                    "\xD2\xB3"},
                                           TextCase{"１２", "\xA3\xB1\xA3\xB2"},
                                           TextCase{" 7 ", " 7 "}));

TEST_F(WindowOperationsTest, TypedCharacterWithoutGbkFormIsReadAsQuestionMark) {
    window->编辑框1->setText(
        QString::fromUtf8("1\xF0\x9F\x98\x80"
                          "2"));
    EXPECT_EQ(text(*window->编辑框1), "1?2");
}

TEST_F(WindowOperationsTest, WritingBrokenGbkKeepsTheReadableCharacters) {
    text(*window->编辑框1, "4\x81");
    EXPECT_EQ(window->编辑框1->text(), QString::fromUtf8("4\xEF\xBF\xBD"));
}

TEST_F(WindowOperationsTest, SelectedIndexFollowsThePickedItem) {
    window->组合框3->setCurrentIndex(6);
    EXPECT_EQ(selectedIndex(*window->组合框3), 6);
    EXPECT_EQ(itemText(*window->组合框3, selectedIndex(*window->组合框3)),
              utf8ToGbk("西师大版").value());
    window->组合框3->setCurrentIndex(-1);
    EXPECT_EQ(selectedIndex(*window->组合框3), -1);
}

struct PictureCase {
    const char* what;
    Bytes bytes;
};

void PrintTo(const PictureCase& c, std::ostream* out) { *out << c.what; }

class PictureTest : public WindowOperationsTest,
                    public ::testing::WithParamInterface<PictureCase> {};

TEST_P(PictureTest, PictureReadsBackExactlyTheBytesWritten) {
    picture(*window->图片框1, toBytes("stale content of an earlier page"));
    picture(*window->图片框1, GetParam().bytes);
    EXPECT_EQ(picture(*window->图片框1), GetParam().bytes);
}

// The download moves each body into the box; a moved-in block must read back the same as a
// copied one, and a later write must not reach the bytes read back earlier.
TEST_P(PictureTest, MovedInBytesReadBackAndStayApartFromLaterWrites) {
    Bytes moved = GetParam().bytes;
    picture(*window->图片框1, std::move(moved));
    const Bytes readBack = picture(*window->图片框1);
    EXPECT_EQ(readBack, GetParam().bytes);
    picture(*window->图片框1, toBytes("the next page"));
    EXPECT_EQ(readBack, GetParam().bytes);
    EXPECT_EQ(picture(*window->图片框1), toBytes("the next page"));
}

INSTANTIATE_TEST_SUITE_P(
    Bodies, PictureTest,
    ::testing::Values(
        PictureCase{"nothing", {}},
        PictureCase{"an HTML error page",
                    toBytes("<html><head><title>404 Not Found</title></head>\r\n<body>"
                            "<h1>Not Found</h1></body></html>\r\n")},
        PictureCase{"seven bytes starting with BM", toBytes("BM\x01\x02\x03\x04\x05")},
        PictureCase{"binary bytes", {0x00, 0xFF, 0x00, 0x0A, 0x0D, 0x1A, 0x80, 0xFE}}));

}  // namespace
