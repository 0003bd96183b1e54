#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <ostream>
#include <set>
#include <string>

#include "services/files.h"

namespace {

namespace fs = std::filesystem;

// 语文人教版三年级下册12.jpg in GBK, as the download names a saved page.
const Text gbkPageName =
    "\xD3\xEF\xCE\xC4\xC8\xCB\xBD\xCC\xB0\xE6\xC8\xFD\xC4\xEA\xBC\xB6\xCF\xC2\xB2\xE1"
    "12.jpg";

std::string readFile(const fs::path& path) {
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), {}};
}

void putFile(const fs::path& path, const std::string& content) {
    std::ofstream(path, std::ios::binary) << content;
}

// Every entry below `root`, as paths relative to it.
std::set<std::string> entriesBelow(const fs::path& root) {
    std::set<std::string> entries;
    for (const auto& entry : fs::recursive_directory_iterator(root))
        entries.insert(fs::relative(entry.path(), root).string());
    return entries;
}

class WriteFileTest : public testing::Test {
  protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "write-file-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        dir = pattern;
    }
    void TearDown() override { fs::remove_all(dir); }

    // The GBK name of `name` (ASCII) in the test directory.
    Text nameOf(const std::string& name) const { return (dir / name).string(); }

    fs::path dir;
};

TEST_F(WriteFileTest, CreatesTheFileWithTheContent) {
    const Bytes content = toBytes(std::string("\xFF\xD8\x00\x01page", 8));
    EXPECT_TRUE(writeFile(nameOf("1.jpg"), content));
    EXPECT_EQ(toBytes(readFile(dir / "1.jpg")), content);
    EXPECT_EQ(entriesBelow(dir), std::set<std::string>{"1.jpg"});
}

TEST_F(WriteFileTest, ReplacesTheWholeContent) {
    putFile(dir / "1.jpg", "a much longer old page");
    EXPECT_TRUE(writeFile(nameOf("1.jpg"), toBytes("new")));
    EXPECT_EQ(readFile(dir / "1.jpg"), "new");
    EXPECT_EQ(entriesBelow(dir), std::set<std::string>{"1.jpg"});
}

TEST_F(WriteFileTest, EmptyContentGivesAnEmptyFile) {
    EXPECT_TRUE(writeFile(nameOf("new.jpg"), {}));
    putFile(dir / "old.jpg", "old");
    EXPECT_TRUE(writeFile(nameOf("old.jpg"), {}));
    for (const char* name : {"new.jpg", "old.jpg"}) {
        ASSERT_TRUE(fs::is_regular_file(dir / name)) << name;
        EXPECT_EQ(fs::file_size(dir / name), 0u) << name;
    }
}

TEST_F(WriteFileTest, NewFileIsReadableByAllAndAReplacedOneKeepsItsMode) {
    const mode_t previous = umask(022);
    EXPECT_TRUE(writeFile(nameOf("new.jpg"), toBytes("x")));
    putFile(dir / "private.jpg", "old");
    fs::permissions(dir / "private.jpg", fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_TRUE(writeFile(nameOf("private.jpg"), toBytes("new")));
    umask(previous);
    const auto readWrite = fs::perms::owner_read | fs::perms::owner_write;
    EXPECT_EQ(fs::status(dir / "new.jpg").permissions(),
              readWrite | fs::perms::group_read | fs::perms::others_read);
    EXPECT_EQ(fs::status(dir / "private.jpg").permissions(), readWrite);
}

TEST_F(WriteFileTest, GbkNameIsStoredUnderItsUtf8Name) {
    EXPECT_TRUE(writeFile(dir.string() + "/" + gbkPageName, toBytes("page")));
    EXPECT_EQ(readFile(dir / "语文人教版三年级下册12.jpg"), "page");
    EXPECT_EQ(entriesBelow(dir), std::set<std::string>{"语文人教版三年级下册12.jpg"});
}

TEST_F(WriteFileTest, RelativeNameIsInTheWorkingDirectory) {
    const fs::path previous = fs::current_path();
    fs::current_path(dir);
    const bool written = writeFile("plain.jpg", toBytes("p"));
    fs::current_path(previous);
    EXPECT_TRUE(written);
    EXPECT_EQ(readFile(dir / "plain.jpg"), "p");
}

// The process id of a process that has ended.
pid_t goneProcess() {
    const pid_t child = fork();
    if (child == 0) _exit(0);
    waitpid(child, nullptr, 0);
    return child;
}

// A writer killed in the middle of a save leaves its temporary; the next save into the
// directory removes it, and nothing else: not the temporary of a writer that still runs, nor a
// name that only looks similar, nor anything that is no regular file.
TEST_F(WriteFileTest, FirstSaveRemovesTemporariesLeftByGoneWriters) {
    const std::string gone = std::to_string(goneProcess());
    const std::string running = std::to_string(getppid());
    const std::string stale = ".7.jpg." + gone + "-123.part";
    const std::set<std::string> kept = {
        ".7.jpg." + running + "-5.part", ".7.jpg." + gone + "-x.part",
        "7.jpg." + gone + "-5.part",     ".7.jpg." + gone + "-5.part.jpg",
        ".dir." + gone + "-5.part",      ".link." + gone + "-5.part"};
    putFile(dir / stale, "half a page");
    for (const std::string& name : kept) {
        if (name.starts_with(".dir."))
            fs::create_directory(dir / name);
        else if (name.starts_with(".link."))
            fs::create_symlink(dir / "7.jpg", dir / name);
        else
            putFile(dir / name, "x");
    }
    EXPECT_TRUE(writeFile(nameOf("1.jpg"), toBytes("page")));
    std::set<std::string> expected = kept;
    expected.insert("1.jpg");
    EXPECT_EQ(entriesBelow(dir), expected);
}

struct FailureCase {
    const char* name;
    Text target;  // relative to the test directory; "" for the empty name
};

void PrintTo(const FailureCase& c, std::ostream* os) { *os << c.name; }

class WriteFileFailureTest : public WriteFileTest,
                             public testing::WithParamInterface<FailureCase> {};

// The test directory holds old.jpg and a directory "taken" with a file in it; a failed write
// changes none of it and leaves no temporary file behind.
TEST_P(WriteFileFailureTest, GivesFalseAndChangesNothing) {
    putFile(dir / "old.jpg", "old page");
    fs::create_directory(dir / "taken");
    putFile(dir / "taken" / "inside", "x");
    const std::set<std::string> before = entriesBelow(dir);
    const Text name = GetParam().target.empty() ? Text{} : nameOf("") + GetParam().target;
    EXPECT_FALSE(writeFile(name, toBytes("new page")));
    EXPECT_EQ(entriesBelow(dir), before);
    EXPECT_EQ(readFile(dir / "old.jpg"), "old page");
}

INSTANTIATE_TEST_SUITE_P(
    Table, WriteFileFailureTest,
    testing::Values(FailureCase{"EmptyName", ""}, FailureCase{"MissingDirectory", "missing/1.jpg"},
                    // The content is written, then the rename over a directory fails.
                    FailureCase{"TargetIsADirectory", "taken"},
                    FailureCase{"NameEndsWithSeparator", "old.jpg/"},
                    FailureCase{"NameIsNoGbk", "\xFF\xFF.jpg"},
                    FailureCase{"NameWithIncompleteCharacter", "old\xD3"}),
    [](const testing::TestParamInfo<FailureCase>& info) { return info.param.name; });

}  // namespace
