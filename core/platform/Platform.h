#pragma once

#include <QString>

class Clock;
class Prompts;
class Sound;
class Printers;
class Shell;
class SerialDevices;
class SleepInhibitor;

// The seams between the program and what lies outside it. main.cpp hands in
// the real implementations, tests the fakes of tests/support.
struct Platform {
    Clock* clock = nullptr;
    Prompts* prompts = nullptr;
    Sound* sound = nullptr;
    Printers* printers = nullptr;
    Shell* shell = nullptr;
    SerialDevices* serial = nullptr;
    SleepInhibitor* sleep = nullptr; // none: sleep is not blocked during a competition
    QString programFolder;           // tone files, help page and Word template live here; ends in "/"
    QString workingFolder;           // where "Klassen.txt" is looked for; ends in "/"
    QString settingsFile;            // the settings store; empty: settings are not stored
    QString settingsNotice;          // what was wrong with the store when it was read; shown once
    // Key presses and clicks are timed by the window system's time of the event. Off for
    // events a test makes up: their times follow no clock.
    bool inputEventTimes = false;
};
