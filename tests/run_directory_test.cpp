#include <gtest/gtest.h>
#include <unistd.h>
#include <QProcess>
#include <QString>

#include <filesystem>
#include <ostream>
#include <string>

#include "services/files.h"
#include "services/run_directory.h"

namespace {

namespace fs = std::filesystem;

struct PathCase {
    const char* name;
    std::string path;
    std::string directory;
};

void PrintTo(const PathCase& c, std::ostream* os) { *os << c.name; }

class DirectoryOfPath : public testing::TestWithParam<PathCase> {};

TEST_P(DirectoryOfPath, CutsAtTheLastSeparator) {
    EXPECT_EQ(directoryOfPath(GetParam().path), GetParam().directory);
}

INSTANTIATE_TEST_SUITE_P(
    Table, DirectoryOfPath,
    testing::Values(PathCase{"Absolute", "/opt/textbook/textbook-pages", "/opt/textbook"},
                    PathCase{"NoSeparator", "textbook-pages", ""},
                    PathCase{"InTheRoot", "/textbook-pages", ""}, PathCase{"Empty", "", ""},
                    PathCase{"TrailingSeparator", "/opt/textbook/", "/opt/textbook"},
                    PathCase{"Relative", "bin/textbook-pages", "bin"},
                    PathCase{"ChineseDirectory", "/home/课本/textbook-pages", "/home/课本"}),
    [](const testing::TestParamInfo<PathCase>& info) { return info.param.name; });

TEST(RunDirectoryText, IsTheGbkFormOrTheWorkingDirectory) {
    EXPECT_EQ(runDirectoryText("/opt/textbook"), "/opt/textbook");
    EXPECT_EQ(runDirectoryText(""), "");
    EXPECT_EQ(runDirectoryText("/home/\xE8\xAF\xBE\xE6\x9C\xAC"), "/home/\xBF\xCE\xB1\xBE");
    EXPECT_EQ(runDirectoryText("/home/🙂"), ".");
    EXPECT_EQ(runDirectoryText("/home/\xFF"), ".");
}

// The property start-up must give: pages saved under runDirectory land beside the program.
TEST(RecordRunDirectory, SavedPagesLandBesideTheProgram) {
    const fs::path programDirectory = fs::read_symlink("/proc/self/exe").parent_path();
    fs::current_path("/");
    ASSERT_TRUE(recordRunDirectory());
    EXPECT_EQ(fs::current_path(), programDirectory);
    EXPECT_EQ(runDirectory(), runDirectoryText(programDirectory.string()));
    const std::string page = "run-directory-" + std::to_string(getpid()) + ".jpg";
    EXPECT_TRUE(writeFile(runDirectory() + "/\xD3\xEF\xCE\xC4" + page, toBytes("page")));
    EXPECT_TRUE(fs::remove(programDirectory / ("语文" + page)));
}

// The same program started from a directory that GBK cannot name.
TEST(RecordRunDirectory, DirectoryWithoutGbkNameStillReceivesThePages) {
    std::string pattern = (fs::temp_directory_path() / "run-dir-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    const fs::path programDirectory = fs::path(pattern) / "课本🙂";
    fs::create_directory(programDirectory);
    const fs::path copy = programDirectory / "run_directory_test";
    fs::copy_file(fs::read_symlink("/proc/self/exe"), copy);
    const int status = QProcess::execute(
        QString::fromStdString(copy.string()),
        {"--gtest_brief=1", "--gtest_filter=RecordRunDirectory.SavedPagesLandBesideTheProgram"});
    EXPECT_EQ(status, 0);
    EXPECT_EQ(runDirectoryText(programDirectory.string()), ".");
    fs::remove_all(pattern);
}

}  // namespace
