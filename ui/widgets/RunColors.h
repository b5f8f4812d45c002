#pragma once

#include <QApplication>
#include <QColor>
#include <QPalette>

// Colours that show the state of the run on the command buttons and number boxes.
namespace RunColors {
inline const QColor Green(0, 128, 0);    // START available
inline const QColor Yellow(255, 255, 0); // FINISH available; a known start number
inline const QColor Red(255, 0, 0);      // ENDE; an unknown start number; rows without number
inline const QColor Blue(72, 116, 217);  // TIMER, countdown
inline QColor ButtonFace() {
    return QApplication::palette().color(QPalette::Button);
}
} // namespace RunColors
