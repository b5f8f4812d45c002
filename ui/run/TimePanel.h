#pragma once

#include <QLabel>
#include <QWidget>
#include <array>

class TDigit;

// The controls of the big seven-segment display: the black panel, two rows of
// eight digits, the separators of both rows and the unit captions.
struct TimePanelControls {
    QWidget* PanelTimer = nullptr;
    std::array<TDigit*, 8> Upper{}; // Digit1 .. Digit8
    std::array<TDigit*, 8> Lower{}; // Digit12, 13, 15, 16, 18, 19, 21, 22
    QLabel* LabHour = nullptr;
    QLabel* LabMin = nullptr;
    QLabel* LabSec = nullptr;
    QLabel* LabHour2 = nullptr;
    QLabel* LabMin2 = nullptr;
    QLabel* LabSec2 = nullptr;
    QLabel* Lab_Hour = nullptr;
    QLabel* Lab_Min = nullptr;
    QLabel* Lab_sek = nullptr;
    QLabel* Lab_100 = nullptr;
};

// Creates PanelTimer (492 x 240 at 17, 14 of `parent`) with its digits and
// labels at their fixed places. The display does not scale with the window.
TimePanelControls BuildTimePanel(QWidget* parent);
