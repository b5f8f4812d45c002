#pragma once

// The comparison styles of the sortable grid as pure functions. Every function
// returns a negative number when a sorts before b, 0 when they are equal and a
// positive number otherwise. Conversions follow the default QLocale (decimal
// separator, date order and separators); a text that does not convert makes
// the comparison fall back to the byte comparison.

#include <QString>

#include <functional>

enum class TSortStyle { ssAutomatic, ssNormal, ssNumeric, ssNumericExtended, ssDateTime, ssTime, ssCustom };

using TSortCompareFunc = std::function<int(const QString&, const QString&)>;

// For ssCustom: an order-preserving integer key that agrees with the compare function on
// every text it accepts (returning true). A sort compares keys where both texts have one
// and calls the compare function otherwise, so the order is the function's own.
using TSortKeyFunc = bool (*)(const QString& text, quint64& key);

// Windows-1252 code of one Unicode code point; '?' for characters outside the code page.
unsigned char Cp1252Byte(char32_t codePoint);

// Lower-cases the letters A to Z only; returns the text itself (shared) when it holds none.
QString LowerAZ(const QString& text);

// Compares the Windows-1252 bytes as unsigned values; a prefix sorts first.
int CompareBytes(const QString& a, const QString& b);

// Number in the locale's format (no group separators); false for empty or unreadable texts.
bool TextToFloat(const QString& text, double& value);
// Date, optionally followed by a time (or a time alone), as milliseconds on one scale.
bool TextToDateTimeMs(const QString& text, double& value);
// Time of day as milliseconds since midnight.
bool TextToTimeMs(const QString& text, double& value);

int CompareNumeric(const QString& a, const QString& b);
int CompareNumericExtended(const QString& a, const QString& b);
int CompareDateTime(const QString& a, const QString& b);
int CompareTime(const QString& a, const QString& b);

// Dispatches on the style; ssCustom without a function compares bytes.
int CompareByStyle(TSortStyle style, const QString& a, const QString& b, const TSortCompareFunc& custom = {});
