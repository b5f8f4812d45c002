#pragma once

#include "core/base/TimeText.h"
#include "core/platform/Clock.h"

#include <QColor>

// What the run control asks of the time display.
class RunDisplay {
public:
    virtual ~RunDisplay() = default;
    virtual void ShowUpper(TimeValue value) = 0;
    virtual void ShowLower(TimeValue value) = 0;
    // START: dimmed dark grey, upper row lime, lower row yellow; shown from the next repaint point.
    virtual void SetStartColors() = 0;
    virtual void SetLowerLit(const QColor& color) = 0;
    virtual void RepaintWithColorSet() = 0;
    virtual void StartClock(Tick runStart) = 0;
    virtual void StopClock() = 0;
    virtual bool ClockRunning() const = 0;
};
