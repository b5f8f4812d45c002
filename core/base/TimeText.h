#pragma once

#include <QDateTime>
#include <QString>

// A time value: milliseconds, for elapsed times and times of day alike.
using TimeValue = qint32;

// Trimmed time text of `value` with `fractionDigits` (2, 1 or 0) digits after the comma.
// Hundredths are truncated, never rounded; hours are written modulo 100.
QString TimeToText(TimeValue value, int fractionDigits);

// Reads a time text back; unreadable fields count as 0, an over-long text gives 0.
TimeValue TextToTime(const QString& text, int fractionDigits);

// Removes leading zeros and separators of a full "HH:MM:SS[,f]" text, keeping at
// least the units digit of the seconds.
QString TrimTimeText(const QString& fullText);

// Clock-of-day text " 9:05:03,07": always two fraction digits, a leading blank below 10 h.
QString ClockText(int hour, int minute, int second, int millisecond);
QString ClockText(const QTime& time);

// True when a cell holds a recorded value (neither blank nor exactly "-").
bool HasTimeText(const QString& text);

// "yyyy-mm-dd-hh-mm-ss" of the given local date and time.
QString FileStamp(const QDateTime& now);
