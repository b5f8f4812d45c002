// The main window's side of the settings: the live values reaching every
// controller, the settings dialog, and the store.
#include "app/TFormMain.h"

#include "core/contacts/ContactInput.h"
#include "core/contacts/PortProbe.h"
#include "core/files/GridTextFile.h"
#include "core/live/LiveResults.h"
#include "core/platform/Prompts.h"
#include "core/settings/SettingsStore.h"
#include "ui/dialogs/TCfgDialog.h"
#include "ui/run/Countdown.h"
#include "ui/run/LockOut.h"
#include "ui/run/RunControl.h"
#include "ui/run/StationControl.h"
#include "ui/run/TimeDisplay.h"
#include "ui/tables/FinishTable.h"
#include "ui/tables/ProtocolFiles.h"
#include "ui/tables/ProtocolTable.h"
#include "ui/tables/RaceRecords.h"
#include "ui/tables/StatusFields.h"
#include "ui/widgets/TSortGrid.h"

#include <QAction>
#include <QComboBox>
#include <QFileInfo>
#include <QGuiApplication>
#include <QScreen>
#include <QToolButton>

#include <cstdio>

void TFormMain::ConnectSettings() {
    m_display->SetSettingsWriter(m_live);
    m_lockOut->SetSettingsWriter(m_live);
    m_countdown->SetSettingsWriter(m_live);
    m_run->SetSettingsWriter(m_live);
    m_files->SetSettingsWriter(m_live);
    connect(&m_live, &LiveSettings::changed, this, &TFormMain::SettingsChanged);
}

void TFormMain::SettingsChanged(const TSettings& before) {
    // The start-up sequence applies every value itself, in its order (and a backup
    // written before the tables are read back would lose them).
    if (!m_startedUp)
        return;
    m_display->ApplySettings(before);
    m_lockOut->ApplySettings(before);
    m_countdown->ApplySettings(before);
    m_run->ApplySettings(before);
    m_protocol->ApplySettings(before);
    if (m_liveResults)
        m_liveResults->ApplySettings(before);
    // The open port takes a new quiet time at once; the port stays open, so no impulse is lost.
    if (m_contacts && m_settings.Debounce != before.Debounce)
        m_contacts->SetDebounce(m_settings.Debounce);
    if (m_settings.StartType != before.StartType || m_settings.Timer != before.Timer)
        ApplyStartModeAndTimer();
    m_records->ApplySettings(before);
    if (m_stations)
        m_stations->ApplySettings(before);
}

void TFormMain::BuildSettingsDialog() {
    m_cfg = new TCfgDialog(*m_platform.prompts, this);
    m_cfg->FormCreate(m_platform.serial ? ListSerialPorts(*m_platform.serial) : QList<SerialPortEntry>(),
                      m_ui.SortGrid1->Rows(0));
    connect(m_cfg, &TCfgDialog::DigitsPreview, m_display.get(), &TimeDisplay::ApplyFractionDigits);

    m_ui.EinstellunGen1 = new QAction(this);
    m_ui.EinstellunGen1->setObjectName(QStringLiteral("EinstellunGen1"));
    m_ui.EinstellunGen1->setShortcut(QKeySequence(Qt::Key_F2));
    m_ui.EinstellunGen1->setShortcutContext(Qt::WindowShortcut);
    addAction(m_ui.EinstellunGen1);
    connect(m_ui.EinstellunGen1, &QAction::triggered, this, &TFormMain::bCFGClick);
    connect(m_ui.run.bCFG, &QToolButton::clicked, this, &TFormMain::bCFGClick);
}

void TFormMain::bCFGClick() {
    // While a competition runs m_ui.run.bCFG is disabled, and F2 follows it.
    if (!m_ui.run.bCFG->isEnabled())
        return;
    m_cfg->LoadControls(m_settings);
    QList<int> widths;
    for (int col = 0; col < m_ui.SortGrid1->ColCount(); ++col)
        widths << m_ui.SortGrid1->ColWidths(col);
    m_cfg->FormShow(m_settings, widths);

    if (m_platform.prompts->exec(*m_cfg) == QDialog::Accepted) {
        const int oldPort = m_settings.Port;
        const QString oldPath = m_settings.PortPath;
        const bool portTouched = m_cfg->cbPort->currentIndex() >= 0;
        TSettings next = m_settings;
        m_cfg->StoreControls(next);
        m_live.Set(next);
        // Confirming applies these even when nothing changed.
        m_lockOut->SetStartInterval(m_settings.WaitStart);
        m_lockOut->SetFinishInterval(m_settings.WaitFinish);
        m_protocol->ApplyColumnLayout();
        ApplyStartModeAndTimer();
        if (portTouched)
            ApplyPortSettings(oldPort, oldPath);
        // A crash later in the day must not cost the configuration.
        SaveSettings();
    }
    // After "Abbrechen" this undoes the preview.
    m_display->ApplyFractionDigits(m_settings.Acc);
}

void TFormMain::CaptureWindowSettings() {
    const QPoint at = pos();
    const QSize size = this->size();
    const int xx = m_ui.PanelL->width();
    const int yy = m_ui.PanelTimerOwner->height();
    m_live.Edit([&](TSettings& s) {
        s.Left = at.x();
        s.Top = at.y();
        s.Width = size.width();
        s.Height = size.height();
        s.XX = xx;
        s.YY = yy;
    });
}

bool TFormMain::SaveSettings() {
    if (m_platform.settingsFile.isEmpty())
        return true;
    CaptureWindowSettings();
    QString error;
    if (SettingsStore(m_platform.settingsFile).Save(m_settings, error)) {
        m_status->SetState(StatusFields::State::SettingsFailed, QString());
        return true;
    }
    const QString text = QStringLiteral("Einstellungen nicht gespeichert: ") + error;
    std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
    m_status->SetState(StatusFields::State::SettingsFailed, text);
    return false;
}

void TFormMain::KeepOnScreen() {
    const QRect wanted(pos(), size());
    for (QScreen* screen : QGuiApplication::screens())
        if (screen->availableGeometry().intersects(wanted))
            return;
    // A position of a screen that is no longer attached.
    if (QScreen* primary = QGuiApplication::primaryScreen())
        move(primary->availableGeometry().topLeft());
}
