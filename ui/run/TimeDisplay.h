#pragma once

#include "ui/settings/SettingsEditor.h"

#include "core/base/TimeText.h"
#include "core/platform/Clock.h"
#include "ui/run/RunDisplay.h"
#include "ui/run/TimePanel.h"

#include <QColor>
#include <QObject>

class QLabel;
class QTimer;
struct TSettings;

// Drives the seven-segment display: the running clock in the upper row, the
// last relevant time in the lower row, leading zeros dimmed, plus the small
// date and clock of the top bar.
//
// Colours exist twice: the values the program sets (SetStartColors,
// SetLowerLit) and the set the digits use, which the values only become by
// RepaintWithColorSet. That is why START in individual start changes nothing
// on screen until the next repaint point.
class TimeDisplay : public QObject, public RunDisplay {
    Q_OBJECT
public:
    TimeDisplay(TimePanelControls controls, QLabel* PanelDate, QLabel* PanelTime, Clock& clock,
                const TSettings& settings, QObject* parent = nullptr);
    ~TimeDisplay() override;

    const TimePanelControls& Controls() const { return m_c; }

    // Colour values (not necessarily on screen yet).
    QColor Background() const { return m_background; }
    QColor UpperLit() const { return m_upperLit; }
    QColor LowerLit() const { return m_lowerLit; }
    void SetBackground(const QColor& color);
    void SetUpperLit(const QColor& color);
    void SetDim(const QColor& color);
    void SetLowerLit(const QColor& color) override;
    // Reads C1..C4 again, after the settings dialog changed them.
    void LoadColorsFromSettings();
    // Colour values chosen here go to the settings through `writer`.
    void SetSettingsWriter(SettingsEditor& editor) { m_write = &editor; }
    // After a settings change: stored colours that differ from the values here are
    // taken over and shown; a new fraction-digit setting is applied.
    void ApplySettings(const TSettings& before);
    // START: dark grey dim, lime upper, yellow lower; values only.
    void SetStartColors() override;
    // Takes the colour values over into the digits and labels.
    void RepaintWithColorSet() override;

    void ShowUpper(TimeValue value) override;
    void ShowLower(TimeValue value) override;
    TimeValue UpperValue() const { return m_upperValue; }
    TimeValue LowerValue() const { return m_lowerValue; }

    // 2, 1 or 0 digits after the comma.
    void ApplyFractionDigits(int digits);

    // Countdown period > 0: blue lower row with the full period, upper row 0.
    void TimerPreset(int periodSeconds);

    // The 10 ms clock runs from the first START to ENDE.
    void StartClock(Tick runStart) override;
    void StopClock() override;
    bool ClockRunning() const override;

    QTimer* ClockTimerObject() const { return m_clockTimer; }

public slots:
    void ClockTimer();
    void TimerDateTimer();

private:
    struct Applied {
        QColor background;
        QColor upperLit;
        QColor dim;
        QColor lowerLit;
    };

    void StoreColors();
    void ShowRow(bool upper, TimeValue value);
    void PaintDigit(TDigit* digit, int value, bool lit, const QColor& litColor);
    void PaintLabel(QLabel* label, const QColor& color);

    TimePanelControls m_c;
    QLabel* m_panelDate = nullptr;
    QLabel* m_panelTime = nullptr;
    Clock& m_clock;
    const TSettings& m_settings;
    SettingsEditor* m_write = nullptr;
    QColor m_background;
    QColor m_upperLit;
    QColor m_dim;
    QColor m_lowerLit;
    Applied m_applied;
    TimeValue m_upperValue = 0;
    TimeValue m_lowerValue = 0;
    Tick m_runStart = 0;
    QTimer* m_clockTimer = nullptr;
    QTimer* m_dateTimer = nullptr;
};
