#include "app/TFormMain.h"

#include "widgets/TDigit.h"

#include <QFont>
#include <QVBoxLayout>

namespace {

const QColor kSilver(192, 192, 192);

QLabel* MakeLabel(QWidget* parent, const char* name, const QString& text, const QFont& font, int left, int top) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setFont(font);
    label->adjustSize();
    label->move(left, top);
    return label;
}

} // namespace

TFormMain::TFormMain(const Platform& platform, QWidget* parent) : QMainWindow(parent), m_platform(platform) {
    setObjectName(QStringLiteral("FormMain"));
    setWindowTitle(QStringLiteral("Kadenzor 3.9"));
    setMinimumSize(890, 565);
    resize(m_settings.Width, m_settings.Height);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, kSilver);
    setPalette(pal);
    setAutoFillBackground(true);

    auto* central = new QWidget(this);
    central->setObjectName(QStringLiteral("Panel2"));
    setCentralWidget(central);
    auto* layout = new QVBoxLayout(central);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* owner = new QWidget(central);
    owner->setObjectName(QStringLiteral("PanelTimerOwner"));
    owner->setFixedHeight(m_settings.YY);
    layout->addWidget(owner);
    layout->addStretch(1);
    BuildDisplay(owner);
}

TFormMain::~TFormMain() = default;

void TFormMain::BuildDisplay(QWidget* owner) {
    PanelTimer = new QWidget(owner);
    PanelTimer->setObjectName(QStringLiteral("PanelTimer"));
    PanelTimer->setGeometry(17, 14, 492, 240);
    QPalette pal = PanelTimer->palette();
    pal.setColor(QPalette::Window, Qt::black);
    pal.setColor(QPalette::WindowText, QColor(0, 255, 0));
    PanelTimer->setPalette(pal);
    PanelTimer->setAutoFillBackground(true);

    static constexpr int kLefts[8] = {8, 56, 134, 184, 262, 312, 390, 440};
    static constexpr const char* kUpperNames[8] = {"Digit1", "Digit2", "Digit3", "Digit4",
                                                   "Digit5", "Digit6", "Digit7", "Digit8"};
    static constexpr const char* kLowerNames[8] = {"Digit12", "Digit13", "Digit15", "Digit16",
                                                   "Digit18", "Digit19", "Digit21", "Digit22"};
    for (int i = 0; i < 8; ++i) {
        const int width = (i % 2 == 0) ? 45 : 46;
        for (int row = 0; row < 2; ++row) {
            auto* d = new TDigit(PanelTimer);
            d->setObjectName(QString::fromLatin1(row == 0 ? kUpperNames[i] : kLowerNames[i]));
            d->setGeometry(kLefts[i], row == 0 ? 11 : 136, width, 89);
            d->SetThickness(5);
            d->SetSeparation(1);
            d->SetColor(Qt::black);
            d->SetColorOff(Qt::black);
            d->SetColorOn(row == 0 ? QColor(0, 255, 0) : QColor(255, 255, 0));
            (row == 0 ? m_upper : m_lower)[i] = d;
        }
    }

    QFont separator(QStringLiteral("Times New Roman"));
    separator.setPixelSize(64);
    separator.setBold(true);
    const struct {
        const char* name;
        const char* text;
        int left;
        int top;
    } separators[] = {{"LabHour", ":", 106, 0}, {"LabMin", ":", 232, 0},    {"LabSec", ",", 363, 10},
                      {"LabHour2", ":", 106, 125}, {"LabMin2", ":", 232, 125}, {"LabSec2", ",", 363, 135}};
    for (const auto& s : separators)
        MakeLabel(PanelTimer, s.name, QString::fromLatin1(s.text), separator, s.left, s.top);

    QFont caption(QStringLiteral("Arial"));
    caption.setPixelSize(19);
    caption.setBold(true);
    MakeLabel(PanelTimer, "Lab_Hour", QStringLiteral("Std."), caption, 30, 102);
    MakeLabel(PanelTimer, "Lab_Min", QStringLiteral("Min."), caption, 156, 102);
    MakeLabel(PanelTimer, "Lab_sek", QStringLiteral("Sek."), caption, 284, 102);
    MakeLabel(PanelTimer, "Lab_100", QStringLiteral("1/100"), caption, 366, 102);
}
