#include "ui/dialogs/TFDlgYesNo.h"

#include "core/platform/Prompts.h"
#include "ui/widgets/Artwork.h"

#include <QLabel>
#include <QPushButton>

namespace {

QPixmap Picture(Artwork::Picture which) {
    return QPixmap::fromImage(Artwork::ButtonPicture(which, 32));
}

} // namespace

TFDlgYesNo::TFDlgYesNo(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("FDlgYesNo"));
    setFixedSize(222, 94);
    setWindowFlag(Qt::WindowStaysOnTopHint);
    QFont f(QStringLiteral("MS Sans Serif"));
    f.setPointSize(8);
    setFont(f);

    Label1 = new QLabel(QStringLiteral("?"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setGeometry(40, 6, 169, 49);
    Label1->setAlignment(Qt::AlignCenter);
    Label1->setWordWrap(true);

    Icon = new QLabel(this);
    Icon->setObjectName(QStringLiteral("Icon"));
    Icon->setGeometry(4, 14, 32, 32);
    Icon->setPixmap(Picture(Artwork::Picture::Question));
    Icon2 = new QLabel(this);
    Icon2->setObjectName(QStringLiteral("Icon2"));
    Icon2->setGeometry(4, 14, 32, 32);
    Icon2->setPixmap(Picture(Artwork::Picture::Notice));
    Icon2->hide();

    OKBtn = new QPushButton(QStringLiteral("Ja"), this);
    OKBtn->setObjectName(QStringLiteral("OKBtn"));
    OKBtn->setGeometry(39, 60, 75, 25);
    OKBtn->setAutoDefault(false);
    CancelBtn = new QPushButton(QStringLiteral("Nein"), this);
    CancelBtn->setObjectName(QStringLiteral("CancelBtn"));
    CancelBtn->setGeometry(135, 60, 75, 25);
    CancelBtn->setAutoDefault(false);
    connect(OKBtn, &QPushButton::clicked, this, [this] { done(kYes); });
    connect(CancelBtn, &QPushButton::clicked, this, [this] { done(kNo); });
}

void TFDlgYesNo::FormCreate() {
    setWindowTitle(QStringLiteral("Kadenzor"));
}

void TFDlgYesNo::AskQuestion(const QString& text) {
    Label1->setText(text);
    const bool question = text.contains(QLatin1Char('?'));
    Icon->setVisible(question);
    Icon2->setVisible(!question);
    OKBtn->setText(question ? QStringLiteral("Ja") : QStringLiteral("OK"));
    CancelBtn->setText(question ? QStringLiteral("Nein") : QStringLiteral("Abbrechen"));
}

bool TFDlgYesNo::Ask(Prompts& prompts, const QString& text) {
    emit Asking();
    AskQuestion(text);
    return prompts.exec(*this) == kYes;
}

// Every question opens with its safe answer focused, whatever was answered before: an
// Enter typed on out of habit must never clear a protocol or overwrite a time. Esc
// rejects (result 0), which counts as "no" like every answer but 6.
void TFDlgYesNo::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    OKBtn->setDefault(false);
    CancelBtn->setDefault(true);
    CancelBtn->setFocus();
    // Enter presses the focused button.
    OKBtn->setAutoDefault(true);
    CancelBtn->setAutoDefault(true);
}
