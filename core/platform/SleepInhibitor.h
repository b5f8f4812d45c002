#pragma once

#include <QString>

#include <functional>

// Keeps the computer from sleeping while a competition runs: a closed lid must
// not stop the clock under athletes on the course.
class SleepInhibitor {
public:
    using FailureFn = std::function<void(const QString& reason)>;
    virtual ~SleepInhibitor() = default;
    // Asks for the block; when nobody can grant it, `onFailure` is called (now
    // or later, on this thread) with the reason. Nothing when already held or asked.
    virtual void hold(FailureFn onFailure) = 0;
    // Gives the block up; a pending answer is dropped and `onFailure` not called.
    virtual void release() = 0;
    virtual bool held() const = 0;
};
