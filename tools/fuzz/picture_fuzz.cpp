// The picture box's path for untrusted page data: sniff the format by the leading bytes, decode
// at the box's size and at full size, and play an animated GIF frame by frame as the box does.
// The input is the whole page body.

#include <QBuffer>
#include <QByteArray>
#include <QGuiApplication>
#include <QImage>
#include <QMovie>
#include <QSize>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "app/picture_decoder.h"
#include "app/picture_format.h"
#include "app/picture_limits.h"
#include "app/qt_image_decoder.h"

namespace {

constexpr QSize kBoxSize{328, 408};
// More frames than a fuzz input of bounded length can describe are not worth stepping through.
constexpr int kMaxFramesPlayed = 64;

void require(bool condition) {
    if (!condition) std::abort();
}

void checkDecoded(const QImage& image) {
    if (image.isNull()) return;
    require(fitsPictureLimit(image.width(), image.height()));
    // Touch every row, so a buffer shorter than its dimensions shows up under the sanitizer.
    volatile unsigned sum = 0;
    for (int y = 0; y < image.height(); ++y) sum = sum + image.constScanLine(y)[0];
}

void playMovie(const Bytes& bytes) {
    QByteArray data(reinterpret_cast<const char*>(bytes.data()),
                    static_cast<qsizetype>(bytes.size()));
    QBuffer buffer(&data);
    buffer.open(QIODevice::ReadOnly);
    QMovie movie(&buffer, "gif");
    for (int frame = 0; frame < kMaxFramesPlayed && movie.jumpToNextFrame(); ++frame)
        checkDecoded(movie.currentImage());
}

}  // namespace

// QMovie keeps its frames as pixmaps, which need a GUI application.
extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    static QGuiApplication application(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const Bytes bytes(data, data + size);
    const PictureFormat format = sniffPictureFormat(bytes);
    const QImage boxed = decodePicture(bytes, kBoxSize);
    checkDecoded(boxed);
    if (format == PictureFormat::NotAnImage) require(boxed.isNull());
    if (format == PictureFormat::Jpeg) {
        checkDecoded(decodePicture(bytes, QSize()));
        checkDecoded(decodePicture(bytes, QSize(1, 1)));
    }
    if (format == PictureFormat::Gif && isAnimatedGif(bytes)) playMovie(bytes);
    return 0;
}
