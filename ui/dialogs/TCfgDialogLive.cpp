// The settings dialog's live results group: web server port and address, and
// the folder that receives the result files.
#include "ui/dialogs/TCfgDialog.h"

#include "core/platform/Prompts.h"

#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHostAddress>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSpinBox>
#include <QToolButton>

namespace {

void SetRedText(QWidget* w, bool red) {
    QPalette p = w->palette();
    p.setColor(QPalette::Text, red ? QColor(255, 0, 0) : QColor(0, 0, 0));
    w->setPalette(p);
}

} // namespace

void TCfgDialog::BuildLiveControls() {
    auto* box = new QGroupBox(QStringLiteral(" Live-Ergebnisse "), this);
    box->setObjectName(QStringLiteral("gbLive"));
    auto* grid = new QGridLayout(box);
    grid->setContentsMargins(6, 4, 6, 6);
    grid->setHorizontalSpacing(4);
    grid->setVerticalSpacing(4);

    auto* portLabel = new QLabel(QStringLiteral("Webport:"), box);
    portLabel->setObjectName(QStringLiteral("LabWebPort"));
    seWebPort = new QSpinBox(box);
    seWebPort->setObjectName(QStringLiteral("seWebPort"));
    // One below the lowest port stands for "off".
    seWebPort->setRange(TSettings::kWebPortMin - 1, 65535);
    seWebPort->setSpecialValueText(QStringLiteral("Aus"));
    seWebPort->setValue(seWebPort->minimum());
    seWebPort->setToolTip(QStringLiteral("Ergebnisse im Browser: http://Adresse:Port/"));
    portLabel->setBuddy(seWebPort);

    auto* bindLabel = new QLabel(QStringLiteral("Adresse:"), box);
    bindLabel->setObjectName(QStringLiteral("LabWebBind"));
    eWebBind = new QLineEdit(box);
    eWebBind->setObjectName(QStringLiteral("eWebBind"));
    eWebBind->setPlaceholderText(QStringLiteral("alle"));
    eWebBind->setToolTip(QStringLiteral("Leer: im ganzen Netz; 127.0.0.1: nur auf diesem Rechner"));
    bindLabel->setBuddy(eWebBind);
    connect(eWebBind, &QLineEdit::textChanged, this, &TCfgDialog::LiveControlsChange);

    sbPublishDir = new QToolButton(box);
    sbPublishDir->setObjectName(QStringLiteral("sbPublishDir"));
    sbPublishDir->setText(QStringLiteral("Ordner:"));
    sbPublishDir->setToolTip(QStringLiteral("Ergebnisliste nach jeder Änderung auch in diesen Ordner schreiben"));
    connect(sbPublishDir, &QToolButton::clicked, this, [this] {
        const QString folder = m_prompts.folderName(this, QDir::rootPath());
        if (!folder.isEmpty())
            ePublishDir->setText(folder);
    });
    ePublishDir = new QLineEdit(box);
    ePublishDir->setObjectName(QStringLiteral("ePublishDir"));
    ePublishDir->setPlaceholderText(QStringLiteral("aus"));
    connect(ePublishDir, &QLineEdit::textChanged, this, &TCfgDialog::LiveControlsChange);

    grid->addWidget(portLabel, 0, 0);
    grid->addWidget(seWebPort, 0, 1);
    grid->addWidget(bindLabel, 0, 2);
    grid->addWidget(eWebBind, 0, 3);
    grid->addWidget(sbPublishDir, 1, 0);
    grid->addWidget(ePublishDir, 1, 1, 1, 3);
    grid->setColumnStretch(3, 1);
    AddGroup(box);
    m_groupFields << seWebPort << eWebBind << sbPublishDir << ePublishDir;
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
