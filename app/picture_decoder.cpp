#include "app/picture_decoder.h"

#include "app/jpeg_decoder.h"
#include "app/pcx_decoder.h"
#include "app/picture_format.h"
#include "app/png_decoder.h"
#include "app/qt_image_decoder.h"

QImage decodePicture(const Bytes& bytes, QSize cover) {
    switch (sniffPictureFormat(bytes)) {
        case PictureFormat::Bmp:
            return decodeBmp(bytes);
        case PictureFormat::Jpeg:
            return decodeJpeg(bytes, cover);
        case PictureFormat::Png:
            return decodePng(bytes);
        case PictureFormat::Icon:
        case PictureFormat::Cursor:
            return decodeIcon(bytes);
        case PictureFormat::Gif:
            return decodeGif(bytes);
        case PictureFormat::Pcx8:
        case PictureFormat::Pcx1:
            return decodePcx(bytes);
        case PictureFormat::NotAnImage:
            break;
    }
    return {};
}
