#include <gtest/gtest.h>
#include <unistd.h>

#include <QTest>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "addressing/hosts.h"
#include "app/main_window.h"
#include "app/window_operations.h"
#include "commands/page_commands.h"
#include "services/gbk.h"
#include "tests/support/page_server.h"
#include "tests/support/widget_application.h"

namespace {

namespace fs = std::filesystem;

const std::string volumeFolderPath = "/img/jiaocai/yuwen/renjiaoban/sannianjixiace/";
// 语文, 人教版, 三年级, 下册 as saved-file names show them.
const std::string savedNamePrefix = "语文人教版三年级下册";

std::string imageUrl(const std::string& path) { return "http://" + imageHost + path; }

Bytes pageBytes(int page, char variant = 'a') {
    return toBytes("page " + std::to_string(page) + " variant " + variant);
}

Text gbk(const std::string& utf8) { return utf8ToGbk(utf8).value_or(""); }

Bytes fileContent(const fs::path& path) {
    std::ifstream file(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(file), {});
}

// The page commands against a real window and the page server, which the commands reach as
// the image host through http_proxy. Downloads land in a temporary working directory.
class PageCommandsTest : public PageServerTest {
  protected:
    static void SetUpTestSuite() { widgetApplication(); }

    void SetUp() override {
        PageServerTest::SetUp();
        setenv("http_proxy", serverUrl(server, "").c_str(), 1);
        std::string pattern = (fs::temp_directory_path() / "page-commands-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        downloads = pattern;
        previousDirectory = fs::current_path();
        fs::current_path(downloads);
        window = std::make_unique<MainWindow>();
        pickBook(0, 1, 2, 1);
    }

    void TearDown() override {
        window.reset();
        fs::current_path(previousDirectory);
        fs::remove_all(downloads);
        PageServerTest::TearDown();
    }

    void pickBook(int subject, int edition, int grade, int volume) {
        window->组合框4->setCurrentIndex(subject);
        window->组合框3->setCurrentIndex(edition);
        window->组合框1->setCurrentIndex(grade);
        window->组合框2->setCurrentIndex(volume);
    }

    void servePages(int count, char variant) {
        Routes routes;
        for (int page = 1; page <= count; ++page) {
            routes[volumeFolderPath + std::to_string(page) + ".jpg"].body =
                pageBytes(page, variant);
        }
        setRoutes(server, routes);
    }

    std::vector<std::string> requestedTargets() const {
        std::vector<std::string> targets;
        for (const LoggedRequest& request : requestLog(server)) targets.push_back(request.target);
        return targets;
    }

    std::string pageBox() const { return gbkToUtf8(text(*window->编辑框1)).value_or("?"); }
    void setPageBox(const std::string& value) { text(*window->编辑框1, gbk(value)); }
    fs::path savedPage(int page) const {
        return downloads / (savedNamePrefix + std::to_string(page) + ".jpg");
    }
    std::vector<fs::path> savedFiles() const {
        return {fs::directory_iterator(downloads), fs::directory_iterator()};
    }

    std::unique_ptr<MainWindow> window;
    fs::path downloads;
    fs::path previousDirectory;
};

struct StepCase {
    const char* name;
    std::string pageBox;
    void (*command)();
    std::string requestedPage;
    std::string pageBoxAfter;
};

void PrintTo(const StepCase& c, std::ostream* os) { *os << c.name; }

class StepCommandTest : public PageCommandsTest, public testing::WithParamInterface<StepCase> {};

TEST_P(StepCommandTest, RequestsThePageAndWritesTheNumberBack) {
    setPageBox(GetParam().pageBox);
    GetParam().command();
    EXPECT_EQ(requestedTargets(),
              std::vector{imageUrl(volumeFolderPath + GetParam().requestedPage + ".jpg")});
    EXPECT_EQ(pageBox(), GetParam().pageBoxAfter);
}

INSTANTIATE_TEST_SUITE_P(
    Table, StepCommandTest,
    testing::Values(StepCase{"PreviousFromOne", "1", onPreviousPageClicked, "0", "0"},
                    StepCase{"PreviousFromZero", "0", onPreviousPageClicked, "-1", "-1"},
                    StepCase{"NextWrapsAtTheTop", "2147483647", onNextPageClicked, "-2147483648",
                             "-2147483648"},
                    StepCase{"PreviousWrapsAtTheBottom", "-2147483648", onPreviousPageClicked,
                             "2147483647", "2147483647"},
                    StepCase{"NextNormalisesLeadingZeros", "007", onNextPageClicked, "8", "8"},
                    StepCase{"NextFromEmpty", "", onNextPageClicked, "1", "1"},
                    StepCase{"NextFromFullWidthDigits", "１２", onNextPageClicked, "13", "13"},
                    StepCase{"ViewEmptyKeepsTheBox", "", onViewClicked, "0", ""},
                    StepCase{"ViewLettersKeepsTheBox", "abc", onViewClicked, "0", "abc"},
                    StepCase{"ViewKeepsUnnormalisedText", "007", onViewClicked, "7", "007"}),
    [](const testing::TestParamInfo<StepCase>& info) { return info.param.name; });

TEST_F(PageCommandsTest, EachClickStartsFromWhatTheBoxHoldsThen) {
    onPreviousPageClicked();
    onPreviousPageClicked();
    setPageBox("41");
    onNextPageClicked();
    EXPECT_EQ(requestedTargets(), (std::vector{imageUrl(volumeFolderPath + "0.jpg"),
                                               imageUrl(volumeFolderPath + "-1.jpg"),
                                               imageUrl(volumeFolderPath + "42.jpg")}));
    EXPECT_EQ(pageBox(), "42");
}

TEST_F(PageCommandsTest, ViewShowsTheServedBytes) {
    servePages(3, 'a');
    setPageBox("2");
    onViewClicked();
    EXPECT_EQ(picture(*window->图片框1), pageBytes(2));
}

TEST_F(PageCommandsTest, FailedFetchLeavesNoPictureAndStillSteps) {
    setRoutes(server, {{volumeFolderPath + "2.jpg", {.misbehaviour = "reset"}}});
    picture(*window->图片框1, pageBytes(1));
    onNextPageClicked();
    EXPECT_TRUE(picture(*window->图片框1).empty());
    EXPECT_EQ(pageBox(), "2");
}

TEST_F(PageCommandsTest, ErrorPageBodyIsHandedToThePictureBox) {
    const Bytes errorPage = toBytes("<html><body>Not here</body></html>");
    setRoutes(server, {{volumeFolderPath + "1.jpg", {.status = 404, .body = errorPage}}});
    onViewClicked();
    EXPECT_EQ(picture(*window->图片框1), errorPage);
}

TEST_F(PageCommandsTest, UnselectedListsGiveEmptySegments) {
    window->组合框1->setCurrentIndex(-1);
    setPageBox("12");
    onViewClicked();
    pickBook(-1, -1, -1, -1);
    setPageBox("1");
    onViewClicked();
    EXPECT_EQ(requestedTargets(),
              (std::vector{imageUrl("/img/jiaocai/yuwen/renjiaoban/xiace/12.jpg"),
                           imageUrl("/img/jiaocai////1.jpg")}));
}

TEST_F(PageCommandsTest, DownloadSavesPagesOneToNInOrder) {
    servePages(3, 'a');
    setPageBox("3");
    onDownloadClicked();
    EXPECT_EQ(requestedTargets(), (std::vector{imageUrl(volumeFolderPath + "1.jpg"),
                                               imageUrl(volumeFolderPath + "2.jpg"),
                                               imageUrl(volumeFolderPath + "3.jpg")}));
    for (int page = 1; page <= 3; ++page) EXPECT_EQ(fileContent(savedPage(page)), pageBytes(page));
    EXPECT_EQ(savedFiles().size(), 3u);
    EXPECT_EQ(picture(*window->图片框1), pageBytes(3));
    EXPECT_EQ(pageBox(), "3");
}

TEST_F(PageCommandsTest, DownloadWithoutAPositiveCountDoesNothing) {
    servePages(3, 'a');
    for (const char* count : {"0", "-5", "abc", ""}) {
        picture(*window->图片框1, pageBytes(9));
        setPageBox(count);
        onDownloadClicked();
        EXPECT_EQ(picture(*window->图片框1), pageBytes(9)) << count;
        EXPECT_EQ(pageBox(), count);
    }
    EXPECT_TRUE(requestedTargets().empty());
    EXPECT_TRUE(savedFiles().empty());
}

TEST_F(PageCommandsTest, ShorterDownloadReplacesOnlyThePagesItCovers) {
    servePages(3, 'a');
    setPageBox("3");
    onDownloadClicked();
    servePages(3, 'b');
    setPageBox("2");
    onDownloadClicked();
    EXPECT_EQ(fileContent(savedPage(1)), pageBytes(1, 'b'));
    EXPECT_EQ(fileContent(savedPage(2)), pageBytes(2, 'b'));
    EXPECT_EQ(fileContent(savedPage(3)), pageBytes(3, 'a'));
}

TEST_F(PageCommandsTest, DownloadWithAnUnselectedListLeavesItsLabelOut) {
    window->组合框3->setCurrentIndex(-1);
    setRoutes(server, {{"/img/jiaocai/yuwen//sannianjixiace/1.jpg", {.body = pageBytes(1)}}});
    setPageBox("1");
    onDownloadClicked();
    EXPECT_EQ(fileContent(downloads / "语文三年级下册1.jpg"), pageBytes(1));
}

struct FailedPageCase {
    const char* name;
    RouteBehaviour behaviour;
};

void PrintTo(const FailedPageCase& c, std::ostream* os) { *os << c.name; }

class FailedDownloadTest : public PageCommandsTest,
                           public testing::WithParamInterface<FailedPageCase> {};

// Page 1 was saved by an earlier download; page 2 never was. A failed fetch of either must
// neither replace the good copy nor create a file, and the loop goes on to page 3.
TEST_P(FailedDownloadTest, KeepsEarlierFilesAndSavesNothingNew) {
    servePages(1, 'a');
    setPageBox("1");
    onDownloadClicked();
    Routes routes;
    routes[volumeFolderPath + "1.jpg"] = GetParam().behaviour;
    routes[volumeFolderPath + "2.jpg"] = GetParam().behaviour;
    routes[volumeFolderPath + "3.jpg"].body = pageBytes(3);
    setRoutes(server, routes);
    setPageBox("3");
    onDownloadClicked();
    EXPECT_EQ(fileContent(savedPage(1)), pageBytes(1));
    EXPECT_FALSE(fs::exists(savedPage(2)));
    EXPECT_EQ(fileContent(savedPage(3)), pageBytes(3));
    EXPECT_EQ(savedFiles().size(), 2u);
}

INSTANTIATE_TEST_SUITE_P(
    Table, FailedDownloadTest,
    testing::Values(
        FailedPageCase{"NotFound", {.status = 404, .body = toBytes("<html>404</html>")}},
        FailedPageCase{"ServerError", {.status = 500, .body = toBytes("oops")}},
        FailedPageCase{"ConnectionReset", {.misbehaviour = "reset"}},
        FailedPageCase{"BodyCutShort", {.body = Bytes(5000, 0xAB), .misbehaviour = "cut"}}),
    [](const testing::TestParamInfo<FailedPageCase>& info) { return info.param.name; });

TEST_F(PageCommandsTest, ButtonsRunTheirCommands) {
    servePages(2, 'a');
    setPageBox("1");
    QTest::mouseClick(window->按钮2, Qt::LeftButton);
    QTest::mouseClick(window->按钮3, Qt::LeftButton);
    QTest::mouseClick(window->按钮4, Qt::LeftButton);
    setPageBox("2");
    QTest::mouseClick(window->按钮1, Qt::LeftButton);
    EXPECT_EQ(
        requestedTargets(),
        (std::vector{imageUrl(volumeFolderPath + "1.jpg"), imageUrl(volumeFolderPath + "2.jpg"),
                     imageUrl(volumeFolderPath + "1.jpg"), imageUrl(volumeFolderPath + "1.jpg"),
                     imageUrl(volumeFolderPath + "2.jpg")}));
    EXPECT_EQ(savedFiles().size(), 2u);
}

TEST(SiteIndexAddress, IsTheSiteHostsTextbookIndex) {
    EXPECT_EQ(siteIndexAddress(), "http://" + siteHost + "/jiaocai/");
}

}  // namespace
