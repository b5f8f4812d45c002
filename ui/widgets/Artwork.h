#pragma once

#include <QImage>
#include <QSize>

// The program's own pictures, drawn with QPainter (no fonts needed except for the
// logo). ArtWriter uses the same drawings to write the JPEG files and the icon.
namespace Artwork {

// Speed-button and dialog-button pictures.
enum class Picture {
    OpenList,
    SoundOn,
    SoundOff,
    PlaceCorrection,
    Save,
    Print,
    Word,
    Excel,
    Html,
    Clear,
    Agree,
    Question, // the question dialog's two pictures
    Notice
};

// The brushed frame around the black time display (Image1.jpg).
QImage DisplaySurround(QSize size);
// The heading of the finish table (Image2.jpg).
QImage FinishHeading(QSize size);
// The top bar behind the help, settings and info buttons.
QImage TopBar(QSize size);
// The strip behind the protocol's speed buttons.
QImage ButtonStrip(QSize size);
// A stopwatch: window icon, info box, desktop icon.
QImage AppIcon(int size);
// The info box's logo: stopwatch and product name (uses the Arial font).
QImage Logo(QSize size);
QImage ButtonPicture(Picture which, int size = 24);

} // namespace Artwork
