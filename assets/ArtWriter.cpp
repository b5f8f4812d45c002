// Writes the program's pictures next to the program:
//   ArtWriter <output folder>
// Image1.jpg (the frame of the time display) and Image2.jpg (the finish heading)
// as JPEG files, which the program decodes with libjpeg, and kadenzor.png, the
// desktop icon. The drawings themselves are widgets/Artwork.cpp.
#include "ui/widgets/Artwork.h"

#include <QImage>
#include <QString>

#include <cstdio>
#include <vector>

#include <jpeglib.h>

namespace {

bool WriteJpeg(const QImage& picture, const QString& fileName) {
    const QImage image = picture.convertToFormat(QImage::Format_RGB888);
    FILE* out = std::fopen(fileName.toLocal8Bit().constData(), "wb");
    if (!out)
        return false;
    jpeg_compress_struct info{};
    jpeg_error_mgr errors{};
    info.err = jpeg_std_error(&errors); // a failure ends this build tool, which is what we want
    jpeg_create_compress(&info);
    jpeg_stdio_dest(&info, out);
    info.image_width = static_cast<JDIMENSION>(image.width());
    info.image_height = static_cast<JDIMENSION>(image.height());
    info.input_components = 3;
    info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, 90, TRUE);
    jpeg_start_compress(&info, TRUE);
    while (info.next_scanline < info.image_height) {
        auto* row = const_cast<JSAMPROW>(image.constScanLine(static_cast<int>(info.next_scanline)));
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    return std::fclose(out) == 0;
}

} // namespace

int main(int argc, char* argv[]) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: ArtWriter <output folder>\n");
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]) + QLatin1Char('/');
    bool ok = WriteJpeg(Artwork::DisplaySurround(QSize(525, 283)), folder + QStringLiteral("Image1.jpg"));
    ok = WriteJpeg(Artwork::FinishHeading(QSize(174, 39)), folder + QStringLiteral("Image2.jpg")) && ok;
    ok = Artwork::AppIcon(128).save(folder + QStringLiteral("kadenzor.png"), "PNG") && ok;
    if (!ok)
        std::fprintf(stderr, "ArtWriter: could not write the pictures to %s\n", argv[1]);
    return ok ? 0 : 1;
}
