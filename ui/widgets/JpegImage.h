#pragma once

#include <QImage>
#include <QString>

// Decodes a baseline or progressive JPEG file with libjpeg. A missing or broken
// file gives a null image (the caller then draws a plain background).
QImage ReadJpegImage(const QString& fileName);
