#pragma once

#include <QString>

#include <functional>

// Keeps the computer from sleeping while a competition runs: a closed lid must
// not stop the clock under athletes on the course. A sleep block alone does
// not hold a closing lid (the login manager ignores it there by default), so
// the lid switch is blocked too.
class SleepInhibitor {
public:
    // `sleepBlocked`: only the lid switch's block was refused; sleep is blocked.
    using FailureFn = std::function<void(const QString& reason, bool sleepBlocked)>;
    virtual ~SleepInhibitor() = default;
    // Asks for the block; when nobody can grant it (or only the sleep part),
    // `onFailure` is called (now or later, on this thread) with the reason.
    // Nothing when already held or asked.
    virtual void hold(FailureFn onFailure) = 0;
    // Gives the block up; a pending answer is dropped and `onFailure` not called.
    virtual void release() = 0;
    virtual bool held() const = 0;
};
