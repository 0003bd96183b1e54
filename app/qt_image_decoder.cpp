#include "app/qt_image_decoder.h"

#include <QBuffer>
#include <QByteArray>
#include <QImageReader>

#include "app/picture_completeness.h"
#include "app/picture_limits.h"

namespace {

// Qt's readers refuse on their own to allocate more than this many megabytes for one image;
// set to the picture box's limit so that both agree.
constexpr int kAllocationLimitMegabytes = static_cast<int>(kMaxPictureBytes / (1024 * 1024));

QByteArray viewOf(const Bytes& bytes) {
    return QByteArray::fromRawData(reinterpret_cast<const char*>(bytes.data()),
                                   static_cast<qsizetype>(bytes.size()));
}

bool announcesFittingSize(const QImageReader& reader) {
    const QSize size = reader.size();
    return size.isValid() && fitsPictureLimit(size.width(), size.height());
}

QImage readCurrentImage(QImageReader& reader) {
    QImage image;
    if (!announcesFittingSize(reader) || !reader.read(&image)) return {};
    return image;
}

// Directory entries announce their sizes; the first of the largest is chosen.
int largestImageIndex(QImageReader& reader) {
    int largest = 0;
    qint64 largestArea = -1;
    for (int i = 0; i < reader.imageCount() && reader.jumpToImage(i); ++i) {
        const QSize size = reader.size();
        const qint64 area = qint64{size.width()} * size.height();
        if (area > largestArea) {
            largest = i;
            largestArea = area;
        }
    }
    return largest;
}

// Reads one image of the data: the first, or the largest when the data holds a choice.
QImage readWithQt(const Bytes& bytes, const char* format, bool largest) {
    QByteArray data = viewOf(bytes);
    QBuffer buffer(&data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader::setAllocationLimit(kAllocationLimitMegabytes);
    QImageReader reader(&buffer, format);
    if (largest && !reader.jumpToImage(largestImageIndex(reader))) return {};
    return readCurrentImage(reader);
}

int gifFrameCount(const Bytes& bytes) {
    QByteArray data = viewOf(bytes);
    QBuffer buffer(&data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, "gif");
    return announcesFittingSize(reader) ? reader.imageCount() : 0;
}

}  // namespace

QImage decodeBmp(const Bytes& bytes) {
    if (!isCompleteBmp(bytes)) return {};
    return readWithQt(bytes, "bmp", false);
}

QImage decodeGif(const Bytes& bytes) {
    if (!isCompleteGif(bytes)) return {};
    return readWithQt(bytes, "gif", false);
}

QImage decodeIcon(const Bytes& bytes) {
    if (!isCompleteIconDirectory(bytes)) return {};
    return readWithQt(bytes, "ico", true);
}

bool isAnimatedGif(const Bytes& bytes) { return isCompleteGif(bytes) && gifFrameCount(bytes) > 1; }
