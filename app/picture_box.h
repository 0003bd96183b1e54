#pragma once

#include <QImage>
#include <QWidget>

#include "services/types.h"

// 图片框1: keeps one image as the exact bytes written and shows it stretched to the box.
class PictureBox : public QWidget {
    Q_OBJECT
public:
    explicit PictureBox(QWidget* parent = nullptr);

    void setPicture(const Bytes& bytes);
    const Bytes& picture() const { return bytes_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    Bytes bytes_;
};
