#include "services/run_directory.h"

#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <string>

namespace {

Text& recordedDirectory() {
    static Text directory;
    return directory;
}

// The running program's full path with symbolic links resolved; empty when unknown.
std::string programPath() {
    char resolved[PATH_MAX];
    if (realpath("/proc/self/exe", resolved) == nullptr) return {};
    return resolved;
}

}  // namespace

bool recordRunDirectory() {
    const std::string path = programPath();
    const auto separator = path.rfind('/');
    if (separator == std::string::npos) return false;
    recordedDirectory() = path.substr(0, separator);
    const std::string target = recordedDirectory().empty() ? "/" : recordedDirectory();
    return chdir(target.c_str()) == 0;
}

Text runDirectory() {
    return recordedDirectory();
}
