#include "app/picture_box.h"

#include <QPainter>

PictureBox::PictureBox(QWidget* parent) : QWidget(parent) {}

void PictureBox::setPicture(const Bytes& bytes) {
    bytes_ = bytes;
    update();
}

void PictureBox::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), palette().window());
}
