#pragma once

#include <QString>
#include <QStringView>

// A grid cell holds one line of text: the grid files separate cells by TAB and rows
// by CR LF, so a CR, LF or TAB inside a cell would split its row when read back.
// Each of them becomes a blank.
QString SingleLineCellText(QStringView text);
bool HasCellBreak(QStringView text);
