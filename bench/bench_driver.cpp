// Measures the program's own code paths for scripts/bench, on Qt's offscreen platform:
//
//   bench_driver download COUNT         times one onDownloadClicked() of pages 1..COUNT
//   bench_driver show FILE REPETITIONS  times picture(box, bytes) up to the painted box
//   bench_driver memory COUNT           resident memory while onDownloadClicked() runs
//
// Downloads go to the working directory through http_proxy, as the real program's would.
// Every result is one "key value" line on standard output, times in milliseconds.
#include <sys/stat.h>

#include <QApplication>
#include <QImage>
#include <QPixmap>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "addressing/page_address.h"
#include "app/jpeg_decoder.h"
#include "app/main_window.h"
#include "app/window_operations.h"
#include "commands/page_commands.h"
#include "services/gbk.h"
#include "services/run_directory.h"
#include "services/text.h"

namespace {

using Clock = std::chrono::steady_clock;

double millisecondsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t middle = values.size() / 2;
    return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

// 语文 人教版 三年级 下册, the book the tests download too.
void pickBook(MainWindow& window, int pageCount) {
    window.组合框4->setCurrentIndex(0);
    window.组合框3->setCurrentIndex(1);
    window.组合框1->setCurrentIndex(2);
    window.组合框2->setCurrentIndex(1);
    text(*window.编辑框1, toText(pageCount));
}

// A field of /proc/self/status in kiB, such as VmRSS or VmHWM; -1 when absent.
long statusKib(const char* field) {
    std::ifstream status("/proc/self/status");
    const std::string prefix = std::string(field) + ":";
    for (std::string line; std::getline(status, line);) {
        if (line.rfind(prefix, 0) == 0)
            return std::strtol(line.c_str() + prefix.size(), nullptr, 10);
    }
    return -1;
}

bool exists(const std::string& path) {
    struct stat status {};
    return stat(path.c_str(), &status) == 0;
}

std::string savedPath(int page) {
    return gbkToUtf8(savedFileName(runDirectory(), readSelection(), page)).value_or("");
}

int download(int pageCount) {
    MainWindow window;
    pickBook(window, pageCount);
    const Clock::time_point start = Clock::now();
    onDownloadClicked();
    std::printf("download_ms %.3f\n", millisecondsSince(start));
    return exists(savedPath(pageCount)) ? 0 : 1;
}

// Samples VmRSS until stopped, and once more the moment the saved file of each page in `files`
// appears, that is right after the download loop has written that page.
struct RssSampler {
    std::vector<std::string> files;
    std::vector<long> rssAtMark;
    std::atomic<bool> stop{false};
    long maxRss = 0;

    void run() {
        std::size_t next = 0;
        while (!stop.load()) {
            const long rss = statusKib("VmRSS");
            maxRss = std::max(maxRss, rss);
            if (next < files.size() && exists(files[next])) {
                rssAtMark[next++] = rss;
                continue;
            }
            std::this_thread::sleep_for(std::chrono::microseconds(500));
        }
    }
};

int memory(int pageCount) {
    MainWindow window;
    pickBook(window, pageCount);
    RssSampler sampler;
    sampler.files.push_back(savedPath(50));
    sampler.rssAtMark.assign(sampler.files.size(), -1);
    const long before = statusKib("VmRSS");
    std::thread thread([&sampler] { sampler.run(); });
    onDownloadClicked();
    const long last = statusKib("VmRSS");
    sampler.stop = true;
    thread.join();
    std::printf("rss_before_kib %ld\nrss_page50_kib %ld\nrss_last_kib %ld\n", before,
                sampler.rssAtMark[0], last);
    std::printf("rss_max_sampled_kib %ld\nhwm_kib %ld\n", sampler.maxRss, statusKib("VmHWM"));
    return sampler.rssAtMark[0] > 0 && exists(savedPath(pageCount)) ? 0 : 1;
}

Bytes readBytes(const char* path) {
    std::ifstream file(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(file), {});
}

// From the bytes' arrival to the pixels of the painted box: the write, then a paint of the box
// into a pixmap, which decodes and stretches the picture. The box is emptied in between so
// that no cached picture is reused.
int show(const char* path, int repetitions) {
    const Bytes bytes = readBytes(path);
    MainWindow window;
    PictureBox& box = *window.图片框1;
    std::vector<double> shown, fullDecode;
    for (int i = 0; i < repetitions; ++i) {
        picture(box, Bytes{});
        const Clock::time_point start = Clock::now();
        picture(box, bytes);
        const QPixmap painted = box.grab();
        shown.push_back(millisecondsSince(start));
        if (painted.size() != box.size()) return 1;
        const Clock::time_point decodeStart = Clock::now();
        const QImage full = decodeJpeg(bytes, QSize());
        fullDecode.push_back(millisecondsSince(decodeStart));
        if (full.isNull()) return 1;
    }
    std::printf("show_ms %.3f\nfull_decode_ms %.3f\n", median(shown), median(fullDecode));
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fputs("usage: bench_driver download|memory COUNT | show FILE REPETITIONS\n", stderr);
        return 2;
    }
    static char platform[] = "-platform";
    static char offscreen[] = "offscreen";
    int qtArgc = 3;
    char* qtArgv[] = {argv[0], platform, offscreen, nullptr};
    QApplication application(qtArgc, qtArgv);
    const std::string mode = argv[1];
    if (mode == "download") return download(std::atoi(argv[2]));
    if (mode == "memory") return memory(std::atoi(argv[2]));
    if (mode == "show" && argc >= 4) return show(argv[2], std::atoi(argv[3]));
    return 2;
}
