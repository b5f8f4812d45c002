#pragma once

#include <QString>
#include <QStringList>

class SortGridData;

// "zweimal", "dreimal", ... "12-mal": how often a start number occurs.
QString TimesText(int count);

// One line per start number that more than one protocol row carries, in the order of
// their first rows: "Startnummer 21 kommt zweimal vor".
QStringList DuplicateNumberTexts(const SortGridData& protocol);
