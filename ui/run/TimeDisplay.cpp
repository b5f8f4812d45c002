#include "ui/run/TimeDisplay.h"

#include "core/settings/TSettings.h"
#include "ui/widgets/TDigit.h"

#include <QLocale>
#include <QPalette>
#include <QTimer>
#include <algorithm>

namespace {

const QColor kDarkGrey(64, 64, 64);
const QColor kLime(0, 255, 0);
const QColor kYellow(255, 255, 0);
const QColor kTimerBlue(72, 116, 217);

// Stored colours are 0x00BBGGRR.
QColor FromStored(quint32 v) {
    return QColor(int(v & 0xFF), int((v >> 8) & 0xFF), int((v >> 16) & 0xFF));
}
quint32 ToStored(const QColor& c) {
    return quint32(c.red()) | quint32(c.green()) << 8 | quint32(c.blue()) << 16;
}

struct Fields {
    int h = 0; // hours modulo 100
    int m = 0;
    int s = 0;
    int c = 0; // hundredths
};

// Hundredths are truncated, never rounded; hours wrap at 100.
Fields Split(TimeValue value) {
    const qint64 hundredths = value < 0 ? 0 : value / 10;
    Fields f;
    f.c = int(hundredths % 100);
    f.s = int(hundredths / 100 % 60);
    f.m = int(hundredths / 6000 % 60);
    f.h = int(hundredths / 360000 % 100);
    return f;
}

// The locale's short date with a four-digit year ("20.03.2011"): the two-digit
// years of the current locale data are too easily misread on a results board.
QString DateFormat(const QLocale& locale) {
    QString f = locale.dateFormat(QLocale::ShortFormat);
    if (!f.contains(QLatin1String("yyyy")))
        f.replace(QLatin1String("yy"), QLatin1String("yyyy"));
    return f;
}

// The locale's long time without the time-zone name, so it fits the top bar.
QString TimeFormat(const QLocale& locale) {
    const QString f = locale.timeFormat(QLocale::LongFormat);
    QString out;
    bool quoted = false;
    for (const QChar ch : f) {
        if (ch == QLatin1Char('\''))
            quoted = !quoted;
        if (!quoted && ch == QLatin1Char('t'))
            continue;
        out += ch;
    }
    return out.trimmed();
}

} // namespace

TimeDisplay::TimeDisplay(TimePanelControls controls, QLabel* PanelDate, QLabel* PanelTime, Clock& clock,
                         const TSettings& settings, QObject* parent)
    : QObject(parent), m_c(controls), m_panelDate(PanelDate), m_panelTime(PanelTime), m_clock(clock),
      m_settings(settings) {
    m_background = FromStored(m_settings.C1);
    m_upperLit = FromStored(m_settings.C2);
    m_dim = FromStored(m_settings.C3);
    m_lowerLit = FromStored(m_settings.C4);
    m_applied = {m_background, m_upperLit, m_dim, m_lowerLit};

    m_clockTimer = new QTimer(this);
    m_clockTimer->setObjectName(QStringLiteral("Clock"));
    m_clockTimer->setInterval(10);
    m_clockTimer->setTimerType(Qt::PreciseTimer);
    connect(m_clockTimer, &QTimer::timeout, this, &TimeDisplay::ClockTimer);

    m_dateTimer = new QTimer(this);
    m_dateTimer->setObjectName(QStringLiteral("TimerDate"));
    m_dateTimer->setInterval(500);
    connect(m_dateTimer, &QTimer::timeout, this, &TimeDisplay::TimerDateTimer);
    m_dateTimer->start();
    TimerDateTimer();

    // Program start: the stored colours on screen, both rows 0.
    ApplyFractionDigits(m_settings.Acc);
    RepaintWithColorSet();
}

TimeDisplay::~TimeDisplay() = default;

void TimeDisplay::StoreColors() {
    if (!m_write)
        return;
    const quint32 c1 = ToStored(m_background), c2 = ToStored(m_upperLit), c3 = ToStored(m_dim),
                  c4 = ToStored(m_lowerLit);
    m_write->Edit([=](TSettings& s) {
        s.C1 = c1;
        s.C2 = c2;
        s.C3 = c3;
        s.C4 = c4;
    });
}

void TimeDisplay::ApplySettings(const TSettings& before) {
    const bool colorsDiffer = FromStored(m_settings.C1) != m_background || FromStored(m_settings.C2) != m_upperLit ||
                              FromStored(m_settings.C3) != m_dim || FromStored(m_settings.C4) != m_lowerLit;
    if (colorsDiffer) {
        LoadColorsFromSettings();
        RepaintWithColorSet();
    }
    if (m_settings.Acc != before.Acc)
        ApplyFractionDigits(m_settings.Acc);
}

void TimeDisplay::SetBackground(const QColor& color) {
    m_background = color;
    StoreColors();
}

void TimeDisplay::SetUpperLit(const QColor& color) {
    m_upperLit = color;
    StoreColors();
}

void TimeDisplay::SetDim(const QColor& color) {
    m_dim = color;
    StoreColors();
}

void TimeDisplay::SetLowerLit(const QColor& color) {
    m_lowerLit = color;
    StoreColors();
}

void TimeDisplay::LoadColorsFromSettings() {
    m_background = FromStored(m_settings.C1);
    m_upperLit = FromStored(m_settings.C2);
    m_dim = FromStored(m_settings.C3);
    m_lowerLit = FromStored(m_settings.C4);
}

void TimeDisplay::SetStartColors() {
    m_dim = kDarkGrey;
    m_upperLit = kLime;
    m_lowerLit = kYellow;
    StoreColors();
}

void TimeDisplay::RepaintWithColorSet() {
    m_applied = {m_background, m_upperLit, m_dim, m_lowerLit};
    QPalette pal = m_c.PanelTimer->palette();
    if (pal.color(QPalette::Window) != m_applied.background || pal.color(QPalette::WindowText) != m_applied.upperLit) {
        pal.setColor(QPalette::Window, m_applied.background);
        pal.setColor(QPalette::WindowText, m_applied.upperLit);
        m_c.PanelTimer->setPalette(pal);
    }
    for (auto* row : {&m_c.Upper, &m_c.Lower}) {
        for (TDigit* d : *row) {
            d->SetColor(m_applied.background);
            d->SetColorOff(m_applied.background);
            d->SetColorOn(m_applied.upperLit);
        }
    }
    for (QLabel* l : {m_c.LabHour, m_c.LabMin, m_c.LabSec, m_c.LabHour2, m_c.LabMin2, m_c.LabSec2, m_c.Lab_Hour,
                      m_c.Lab_Min, m_c.Lab_sek, m_c.Lab_100})
        PaintLabel(l, m_applied.upperLit);
    // Show the values again at once, so no row is ever left in the plain lit colour.
    ShowRow(true, m_upperValue);
    ShowRow(false, m_lowerValue);
}

void TimeDisplay::ShowUpper(TimeValue value) {
    ShowRow(true, value);
}

void TimeDisplay::ShowLower(TimeValue value) {
    ShowRow(false, value);
}

void TimeDisplay::ShowRow(bool upper, TimeValue value) {
    (upper ? m_upperValue : m_lowerValue) = value;
    const Fields f = Split(value);
    const std::array<TDigit*, 8>& d = upper ? m_c.Upper : m_c.Lower;
    const QColor& lit = upper ? m_applied.upperLit : m_applied.lowerLit;

    const bool hoursTens = f.h > 9;
    const bool hoursUnits = f.h > 0;
    const bool minutesTens = f.h + f.m / 10 > 0;
    const bool minutesUnits = f.h + f.m > 0;
    const bool secondsTens = f.h + f.m + f.s / 10 > 0;
    // The upper row always lights "0,00"; the lower row showing 0 is entirely dim.
    const bool secondsUnits = upper || f.h + f.m + f.s + f.c > 0;

    PaintDigit(d[0], f.h / 10, hoursTens, lit);
    PaintDigit(d[1], f.h % 10, hoursUnits, lit);
    PaintDigit(d[2], f.m / 10, minutesTens, lit);
    PaintDigit(d[3], f.m % 10, minutesUnits, lit);
    PaintDigit(d[4], f.s / 10, secondsTens, lit);
    PaintDigit(d[5], f.s % 10, secondsUnits, lit);
    PaintDigit(d[6], f.c / 10, secondsUnits, lit);
    PaintDigit(d[7], f.c % 10, secondsUnits, lit);

    const QColor hoursColor = hoursUnits ? lit : m_applied.dim;
    const QColor minutesColor = minutesUnits ? lit : m_applied.dim;
    if (upper) {
        PaintLabel(m_c.LabHour, hoursColor);
        PaintLabel(m_c.Lab_Hour, hoursColor);
        PaintLabel(m_c.LabMin, minutesColor);
        PaintLabel(m_c.Lab_Min, minutesColor);
    } else {
        PaintLabel(m_c.LabHour2, hoursColor);
        PaintLabel(m_c.LabMin2, minutesColor);
        PaintLabel(m_c.LabSec2, secondsUnits ? lit : m_applied.dim);
    }
}

void TimeDisplay::PaintDigit(TDigit* digit, int value, bool lit, const QColor& litColor) {
    digit->SetValue(value);
    digit->SetColorOn(lit ? litColor : m_applied.dim);
    digit->SetColorOff(m_applied.background);
    digit->SetColor(m_applied.background);
}

// Compares first: a palette change repaints the label even when nothing differs.
void TimeDisplay::PaintLabel(QLabel* label, const QColor& color) {
    if (label->palette().color(QPalette::WindowText) == color)
        return;
    QPalette pal = label->palette();
    pal.setColor(QPalette::WindowText, color);
    label->setPalette(pal);
}

void TimeDisplay::ApplyFractionDigits(int digits) {
    const int d = std::clamp(digits, 0, 2);
    m_c.Upper[7]->setVisible(d == 2);
    m_c.Lower[7]->setVisible(d == 2);
    m_c.Upper[6]->setVisible(d >= 1);
    m_c.Lower[6]->setVisible(d >= 1);
    if (d >= 1) {
        m_c.Lab_100->setText(QStringLiteral("1/") + QString::number(90 * d - 80));
        m_c.Lab_100->adjustSize();
    }
    m_c.Lab_100->move(20 * d + 326, m_c.Lab_100->y());
    m_c.Lab_100->setVisible(d >= 1);
    m_c.LabSec->setVisible(d >= 1);
    m_c.LabSec2->setVisible(d >= 1);
}

void TimeDisplay::TimerPreset(int periodSeconds) {
    if (periodSeconds <= 0)
        return;
    SetLowerLit(kTimerBlue);
    RepaintWithColorSet();
    ShowLower(periodSeconds * 1000);
    SetDim(kDarkGrey);
    ShowUpper(0);
}

void TimeDisplay::StartClock(Tick runStart) {
    m_runStart = runStart;
    m_clockTimer->start();
}

void TimeDisplay::StopClock() {
    m_clockTimer->stop();
}

bool TimeDisplay::ClockRunning() const {
    return m_clockTimer->isActive();
}

void TimeDisplay::ClockTimer() {
    // Before the first START (and after ENDE) the upper row keeps its 0.
    if (!ClockRunning())
        return;
    switch (m_settings.FormatZeit) {
    case 0:
        ShowUpper(m_clock.now().time().msecsSinceStartOfDay());
        break;
    case 1:
        ShowUpper(TickDiff(m_clock.tick(), m_runStart));
        break;
    default:
        break;
    }
}

void TimeDisplay::TimerDateTimer() {
    const QLocale locale;
    const QDateTime now = m_clock.now();
    if (m_panelDate)
        m_panelDate->setText(locale.toString(now.date(), DateFormat(locale)));
    if (m_panelTime)
        m_panelTime->setText(locale.toString(now.time(), TimeFormat(locale)));
}
