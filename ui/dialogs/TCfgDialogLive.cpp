// The settings dialog's live results group: web server port and address, and
// the folder that receives the result files.
#include "ui/dialogs/TCfgDialog.h"

#include "core/platform/Prompts.h"

#include <QDir>
#include <QFileInfo>
#include <QGroupBox>
#include <QHostAddress>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSpinBox>
#include <QToolButton>

namespace {

constexpr int kGroupHeight = 78;

void SetRedText(QWidget* w, bool red) {
    QPalette p = w->palette();
    p.setColor(QPalette::Text, red ? QColor(255, 0, 0) : QColor(0, 0, 0));
    w->setPalette(p);
}

} // namespace

void TCfgDialog::BuildLiveControls() {
    // The group goes where the buttons were; dialog and buttons move down by its height.
    const int top = OKBtn->y();
    setFixedSize(width(), height() + kGroupHeight + 4);
    OKBtn->move(OKBtn->x(), OKBtn->y() + kGroupHeight + 4);
    CancelBtn->move(CancelBtn->x(), CancelBtn->y() + kGroupHeight + 4);

    auto* box = new QGroupBox(QStringLiteral(" Live-Ergebnisse "), this);
    box->setObjectName(QStringLiteral("gbLive"));
    box->setGeometry(8, top, width() - 16, kGroupHeight);

    auto* portLabel = new QLabel(QStringLiteral("Webport:"), box);
    portLabel->setGeometry(6, 18, 48, 16);
    seWebPort = new QSpinBox(box);
    seWebPort->setObjectName(QStringLiteral("seWebPort"));
    // One below the lowest port stands for "off".
    seWebPort->setRange(TSettings::kWebPortMin - 1, 65535);
    seWebPort->setSpecialValueText(QStringLiteral("Aus"));
    seWebPort->setValue(seWebPort->minimum());
    seWebPort->setToolTip(QStringLiteral("Ergebnisse im Browser: http://Adresse:Port/"));
    seWebPort->setGeometry(56, 15, 62, 22);

    auto* bindLabel = new QLabel(QStringLiteral("Adresse:"), box);
    bindLabel->setGeometry(123, 18, 50, 16);
    eWebBind = new QLineEdit(box);
    eWebBind->setObjectName(QStringLiteral("eWebBind"));
    eWebBind->setPlaceholderText(QStringLiteral("alle"));
    eWebBind->setToolTip(QStringLiteral("Leer: im ganzen Netz; 127.0.0.1: nur auf diesem Rechner"));
    eWebBind->setGeometry(175, 15, box->width() - 181, 22);
    connect(eWebBind, &QLineEdit::textChanged, this, &TCfgDialog::LiveControlsChange);

    sbPublishDir = new QToolButton(box);
    sbPublishDir->setObjectName(QStringLiteral("sbPublishDir"));
    sbPublishDir->setText(QStringLiteral("Ordner:"));
    sbPublishDir->setToolTip(QStringLiteral("Ergebnisliste nach jeder Änderung auch in diesen Ordner schreiben"));
    sbPublishDir->setGeometry(6, 44, 48, 23);
    connect(sbPublishDir, &QToolButton::clicked, this, [this] {
        const QString folder = m_prompts.folderName(this, QDir::rootPath());
        if (!folder.isEmpty())
            ePublishDir->setText(folder);
    });
    ePublishDir = new QLineEdit(box);
    ePublishDir->setObjectName(QStringLiteral("ePublishDir"));
    ePublishDir->setPlaceholderText(QStringLiteral("aus"));
    ePublishDir->setGeometry(56, 45, box->width() - 62, 21);
    connect(ePublishDir, &QLineEdit::textChanged, this, &TCfgDialog::LiveControlsChange);

    setTabOrder(ColListBox1, seWebPort);
    setTabOrder(seWebPort, eWebBind);
    setTabOrder(eWebBind, ePublishDir);
}

void TCfgDialog::LoadLiveControls(const TSettings& s) {
    seWebPort->setValue(s.WebPort >= TSettings::kWebPortMin ? s.WebPort : seWebPort->minimum());
    eWebBind->setText(s.WebBind);
    ePublishDir->setText(s.PublishDir);
    LiveControlsChange();
}

void TCfgDialog::StoreLiveControls(TSettings& s) const {
    s.WebPort = seWebPort->value() >= TSettings::kWebPortMin ? seWebPort->value() : 0;
    s.WebBind = eWebBind->text().trimmed();
    s.PublishDir = ePublishDir->text().trimmed();
}

void TCfgDialog::LiveControlsChange() {
    // Red: an address that is none, a folder that does not exist.
    const QString bind = eWebBind->text().trimmed();
    SetRedText(eWebBind, !bind.isEmpty() && QHostAddress(bind).isNull());
    const QString dir = ePublishDir->text().trimmed();
    SetRedText(ePublishDir, !dir.isEmpty() && !QFileInfo(dir).isDir());
    sbPublishDir->setToolTip(dir.isEmpty() ? QStringLiteral("Ergebnisliste nach jeder Änderung auch in diesen Ordner "
                                                            "schreiben")
                                           : dir);
}
