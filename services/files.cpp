#include "services/files.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <optional>
#include <random>
#include <set>
#include <string>
#include <string_view>

#include "services/gbk.h"

// A page is written to a hidden temporary file beside its target and renamed over it, so a
// crash, a kill or a full disk never leaves a truncated page or destroys the page that was
// there. When a page is replaced, its new content reaches the disk before the rename, so even
// a power failure leaves the old page or the new one. A new page skips that wait: there is
// nothing older to lose, and a download of hundreds of pages stays as fast as plain copying.
// Only a kill in the middle of a write leaves its temporary behind; the first save into a
// directory removes such leftovers of writers that no longer run.

namespace {

constexpr const char* temporaryPrefix = ".";
constexpr const char* temporarySuffix = ".part";
// Room for the prefix, the unique part and the suffix within the 255 bytes of a name.
constexpr std::size_t maxTemporaryStem = 200;
constexpr int maxCreateAttempts = 16;

struct Target {
    std::string directory;  // with its trailing separator, empty for the working directory
    std::string base;
};

std::optional<Target> splitTarget(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    Target target;
    if (slash != std::string::npos) {
        target.directory = path.substr(0, slash + 1);
        target.base = path.substr(slash + 1);
    } else {
        target.base = path;
    }
    if (target.base.empty() || target.base == "." || target.base == "..") return std::nullopt;
    return target;
}

// The start of the name, cut at a UTF-8 character boundary.
std::string stemOf(const std::string& base) {
    std::size_t length = std::min(base.size(), maxTemporaryStem);
    while (length > 0 && length < base.size() && (base[length] & 0xC0) == 0x80) --length;
    return base.substr(0, length);
}

std::string temporaryPath(const Target& target) {
    std::random_device random;
    const auto unique = (static_cast<unsigned long long>(random()) << 32) | random();
    return target.directory + temporaryPrefix + stemOf(target.base) + "." +
           std::to_string(getpid()) + "-" + std::to_string(unique) + temporarySuffix;
}

struct TemporaryFile {
    int descriptor = -1;
    std::string path;
};

std::optional<TemporaryFile> createTemporary(const Target& target) {
    for (int attempt = 0; attempt < maxCreateAttempts; ++attempt) {
        TemporaryFile file{-1, temporaryPath(target)};
        file.descriptor =
            open(file.path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
        if (file.descriptor >= 0) return file;
        if (errno != EEXIST && errno != EINTR) return std::nullopt;
    }
    return std::nullopt;
}

bool writeAll(int descriptor, const Bytes& content) {
    std::size_t done = 0;
    while (done < content.size()) {
        const ssize_t written = write(descriptor, content.data() + done, content.size() - done);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) return false;
        done += static_cast<std::size_t>(written);
    }
    return true;
}

bool syncToDisk(int descriptor) {
    int result = 0;
    do {
        result = fsync(descriptor);
    } while (result != 0 && errno == EINTR);
    return result == 0;
}

// On Linux a close interrupted by a signal has still released the descriptor.
bool closeFile(int descriptor) { return close(descriptor) == 0 || errno == EINTR; }

// The page that is replaced keeps its permissions; a new page gets 0644 less the umask.
bool fillTemporary(const TemporaryFile& file, const Bytes& content,
                   const std::optional<struct stat>& replaced) {
    if (!writeAll(file.descriptor, content)) return false;
    if (!replaced) return true;
    if (S_ISREG(replaced->st_mode) && fchmod(file.descriptor, replaced->st_mode & 07777) != 0)
        return false;
    return syncToDisk(file.descriptor);
}

std::optional<struct stat> existingEntry(const std::string& path) {
    struct stat status {};
    if (lstat(path.c_str(), &status) != 0) return std::nullopt;
    return status;
}

bool isAllDigits(std::string_view s) {
    return !s.empty() &&
           std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// The writer's process id in a name of our temporaries' pattern, ".<stem>.<pid>-<number>.part".
std::optional<pid_t> temporaryOwner(std::string_view name) {
    constexpr std::string_view suffix = temporarySuffix;
    constexpr std::size_t kMaxPidDigits = 9;
    if (name.size() <= suffix.size() || name[0] != '.' || !name.ends_with(suffix))
        return std::nullopt;
    name.remove_suffix(suffix.size());
    const std::size_t dash = name.rfind('-');
    if (dash == std::string_view::npos) return std::nullopt;
    const std::size_t dot = name.rfind('.', dash);
    if (dot == std::string_view::npos || dot == 0) return std::nullopt;
    const std::string_view pid = name.substr(dot + 1, dash - dot - 1);
    if (!isAllDigits(pid) || pid.size() > kMaxPidDigits || !isAllDigits(name.substr(dash + 1)))
        return std::nullopt;
    return static_cast<pid_t>(std::stol(std::string(pid)));
}

bool isRunning(pid_t pid) { return pid == getpid() || kill(pid, 0) == 0 || errno != ESRCH; }

// Removes the regular files of our temporaries' pattern whose writer is gone. A writer that may
// still run (or whose state cannot be told) keeps its file.
void removeStaleTemporaries(const std::string& directory) {
    const std::string path = directory.empty() ? "." : directory;
    DIR* entries = opendir(path.c_str());
    if (entries == nullptr) return;
    while (const dirent* entry = readdir(entries)) {
        const std::optional<pid_t> owner = temporaryOwner(entry->d_name);
        if (!owner || *owner <= 0 || isRunning(*owner)) continue;
        struct stat status {};
        if (fstatat(dirfd(entries), entry->d_name, &status, AT_SYMLINK_NOFOLLOW) == 0 &&
            S_ISREG(status.st_mode))
            unlinkat(dirfd(entries), entry->d_name, 0);
    }
    closedir(entries);
}

// Once per directory and run: a download of hundreds of pages reads its directory once.
void removeStaleTemporariesOnce(const std::string& directory) {
    static std::set<std::string> swept;
    if (swept.insert(directory).second) removeStaleTemporaries(directory);
}

bool replaceWithContent(const std::string& path, const Target& target, const Bytes& content) {
    std::optional<TemporaryFile> file = createTemporary(target);
    if (!file) return false;
    const bool filled = fillTemporary(*file, content, existingEntry(path));
    const bool closed = closeFile(file->descriptor);
    if (filled && closed && rename(file->path.c_str(), path.c_str()) == 0) return true;
    unlink(file->path.c_str());
    return false;
}

}  // namespace

bool writeFile(const Text& name, const Bytes& content) {
    if (name.empty()) return false;
    const std::optional<std::string> path = gbkToUtf8(name);
    if (!path || path->find('\0') != std::string::npos) return false;
    const std::optional<Target> target = splitTarget(*path);
    if (!target) return false;
    removeStaleTemporariesOnce(target->directory);
    return replaceWithContent(*path, *target, content);
}
