#include "services/run_directory.h"

#include <unistd.h>

#include <filesystem>
#include <optional>
#include <system_error>

#include "services/gbk.h"

namespace {

constexpr const char* workingDirectory = ".";

// The program's directory as recorded at start-up; process-wide, set once.
Text& recordedDirectory() {
    static Text directory = workingDirectory;
    return directory;
}

std::optional<std::string> executablePath() {
    std::error_code error;
    const std::filesystem::path path = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error || path.empty()) return std::nullopt;
    return path.string();
}

}  // namespace

std::string directoryOfPath(std::string_view path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string_view::npos) return {};
    return std::string{path.substr(0, slash)};
}

Text runDirectoryText(std::string_view directory) {
    return utf8ToGbk(directory).value_or(workingDirectory);
}

bool recordRunDirectory() {
    const std::optional<std::string> executable = executablePath();
    if (!executable) return false;
    const std::string directory = directoryOfPath(*executable);
    // A program in the root directory has the empty directory: "" + "/" + name is in "/".
    if (chdir(directory.empty() ? "/" : directory.c_str()) != 0) return false;
    recordedDirectory() = runDirectoryText(directory);
    return true;
}

Text runDirectory() { return recordedDirectory(); }
