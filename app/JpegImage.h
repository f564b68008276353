#pragma once
// JPEG decoding with libjpeg's C API.
#include <QByteArray>
#include <QImage>

// Decodes a JPEG file image; a null QImage when the data is not a readable JPEG.
QImage decodeJpeg(const QByteArray &data);
