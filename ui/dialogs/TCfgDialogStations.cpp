// The settings dialog's group for timing stations: which station this PC is, and how
// it reaches the broker the stations of one race share.
#include "core/stations/StationEvent.h"
#include "core/stations/StationLink.h"
#include "ui/dialogs/TCfgDialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSpinBox>

namespace {

constexpr int kGroupHeight = 100;

void SetRedText(QWidget* w, bool red) {
    QPalette p = w->palette();
    p.setColor(QPalette::Text, red ? QColor(255, 0, 0) : QColor(0, 0, 0));
    w->setPalette(p);
}

QLineEdit* Edit(QWidget* box, const char* name, const QRect& geometry) {
    auto* e = new QLineEdit(box);
    e->setObjectName(QLatin1String(name));
    e->setGeometry(geometry);
    return e;
}

} // namespace

void TCfgDialog::BuildStationControls() {
    // Like the live results: the group goes where the buttons were; they move down.
    const int top = OKBtn->y();
    setFixedSize(width(), height() + kGroupHeight + 4);
    OKBtn->move(OKBtn->x(), OKBtn->y() + kGroupHeight + 4);
    CancelBtn->move(CancelBtn->x(), CancelBtn->y() + kGroupHeight + 4);

    auto* box = new QGroupBox(QStringLiteral(" Stationen "), this);
    box->setObjectName(QStringLiteral("gbStations"));
    box->setGeometry(8, top, width() - 16, kGroupHeight);
    const int w = box->width();

    auto* stationLabel = new QLabel(QStringLiteral("Station:"), box);
    stationLabel->setGeometry(6, 18, 48, 16);
    cbStation = new QComboBox(box);
    cbStation->setObjectName(QStringLiteral("cbStation"));
    cbStation->addItems({QStringLiteral("allein"), QStringLiteral("Startstation"), QStringLiteral("Zielstation")});
    cbStation->setGeometry(56, 15, 96, 22);
    cbStation->setToolTip(QStringLiteral("Startstation: sendet ihre Starts; Zielstation: übernimmt sie"));
    connect(cbStation, &QComboBox::currentIndexChanged, this, &TCfgDialog::StationControlsChange);

    auto* raceLabel = new QLabel(QStringLiteral("Rennen:"), box);
    raceLabel->setGeometry(158, 18, 42, 16);
    eRaceId = Edit(box, "eRaceId", {202, 15, w - 208, 22});
    eRaceId->setPlaceholderText(TSettings().RaceId);
    eRaceId->setToolTip(QStringLiteral("Beide Stationen eines Rennens brauchen dieselbe RaceId"));
    connect(eRaceId, &QLineEdit::textChanged, this, &TCfgDialog::StationControlsChange);

    auto* brokerLabel = new QLabel(QStringLiteral("Broker:"), box);
    brokerLabel->setGeometry(6, 44, 48, 16);
    eBroker = Edit(box, "eBroker", {56, 41, w - 112, 22});
    eBroker->setPlaceholderText(QStringLiteral("192.168.1.20:1883"));
    connect(eBroker, &QLineEdit::textChanged, this, &TCfgDialog::StationControlsChange);
    cbBrokerTls = new QCheckBox(QStringLiteral("TLS"), box);
    cbBrokerTls->setObjectName(QStringLiteral("cbBrokerTls"));
    cbBrokerTls->setGeometry(w - 52, 43, 46, 18);

    auto* userLabel = new QLabel(QStringLiteral("Benutzer:"), box);
    userLabel->setGeometry(6, 70, 48, 16);
    eBrokerUser = Edit(box, "eBrokerUser", {56, 67, 80, 22});
    auto* passwordLabel = new QLabel(QStringLiteral("Kennwort:"), box);
    passwordLabel->setGeometry(142, 70, 52, 16);
    eBrokerPassword = Edit(box, "eBrokerPassword", {196, 67, w - 202, 22});
    eBrokerPassword->setEchoMode(QLineEdit::Password);

    setTabOrder(ePublishDir, cbStation);
    setTabOrder(cbStation, eRaceId);
    setTabOrder(eRaceId, eBroker);
    setTabOrder(eBroker, cbBrokerTls);
    setTabOrder(cbBrokerTls, eBrokerUser);
    setTabOrder(eBrokerUser, eBrokerPassword);
}

void TCfgDialog::LoadStationControls(const TSettings& s) {
    cbStation->setCurrentIndex(s.Station >= 0 && s.Station <= 2 ? s.Station : 0);
    eBroker->setText(s.Broker);
    eRaceId->setText(s.RaceId);
    eBrokerUser->setText(s.BrokerUser);
    eBrokerPassword->setText(s.BrokerPassword);
    cbBrokerTls->setChecked(s.BrokerTls);
    StationControlsChange();
}

void TCfgDialog::StoreStationControls(TSettings& s) const {
    s.Station = cbStation->currentIndex();
    s.Broker = eBroker->text().trimmed();
    const QString race = eRaceId->text().trimmed();
    s.RaceId = race.isEmpty() ? TSettings().RaceId : race;
    s.BrokerUser = eBrokerUser->text().trimmed();
    s.BrokerPassword = eBrokerPassword->text();
    s.BrokerTls = cbBrokerTls->isChecked();
}

void TCfgDialog::StationControlsChange() {
    // Red: a broker that names no host and port, a race id no topic can carry.
    const bool linked = cbStation->currentIndex() != StationRole::Alone;
    QString host, why;
    quint16 port = 0;
    const bool brokerOk = StationConfig::ParseBroker(eBroker->text(), host, port, why);
    SetRedText(eBroker, linked && !brokerOk);
    eBroker->setToolTip(linked && !brokerOk ? why : QStringLiteral("Rechner:Port des MQTT-Brokers"));
    const QString race = eRaceId->text().trimmed();
    SetRedText(eRaceId, !race.isEmpty() && !StationConfig::ValidRace(race));
    for (QWidget* w :
         {static_cast<QWidget*>(eBroker), static_cast<QWidget*>(eRaceId), static_cast<QWidget*>(eBrokerUser),
          static_cast<QWidget*>(eBrokerPassword), static_cast<QWidget*>(cbBrokerTls)})
        w->setEnabled(linked);
}
