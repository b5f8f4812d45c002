#include "ui/run/TimePanel.h"

#include "ui/widgets/TDigit.h"

#include <QFont>
#include <QPalette>

namespace {

const QColor kBlack(0, 0, 0);
const QColor kLime(0, 255, 0);
const QColor kYellow(255, 255, 0);

// Separators and captions are transparent, so the panel's black shows through.
QLabel* MakeLabel(QWidget* parent, const char* name, const QString& text, const QFont& font, int left, int top) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setFont(font);
    label->setAttribute(Qt::WA_TranslucentBackground);
    QPalette pal = label->palette();
    pal.setColor(QPalette::WindowText, kLime);
    label->setPalette(pal);
    label->adjustSize();
    label->move(left, top);
    return label;
}

} // namespace

TimePanelControls BuildTimePanel(QWidget* parent) {
    TimePanelControls c;
    c.PanelTimer = new QWidget(parent);
    c.PanelTimer->setObjectName(QStringLiteral("PanelTimer"));
    c.PanelTimer->setGeometry(17, 14, 492, 240);
    QPalette pal = c.PanelTimer->palette();
    pal.setColor(QPalette::Window, kBlack);
    pal.setColor(QPalette::WindowText, kLime);
    c.PanelTimer->setPalette(pal);
    c.PanelTimer->setAutoFillBackground(true);

    static constexpr int kLefts[8] = {8, 56, 134, 184, 262, 312, 390, 440};
    static constexpr const char* kUpperNames[8] = {"Digit1", "Digit2", "Digit3", "Digit4",
                                                   "Digit5", "Digit6", "Digit7", "Digit8"};
    static constexpr const char* kLowerNames[8] = {"Digit12", "Digit13", "Digit15", "Digit16",
                                                   "Digit18", "Digit19", "Digit21", "Digit22"};
    for (int i = 0; i < 8; ++i) {
        const int width = (i % 2 == 0) ? 45 : 46;
        for (int row = 0; row < 2; ++row) {
            auto* d = new TDigit(c.PanelTimer);
            d->setObjectName(QString::fromLatin1(row == 0 ? kUpperNames[i] : kLowerNames[i]));
            d->setGeometry(kLefts[i], row == 0 ? 11 : 136, width, 89);
            d->SetThickness(5);
            d->SetSeparation(1);
            d->SetColor(kBlack);
            d->SetColorOff(kBlack);
            d->SetColorOn(row == 0 ? kLime : kYellow);
            (row == 0 ? c.Upper : c.Lower)[i] = d;
        }
    }

    QFont separator(QStringLiteral("Times New Roman"));
    separator.setPixelSize(64);
    separator.setBold(true);
    c.LabHour = MakeLabel(c.PanelTimer, "LabHour", QStringLiteral(":"), separator, 106, 0);
    c.LabMin = MakeLabel(c.PanelTimer, "LabMin", QStringLiteral(":"), separator, 232, 0);
    c.LabSec = MakeLabel(c.PanelTimer, "LabSec", QStringLiteral(","), separator, 363, 10);
    c.LabHour2 = MakeLabel(c.PanelTimer, "LabHour2", QStringLiteral(":"), separator, 106, 125);
    c.LabMin2 = MakeLabel(c.PanelTimer, "LabMin2", QStringLiteral(":"), separator, 232, 125);
    c.LabSec2 = MakeLabel(c.PanelTimer, "LabSec2", QStringLiteral(","), separator, 363, 135);

    QFont caption(QStringLiteral("Arial"));
    caption.setPixelSize(19);
    caption.setBold(true);
    c.Lab_Hour = MakeLabel(c.PanelTimer, "Lab_Hour", QStringLiteral("Std."), caption, 30, 102);
    c.Lab_Min = MakeLabel(c.PanelTimer, "Lab_Min", QStringLiteral("Min."), caption, 156, 102);
    c.Lab_sek = MakeLabel(c.PanelTimer, "Lab_sek", QStringLiteral("Sek."), caption, 284, 102);
    c.Lab_100 = MakeLabel(c.PanelTimer, "Lab_100", QStringLiteral("1/100"), caption, 366, 102);
    return c;
}
