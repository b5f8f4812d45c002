#pragma once

#include <QImage>

// The small pictures the grid draws, painted in code once and kept: the sort
// indicators UP and DOWN (8 x 7) and the cell editor marks CHECKED, UNCHECKED,
// COMBOBOX and ELLIPSIS (16 x 16). QImage, so they may outlive the application.
namespace GridPictures {
const QImage& Up();
const QImage& Down();
const QImage& Checked();
const QImage& Unchecked();
const QImage& ComboBox();
const QImage& Ellipsis();
} // namespace GridPictures
