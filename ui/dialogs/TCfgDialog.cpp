#include "ui/dialogs/TCfgDialog.h"

#include "core/platform/Prompts.h"
#include "ui/dialogs/AlgItemDelegate.h"
#include "ui/widgets/TSpinFloatEdit.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QToolButton>
#include <QVBoxLayout>

#include <QSignalBlocker>

#include <algorithm>
#include <cmath>

namespace {

template <typename T>
T* Named(T* widget, const char* name) {
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}

// Label text with the blanks on which the spin edit sits.
QString SpinLabel(const char* before, const char* after) {
    return QLatin1String(before) + QString(19, QLatin1Char(' ')) + QLatin1String(after);
}

void SetRed(QWidget* w, bool red) {
    QPalette p = w->palette();
    p.setColor(QPalette::Text, red ? QColor(255, 0, 0) : QColor(0, 0, 0));
    w->setPalette(p);
}

QGroupBox* RadioGroup(QWidget* parent, const char* name, const QString& title, const QStringList& entries,
                      QButtonGroup*& group, const QRect& geometry) {
    auto* box = Named(new QGroupBox(title, parent), name);
    box->setGeometry(geometry);
    auto* column = new QVBoxLayout(box);
    column->setContentsMargins(6, 2, 6, 2);
    column->setSpacing(0);
    group = new QButtonGroup(box);
    for (int i = 0; i < entries.size(); ++i) {
        auto* radio = new QRadioButton(entries[i], box);
        radio->setObjectName(QStringLiteral("%1%2").arg(QLatin1String(name)).arg(i));
        group->addButton(radio, i);
        column->addWidget(radio);
    }
    return box;
}

} // namespace

TCfgDialog::TCfgDialog(Prompts& prompts, QWidget* parent) : QDialog(parent), m_prompts(prompts) {
    setObjectName(QStringLiteral("CfgDialog"));
    setWindowTitle(QStringLiteral("Einstellungen"));
    setFixedSize(285, 370);
    QFont f(QStringLiteral("MS Sans Serif"));
    f.setPixelSize(11);
    setFont(f);
    BuildControls();
    BuildLiveControls();
    BuildStationControls();
}

void TCfgDialog::BuildControls() {
    auto label = [this](const QString& text, const QRect& geometry) {
        auto* l = new QLabel(text, this);
        l->setGeometry(geometry);
        return l;
    };

    OKBtn = Named(new QPushButton(QStringLiteral("OK"), this), "OKBtn");
    OKBtn->setGeometry(116, 338, 75, 25);
    OKBtn->setDefault(true);
    connect(OKBtn, &QPushButton::clicked, this, &QDialog::accept);
    CancelBtn = Named(new QPushButton(QStringLiteral("Abbrechen"), this), "CancelBtn");
    CancelBtn->setGeometry(199, 338, 78, 25);
    connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);

    label(QStringLiteral("Titel:"), {8, 10, 40, 16});
    eTitel = Named(new QLineEdit(QStringLiteral("Wettkampftitel"), this), "eTitel");
    eTitel->setGeometry(50, 8, 227, 21);

    sbDIR = Named(new QToolButton(this), "sbDIR");
    sbDIR->setText(QStringLiteral("Sicherungsordner:"));
    sbDIR->setGeometry(8, 35, 100, 23);
    connect(sbDIR, &QToolButton::clicked, this, &TCfgDialog::sbDIRClick);
    eDIR = Named(new QLineEdit(this), "eDIR");
    eDIR->setGeometry(110, 36, 167, 21);
    connect(eDIR, &QLineEdit::textChanged, this, &TCfgDialog::eDIRChange);

    label(QStringLiteral("Zeitformat:"), {8, 64, 140, 14});
    cbDigits = Named(new QComboBox(this), "cbDigits");
    cbDigits->addItems({QStringLiteral("HH:MM:SS,ms"), QStringLiteral("HH:MM:SS,s"), QStringLiteral("HH:MM:SS")});
    cbDigits->setGeometry(8, 79, 140, 22);
    connect(cbDigits, &QComboBox::currentIndexChanged, this, &TCfgDialog::cbDigitsChange);

    label(QStringLiteral("Lichtschranke:"), {8, 106, 70, 14});
    cbPort = Named(new QComboBox(this), "cbPort");
    cbPort->addItem(QStringLiteral("Keine"));
    cbPort->setGeometry(8, 121, 68, 22);
    connect(cbPort, &QComboBox::currentIndexChanged, this, &TCfgDialog::cbPortChange);

    label(QStringLiteral("Algorithmus:"), {80, 106, 68, 14});
    cbAlg = Named(new QComboBox(this), "cbAlg");
    cbAlg->setItemDelegate(new AlgItemDelegate(cbAlg));
    cbAlg->setIconSize(QSize(41, 16));
    cbAlg->addItem(QIcon(AlgItemDelegate::Picture(0)), QStringLiteral("Ein"));
    cbAlg->addItem(QIcon(AlgItemDelegate::Picture(1)), QStringLiteral("Aus"));
    cbAlg->setToolTip(QStringLiteral("[4+6]-Start, [1+4]-Stopp"));
    cbAlg->setGeometry(80, 121, 68, 22);
    cbAlg->setEnabled(false);

    label(SpinLabel("Timer:", "Sek."), {8, 152, 140, 14});
    seTimer = Named(new QSpinBox(this), "seTimer");
    seTimer->setRange(0, 600);
    seTimer->setValue(5);
    seTimer->setGeometry(88, 148, 44, 22);
    connect(seTimer, &QSpinBox::valueChanged, this, &TCfgDialog::seTimerChange);

    label(SpinLabel("Start-Sperrzeit:", "Sek."), {8, 178, 160, 14});
    seWait = Named(new QSpinBox(this), "seWait");
    seWait->setRange(1, 900);
    seWait->setValue(4);
    seWait->setGeometry(88, 174, 44, 22);
    connect(seWait, &QSpinBox::valueChanged, this, &TCfgDialog::seWaitChange);

    label(SpinLabel("Ziel-Sperrzeit:", "Sek."), {8, 204, 160, 14});
    seWaitFinish = Named(new TSpinFloatEdit(this), "seWaitFinish");
    seWaitFinish->SetDigits(2);
    seWaitFinish->SetMax(5.0);
    seWaitFinish->SetMin(0.0);
    seWaitFinish->SetIncrement(0.01);
    seWaitFinish->SetValue(0.2);
    seWaitFinish->setGeometry(88, 200, 56, 22);

    label(SpinLabel("Entprellung:", "ms"), {8, 230, 160, 14});
    seDebounce = Named(new QSpinBox(this), "seDebounce");
    seDebounce->setRange(0, 50);
    seDebounce->setValue(2);
    seDebounce->setToolTip(QStringLiteral("Kontakte: Prellen kürzer als diese Zeit zählt nicht"));
    seDebounce->setGeometry(88, 226, 44, 22);

    cbAutoSort = Named(new QCheckBox(QStringLiteral("Autosortierung des Protokolls"), this), "cbAutoSort");
    cbAutoSort->setGeometry(8, 254, 270, 18);

    label(QStringLiteral("Protokollspalten:"), {156, 64, 121, 14});
    ColListBox1 = Named(new QListWidget(this), "ColListBox1");
    ColListBox1->setGeometry(156, 79, 121, 169);
    connect(ColListBox1, &QListWidget::itemChanged, this, &TCfgDialog::ColListBox1ClickCheck);

    cbStart = RadioGroup(this, "cbStart", QStringLiteral(" START "),
                         {QStringLiteral("Einzeln"), QStringLiteral("Massenstart")}, m_startGroup, {8, 276, 134, 56});
    rgZeit = RadioGroup(this, "rgZeit", QStringLiteral(" ZEIT "),
                        {QStringLiteral("aktuelle PC"), QStringLiteral("ab   0,0")}, m_zeitGroup, {148, 276, 129, 56});
    m_startGroup->button(0)->setChecked(true);
    m_zeitGroup->button(0)->setChecked(true);

    QWidget* order[] = {OKBtn,  CancelBtn,    eTitel,     eDIR,       cbDigits, cbPort, cbAlg,      seTimer,
                        seWait, seWaitFinish, seDebounce, cbAutoSort, cbStart,  rgZeit, ColListBox1};
    for (size_t i = 1; i < std::size(order); ++i)
        setTabOrder(order[i - 1], order[i]);
}

// Each port entry holds its COM number (0 for none) and its stable name.
constexpr int kPortRole = Qt::UserRole;
constexpr int kPortPathRole = Qt::UserRole + 1;

void TCfgDialog::FormCreate(const QList<SerialPortEntry>& ports, const QStringList& headers) {
    cbPort->setToolTip(QStringLiteral("4+6=Start\r\n7+8=Ziel\r\n7+9=Hand Start\r\n1+4=Hand Ziel"));
    for (const SerialPortEntry& e : ports) {
        if (e.port < 1 && e.stable.isEmpty())
            continue;
        cbPort->addItem(e.label);
        cbPort->setItemData(cbPort->count() - 1, e.port, kPortRole);
        cbPort->setItemData(cbPort->count() - 1, e.stable, kPortPathRole);
    }
    // The grid's last column has no meaning for the operator.
    QStringList entries = headers;
    if (!entries.isEmpty())
        entries.removeLast();
    const QSignalBlocker quiet(ColListBox1);
    ColListBox1->clear();
    for (const QString& text : entries) {
        auto* item = new QListWidgetItem(text, ColListBox1);
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(Qt::Unchecked);
    }
    seWaitFinish->SetAlignment(Qt::AlignLeft | Qt::AlignVCenter);
}

void TCfgDialog::LoadControls(const TSettings& s) {
    cbPort->setCurrentIndex(PortEntryOf(s));
    cbAlg->setEnabled(s.Port != 0 || !s.PortPath.isEmpty());
    cbAlg->setCurrentIndex(s.Alg >= 0 && s.Alg < cbAlg->count() ? s.Alg : -1);
    m_oldPortEntry = cbPort->currentIndex();
    seTimer->setValue(s.Timer);
    cbDigits->setCurrentIndex(std::clamp(2 - s.Acc, 0, 2));
    m_startGroup->button(s.StartType == 1 ? 1 : 0)->setChecked(true);
    eTitel->setText(s.Title);
    eDIR->setText(s.RezervDir);
    seWait->setValue(s.WaitStart / 1000);
    seWaitFinish->SetValue(s.WaitFinish / 1000.0);
    m_zeitGroup->button(s.FormatZeit == 1 ? 1 : 0)->setChecked(true);
    cbAutoSort->setChecked(s.AutoSort);
    seDebounce->setValue(s.Debounce);
    LoadLiveControls(s);
    LoadStationControls(s);
}

void TCfgDialog::FormShow(const TSettings& s, const QList<int>& columnWidths) {
    // A negative contact logic locks the port choice.
    cbPort->setEnabled(s.Alg >= 0);
    sbDIR->setToolTip(eDIR->text());
    eDIRChange();
    cbPortChange();
    seWaitChange();
    const QSignalBlocker quiet(ColListBox1);
    for (int k = 0; k < ColListBox1->count(); ++k)
        ColListBox1->item(k)->setCheckState(columnWidths.value(k) > 0 ? Qt::Checked : Qt::Unchecked);
}

void TCfgDialog::StoreControls(TSettings& s) const {
    s.AutoSort = cbAutoSort->isChecked();
    s.FormatZeit = ZeitIndex();
    s.Title = eTitel->text();
    s.WaitStart = seWait->value() * 1000;
    s.WaitFinish = static_cast<int>(std::lround(seWaitFinish->Value() * 1000.0));
    s.RezervDir = eDIR->text();
    s.Columns = TickedColumns() | TSettings::kForcedColumns;
    s.Klass = (s.Columns & (1 << 6)) != 0;
    // "Klasse" and "Kl.-Pl." are shown together or not at all.
    if (s.Klass)
        s.Columns |= (1 << 6) | (1 << 7);
    else
        s.Columns &= ~((1 << 6) | (1 << 7));
    s.Acc = 2 - cbDigits->currentIndex();
    s.StartType = StartIndex();
    s.Timer = seTimer->value();
    s.Debounce = seDebounce->value();
    StoreLiveControls(s);
    StoreStationControls(s);
    const int entry = cbPort->currentIndex();
    if (entry > 0) {
        // A new choice keeps the adapter's stable name where it has one: it is
        // opened by that name, whatever ttyUSBn it gets; the number stays for
        // built-in ports and older program versions. The loaded entry keeps the
        // stored choice as it is, so confirming changes nothing.
        if (entry != m_oldPortEntry) {
            s.Port = cbPort->itemData(entry, kPortRole).toInt();
            s.PortPath = cbPort->itemData(entry, kPortPathRole).toString();
        }
        if (cbAlg->currentIndex() >= 0)
            s.Alg = cbAlg->currentIndex();
    } else if (entry == 0) {
        s.Port = 0;
        s.PortPath.clear();
    }
    // No entry (the stored port is not on this computer): the stored port stays.
}

// The entry of the stored choice: its stable name first, else its number; 0
// for none, -1 when the adapter is not on this computer now.
int TCfgDialog::PortEntryOf(const TSettings& s) const {
    if (s.Port == 0 && s.PortPath.isEmpty())
        return 0;
    if (!s.PortPath.isEmpty()) {
        const int byPath = cbPort->findData(s.PortPath, kPortPathRole);
        if (byPath > 0)
            return byPath;
    }
    // A stored number without a stable name, or an adapter now known by another name.
    return s.Port != 0 && s.PortPath.isEmpty() ? cbPort->findData(s.Port, kPortRole) : -1;
}

bool TCfgDialog::PortEntryChanged() const {
    return cbPort->currentIndex() != m_oldPortEntry;
}

int TCfgDialog::TickedColumns() const {
    int mask = 0;
    for (int k = 0; k < ColListBox1->count() && k < 31; ++k)
        if (ColListBox1->item(k)->checkState() == Qt::Checked)
            mask |= 1 << k;
    return mask;
}

int TCfgDialog::StartIndex() const {
    return std::max(m_startGroup->checkedId(), 0);
}

int TCfgDialog::ZeitIndex() const {
    return std::max(m_zeitGroup->checkedId(), 0);
}

void TCfgDialog::cbDigitsChange() {
    if (cbDigits->currentIndex() >= 0)
        emit DigitsPreview(2 - cbDigits->currentIndex());
}

void TCfgDialog::cbPortChange() {
    const bool port = cbPort->currentIndex() > 0;
    cbAlg->setEnabled(port);
    seWait->setEnabled(port);
    seWaitFinish->setEnabled(port);
}

void TCfgDialog::seTimerChange() {
    // The start contact re-arms one second before the next automatic start.
    seWait->setValue(seTimer->value() > 0 ? seTimer->value() - 1 : 1);
    seWaitChange();
}

void TCfgDialog::seWaitChange() {
    // Red: the start lock-out is not shorter than the countdown period.
    SetRed(seWait, seWait->value() >= seTimer->value() && seTimer->value() >= 2);
}

void TCfgDialog::ColListBox1ClickCheck(QListWidgetItem* item) {
    if (m_fixingTicks || !item)
        return;
    m_fixingTicks = true;
    if (ColListBox1->count() > 7)
        ColListBox1->item(7)->setCheckState(ColListBox1->item(6)->checkState());
    for (int k : {0, 1, 10})
        if (k < ColListBox1->count())
            ColListBox1->item(k)->setCheckState(Qt::Checked);
    m_fixingTicks = false;
}

void TCfgDialog::sbDIRClick() {
    QString folder = m_prompts.folderName(this, QDir::rootPath());
    if (folder.isEmpty())
        return;
    if (!folder.endsWith(QLatin1Char('/')))
        folder += QLatin1Char('/');
    eDIR->setText(folder);
    sbDIR->setToolTip(folder);
}

void TCfgDialog::eDIRChange() {
    const QString text = eDIR->text();
    SetRed(eDIR, text.isEmpty() || !QFileInfo(text).isDir());
}
