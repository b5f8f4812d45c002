#pragma once

#include "platform/Platform.h"
#include "reports/TSettings.h"

#include <QLabel>
#include <QMainWindow>
#include <array>

class TDigit;

// The main window: creates the controls, the controllers and their wiring.
class TFormMain : public QMainWindow {
    Q_OBJECT
public:
    explicit TFormMain(const Platform& platform, QWidget* parent = nullptr);
    ~TFormMain() override;

    TSettings& Settings() { return m_settings; }

    // The display's digits, upper row (Digit1..Digit8) and lower row (Digit12..Digit22).
    const std::array<TDigit*, 8>& UpperDigits() const { return m_upper; }
    const std::array<TDigit*, 8>& LowerDigits() const { return m_lower; }

private:
    void BuildDisplay(QWidget* owner);

    Platform m_platform;
    TSettings m_settings;
    QWidget* PanelTimer = nullptr;
    std::array<TDigit*, 8> m_upper{};
    std::array<TDigit*, 8> m_lower{};
};
