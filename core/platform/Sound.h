#pragma once

#include <QString>

// Wave files played asynchronously: the tones of START and FINISH, the alarm.
class Sound {
public:
    virtual ~Sound() = default;
    // Starts playing the wave file and returns at once.
    virtual void play(const QString& file) = 0;
    // Loads the wave file without playing it, so that its first play is not late.
    virtual void preload(const QString& file) = 0;
};
