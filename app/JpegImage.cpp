#include "JpegImage.h"

#include <csetjmp>
#include <cstdio>

#include <jpeglib.h>

namespace {

struct ErrorManager {
    jpeg_error_mgr pub;
    std::jmp_buf jump;
};

// libjpeg must not return from error_exit: jump back to the decoder.
void onError(j_common_ptr cinfo)
{
    std::longjmp(reinterpret_cast<ErrorManager *>(cinfo->err)->jump, 1);
}

void onMessage(j_common_ptr) {}

// Everything that must survive the longjmp lives outside the setjmp frame.
bool decodeInto(jpeg_decompress_struct &cinfo, ErrorManager &err, const QByteArray &data, QImage &out)
{
    if (setjmp(err.jump))
        return false;
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, reinterpret_cast<const unsigned char *>(data.constData()), (unsigned long)data.size());
    if (jpeg_read_header(&cinfo, TRUE) != JPEG_HEADER_OK)
        return false;
    cinfo.out_color_space = JCS_EXT_RGBX; // 4 bytes a pixel, as QImage::Format_RGBX8888
    jpeg_start_decompress(&cinfo);
    out = QImage(int(cinfo.output_width), int(cinfo.output_height), QImage::Format_RGBX8888);
    if (out.isNull())
        return false;
    while (cinfo.output_scanline < cinfo.output_height) {
        JSAMPROW row = out.scanLine(int(cinfo.output_scanline));
        jpeg_read_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_decompress(&cinfo);
    return true;
}

} // namespace

QImage decodeJpeg(const QByteArray &data)
{
    if (data.isEmpty())
        return {};
    jpeg_decompress_struct cinfo {};
    ErrorManager err {};
    cinfo.err = jpeg_std_error(&err.pub);
    err.pub.error_exit = onError;
    err.pub.output_message = onMessage;
    QImage img;
    const bool ok = decodeInto(cinfo, err, data, img);
    jpeg_destroy_decompress(&cinfo);
    return ok ? img.convertToFormat(QImage::Format_RGB32) : QImage();
}
