#pragma once

#include <QImage>
#include <QSize>
#include <QWidget>
#include <memory>

#include "services/types.h"

class QBuffer;
class QMovie;

// 图片框1: keeps one image as the exact bytes written and shows it stretched to the box.
// The bytes are decoded when the box is next painted, so a run of writes decodes only the last.
// It declares no signals or slots of its own, so it needs no meta-object of its own either.
class PictureBox : public QWidget {
  public:
    explicit PictureBox(QWidget* parent = nullptr);
    ~PictureBox() override;

    void setPicture(Bytes bytes);
    const Bytes& picture() const { return bytes_; }

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    void dropShownPicture();
    void decodeForSize(QSize devicePixels);
    void startAnimation();

    Bytes bytes_;
    QSize decodedFor_;  // device pixel size the shown picture was made for; invalid when none
    QImage shown_;      // the still picture, already scaled to the box
    // A GIF with several frames: the movie reads from its own copy of the bytes.
    std::unique_ptr<QBuffer> movieData_;
    std::unique_ptr<QMovie> movie_;
};
