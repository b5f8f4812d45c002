// The settings dialog's group for timing stations: which station this PC is, and how
// it reaches the broker the stations of one race share.
#include "core/stations/StationEvent.h"
#include "core/stations/StationLink.h"
#include "ui/dialogs/TCfgDialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>

namespace {

void SetRedText(QWidget* w, bool red) {
    QPalette p = w->palette();
    p.setColor(QPalette::Text, red ? QColor(255, 0, 0) : QColor(0, 0, 0));
    w->setPalette(p);
}

QLineEdit* Edit(QWidget* box, const char* name) {
    auto* e = new QLineEdit(box);
    e->setObjectName(QLatin1String(name));
    return e;
}

QLabel* Label(const QString& text, QWidget* buddy, QWidget* box) {
    auto* l = new QLabel(text, box);
    l->setBuddy(buddy);
    return l;
}

} // namespace

// Below the live results, laid out like them: every text keeps its whole width.
void TCfgDialog::BuildStationControls() {
    auto* box = new QGroupBox(QStringLiteral(" Stationen "), this);
    box->setObjectName(QStringLiteral("gbStations"));
    auto* grid = new QGridLayout(box);
    grid->setContentsMargins(6, 4, 6, 6);
    grid->setHorizontalSpacing(4);
    grid->setVerticalSpacing(4);

    cbStation = new QComboBox(box);
    cbStation->setObjectName(QStringLiteral("cbStation"));
    cbStation->addItems({QStringLiteral("allein"), QStringLiteral("Startstation"), QStringLiteral("Zielstation")});
    cbStation->setToolTip(QStringLiteral("Startstation: sendet ihre Starts; Zielstation: übernimmt sie"));
    connect(cbStation, &QComboBox::currentIndexChanged, this, &TCfgDialog::StationControlsChange);

    eRaceId = Edit(box, "eRaceId");
    eRaceId->setPlaceholderText(TSettings().RaceId);
    eRaceId->setToolTip(QStringLiteral("Beide Stationen eines Rennens brauchen dieselbe RaceId"));
    connect(eRaceId, &QLineEdit::textChanged, this, &TCfgDialog::StationControlsChange);

    eBroker = Edit(box, "eBroker");
    eBroker->setPlaceholderText(QStringLiteral("192.168.1.20:1883"));
    connect(eBroker, &QLineEdit::textChanged, this, &TCfgDialog::StationControlsChange);
    cbBrokerTls = new QCheckBox(QStringLiteral("TLS"), box);
    cbBrokerTls->setObjectName(QStringLiteral("cbBrokerTls"));

    eBrokerUser = Edit(box, "eBrokerUser");
    eBrokerPassword = Edit(box, "eBrokerPassword");
    eBrokerPassword->setEchoMode(QLineEdit::Password);

    grid->addWidget(Label(QStringLiteral("Station:"), cbStation, box), 0, 0);
    grid->addWidget(cbStation, 0, 1);
    grid->addWidget(Label(QStringLiteral("Rennen:"), eRaceId, box), 0, 2);
    grid->addWidget(eRaceId, 0, 3, 1, 2);
    grid->addWidget(Label(QStringLiteral("Broker:"), eBroker, box), 1, 0);
    grid->addWidget(eBroker, 1, 1, 1, 3);
    grid->addWidget(cbBrokerTls, 1, 4);
    grid->addWidget(Label(QStringLiteral("Benutzer:"), eBrokerUser, box), 2, 0);
    grid->addWidget(eBrokerUser, 2, 1);
    grid->addWidget(Label(QStringLiteral("Kennwort:"), eBrokerPassword, box), 2, 2);
    grid->addWidget(eBrokerPassword, 2, 3, 1, 2);
    grid->setColumnStretch(3, 1);
    AddGroup(box);
    m_groupFields << cbStation << eRaceId << eBroker << cbBrokerTls << eBrokerUser << eBrokerPassword;
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
