#include "app/jpeg_decoder.h"

#include <algorithm>
#include <csetjmp>
#include <cstdio>
// clang-format off: jpeglib.h needs <cstdio> first.
#include <jerror.h>
#include <jpeglib.h>
// clang-format on

#include "app/picture_limits.h"

namespace {

// Progressive files are decoded scan by scan; a hostile one can hold thousands of scans and
// keep the decoder busy for minutes, while real pictures use about ten.
constexpr int kMaxJpegScans = 1000;

struct JpegErrorManager {
    jpeg_error_mgr base;  // first, so libjpeg's pointer to it leads back to the whole struct
    std::jmp_buf escape;
};

// Everything libjpeg works on, of trivial types only: it outlives the jumps back from errors.
struct JpegSession {
    jpeg_decompress_struct decompressor;
    JpegErrorManager errors;
    jpeg_progress_mgr progress;
};

[[noreturn]] void escapeFromLibjpeg(j_common_ptr common) {
    std::longjmp(reinterpret_cast<JpegErrorManager*>(common->err)->escape, 1);
}

// libjpeg's default error handling prints and exits the process; here an error jumps back to the
// step that was running. Data that runs out, before the end marker or within a scan, is only a
// warning to libjpeg, which pads the picture with grey; here it leaves no picture. Other
// warnings stay silent.
void handleLibjpegMessage(j_common_ptr common, int level) {
    const int code = common->err->msg_code;
    if (level < 0 && (code == JWRN_JPEG_EOF || code == JWRN_HIT_MARKER)) escapeFromLibjpeg(common);
}

void stopAfterTooManyScans(j_common_ptr common) {
    if (reinterpret_cast<j_decompress_ptr>(common)->input_scan_number > kMaxJpegScans) {
        escapeFromLibjpeg(common);
    }
}

void attachHandlers(JpegSession& session) {
    session.decompressor.err = jpeg_std_error(&session.errors.base);
    session.errors.base.error_exit = escapeFromLibjpeg;
    session.errors.base.emit_message = handleLibjpegMessage;
    session.progress.progress_monitor = stopAfterTooManyScans;
}

bool createDecompressor(JpegSession& session) {
    if (setjmp(session.errors.escape)) return false;
    jpeg_create_decompress(&session.decompressor);
    session.decompressor.progress = &session.progress;
    session.decompressor.mem->max_memory_to_use = kMaxPictureBytes;
    return true;
}

bool coversTarget(const jpeg_decompress_struct& decompressor, QSize cover) {
    return decompressor.output_width >= static_cast<unsigned>(cover.width()) &&
           decompressor.output_height >= static_cast<unsigned>(cover.height());
}

// Tries N/8 from 1/8 upwards; when no reduced scale covers the target, the loop ends at 8/8.
void chooseSmallestCoveringScale(j_decompress_ptr decompressor, QSize cover) {
    decompressor->scale_denom = 8;
    for (unsigned eighths = 1; eighths <= 8; ++eighths) {
        decompressor->scale_num = eighths;
        jpeg_calc_output_dimensions(decompressor);
        if (coversTarget(*decompressor, cover)) return;
    }
}

bool readHeaderAndChooseScale(JpegSession& session, const Bytes& bytes, QSize cover) {
    j_decompress_ptr decompressor = &session.decompressor;
    if (setjmp(session.errors.escape)) return false;
    jpeg_mem_src(decompressor, bytes.data(), static_cast<unsigned long>(bytes.size()));
    jpeg_read_header(decompressor, TRUE);
    decompressor->out_color_space = JCS_RGB;
    decompressor->dct_method = JDCT_ISLOW;
    if (!cover.isEmpty()) chooseSmallestCoveringScale(decompressor, cover);
    return true;
}

bool startDecompressing(JpegSession& session) {
    if (setjmp(session.errors.escape)) return false;
    jpeg_start_decompress(&session.decompressor);
    return true;
}

void readRows(j_decompress_ptr decompressor, QImage& image) {
    constexpr int kRowsPerCall = 16;
    JSAMPROW rows[kRowsPerCall];
    while (decompressor->output_scanline < decompressor->output_height) {
        const int first = static_cast<int>(decompressor->output_scanline);
        const int count = std::min(kRowsPerCall, image.height() - first);
        for (int i = 0; i < count; ++i) rows[i] = image.scanLine(first + i);
        jpeg_read_scanlines(decompressor, rows, static_cast<JDIMENSION>(count));
    }
}

bool readRowsAndFinish(JpegSession& session, QImage& image) {
    if (setjmp(session.errors.escape)) return false;
    readRows(&session.decompressor, image);
    jpeg_finish_decompress(&session.decompressor);
    return true;
}

bool isWithinLimit(const jpeg_decompress_struct& decompressor) {
    return fitsPictureLimit(decompressor.image_width, decompressor.image_height);
}

QImage decodeWithSession(JpegSession& session, const Bytes& bytes, QSize cover) {
    if (!readHeaderAndChooseScale(session, bytes, cover)) return {};
    if (!isWithinLimit(session.decompressor) || !startDecompressing(session)) return {};
    const jpeg_decompress_struct& decompressor = session.decompressor;
    if (decompressor.output_components != 3) return {};
    QImage image(static_cast<int>(decompressor.output_width),
                 static_cast<int>(decompressor.output_height), QImage::Format_RGB888);
    if (image.isNull() || !readRowsAndFinish(session, image)) return {};
    return image;
}

}  // namespace

QImage decodeJpeg(const Bytes& bytes, QSize cover) {
    JpegSession session{};
    attachHandlers(session);
    if (!createDecompressor(session)) return {};
    QImage image = decodeWithSession(session, bytes, cover);
    jpeg_destroy_decompress(&session.decompressor);
    return image;
}
