#include "app/picture_box.h"

#include <QBuffer>
#include <QMovie>
#include <QPainter>
#include <utility>

#include "app/picture_decoder.h"
#include "app/picture_format.h"
#include "app/qt_image_decoder.h"

namespace {

// Stretches the picture to exactly `size`, aspect ratio not kept, in a format that is drawn
// without further conversion.
QImage stretchedTo(const QImage& picture, QSize size) {
    if (picture.isNull()) return {};
    const QImage::Format drawable =
        picture.hasAlphaChannel() ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32;
    return picture.convertToFormat(drawable).scaled(size, Qt::IgnoreAspectRatio,
                                                    Qt::SmoothTransformation);
}

}  // namespace

PictureBox::PictureBox(QWidget* parent) : QWidget(parent) {
    setFocusPolicy(Qt::NoFocus);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

PictureBox::~PictureBox() = default;

void PictureBox::setPicture(Bytes bytes) {
    bytes_ = std::move(bytes);
    dropShownPicture();
    update();
}

void PictureBox::dropShownPicture() {
    movie_.reset();
    movieData_.reset();
    shown_ = QImage();
    decodedFor_ = QSize();
}

void PictureBox::decodeForSize(QSize devicePixels) {
    dropShownPicture();
    decodedFor_ = devicePixels;
    if (sniffPictureFormat(bytes_) == PictureFormat::Gif && isAnimatedGif(bytes_)) {
        startAnimation();
        return;
    }
    shown_ = stretchedTo(decodePicture(bytes_, devicePixels), devicePixels);
    shown_.setDevicePixelRatio(devicePixelRatioF());
}

void PictureBox::startAnimation() {
    movieData_ = std::make_unique<QBuffer>();
    movieData_->setData(reinterpret_cast<const char*>(bytes_.data()),
                        static_cast<qsizetype>(bytes_.size()));
    movieData_->open(QIODevice::ReadOnly);
    movie_ = std::make_unique<QMovie>(movieData_.get(), "gif");
    connect(movie_.get(), &QMovie::frameChanged, this, qOverload<>(&QWidget::update));
    movie_->start();
}

void PictureBox::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), palette().window());
    if (bytes_.empty() || size().isEmpty()) return;
    const QSize devicePixels = size() * devicePixelRatioF();
    if (decodedFor_ != devicePixels) decodeForSize(devicePixels);
    if (movie_) {
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawImage(rect(), movie_->currentImage());
    } else if (!shown_.isNull()) {
        painter.drawImage(QPointF(0, 0), shown_);
    }
}
