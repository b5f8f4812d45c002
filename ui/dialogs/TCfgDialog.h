#pragma once

#include "core/contacts/PortProbe.h"
#include "core/settings/TSettings.h"

#include <QDialog>
#include <QList>
#include <QStringList>

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QListWidgetItem;
class QPushButton;
class QSpinBox;
class QToolButton;
class QVBoxLayout;
class Prompts;
class TSpinFloatEdit;

// "Einstellungen": the one place where the operator changes the settings that
// have no control on the main window. Created once; the main window loads the
// controls before each showing and takes them over after "OK".
class TCfgDialog : public QDialog {
    Q_OBJECT
public:
    explicit TCfgDialog(Prompts& prompts, QWidget* parent = nullptr);

    // Once, after the ports were probed: the port entries (each with its COM
    // number and the adapter's stable name, see ListSerialPorts) and the column list.
    void FormCreate(const QList<SerialPortEntry>& ports, const QStringList& headers);
    // Loads every mapped control from `s` and remembers the port entry.
    void LoadControls(const TSettings& s);
    // Before showing: port choice, folder colour, dependent controls, and the
    // column ticks from the protocol's current column widths.
    void FormShow(const TSettings& s, const QList<int>& columnWidths);
    // After "OK": the controls into `s` (the main window applies them).
    void StoreControls(TSettings& s) const;

    bool PortEntryChanged() const;
    // Bit k set for every ticked column entry k.
    int TickedColumns() const;
    int StartIndex() const;
    int ZeitIndex() const;

    QPushButton* OKBtn = nullptr;
    QPushButton* CancelBtn = nullptr;
    QLineEdit* eTitel = nullptr;
    QLineEdit* eDIR = nullptr;
    QToolButton* sbDIR = nullptr;
    QComboBox* cbDigits = nullptr;
    QComboBox* cbPort = nullptr;
    QComboBox* cbAlg = nullptr;
    QSpinBox* seTimer = nullptr;
    QSpinBox* seWait = nullptr;
    TSpinFloatEdit* seWaitFinish = nullptr;
    QSpinBox* seDebounce = nullptr;
    QCheckBox* cbAutoSort = nullptr;
    QGroupBox* cbStart = nullptr;
    QGroupBox* rgZeit = nullptr;
    QListWidget* ColListBox1 = nullptr;
    // Live results: web server port (its lowest value reads "Aus"), address, publishing folder.
    QSpinBox* seWebPort = nullptr;
    QLineEdit* eWebBind = nullptr;
    QLineEdit* ePublishDir = nullptr;
    QToolButton* sbPublishDir = nullptr;
    // Timing stations: role, broker "host:port", race id, user, password, TLS.
    QComboBox* cbStation = nullptr;
    QLineEdit* eBroker = nullptr;
    QLineEdit* eRaceId = nullptr;
    QLineEdit* eBrokerUser = nullptr;
    QLineEdit* eBrokerPassword = nullptr;
    QCheckBox* cbBrokerTls = nullptr;

    // A further group of settings below the others, above the buttons; its fields join
    // the Tab order after the column list, in the order appended to m_groupFields.
    void AddGroup(QGroupBox* group);

signals:
    // cbDigitsChange: the display shows this many fraction digits while the dialog is open.
    void DigitsPreview(int digits);

private:
    void BuildControls();
    void BuildLiveControls();
    void SetTabOrder();
    void FitColumnList();
    void LoadLiveControls(const TSettings& s);
    void StoreLiveControls(TSettings& s) const;
    void LiveControlsChange();
    void BuildStationControls();
    void LoadStationControls(const TSettings& s);
    void StoreStationControls(TSettings& s) const;
    void StationControlsChange();
    void cbDigitsChange();
    void cbPortChange();
    void seTimerChange();
    void seWaitChange();
    void ColListBox1ClickCheck(QListWidgetItem* item);
    void sbDIRClick();
    void eDIRChange();
    int PortEntryOf(const TSettings& s) const;

    Prompts& m_prompts;
    QVBoxLayout* m_groups = nullptr; // AddGroup's groups
    QList<QWidget*> m_groupFields;   // their fields in Tab order
    QButtonGroup* m_startGroup = nullptr;
    QButtonGroup* m_zeitGroup = nullptr;
    int m_oldPortEntry = 0;
    bool m_fixingTicks = false;
};
