#include "ui/dialogs/TCfgDialog.h"

#include "core/platform/Prompts.h"
#include "ui/dialogs/AlgItemDelegate.h"
#include "ui/widgets/TSpinFloatEdit.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
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

void SetRed(QWidget* w, bool red) {
    QPalette p = w->palette();
    p.setColor(QPalette::Text, red ? QColor(255, 0, 0) : QColor(0, 0, 0));
    w->setPalette(p);
}

QGroupBox* RadioGroup(QWidget* parent, const char* name, const QString& title, const QStringList& entries,
                      QButtonGroup*& group) {
    auto* box = Named(new QGroupBox(title, parent), name);
    auto* column = new QVBoxLayout(box);
    column->setContentsMargins(6, 2, 6, 4);
    column->setSpacing(2);
    group = new QButtonGroup(box);
    for (int i = 0; i < entries.size(); ++i) {
        auto* radio = new QRadioButton(entries[i], box);
        radio->setObjectName(QStringLiteral("%1%2").arg(QLatin1String(name)).arg(i));
        group->addButton(radio, i);
        column->addWidget(radio, 0, Qt::AlignLeft); // as wide as its text: a click beside it is none
    }
    return box;
}

} // namespace

TCfgDialog::TCfgDialog(Prompts& prompts, QWidget* parent) : QDialog(parent), m_prompts(prompts) {
    setObjectName(QStringLiteral("CfgDialog"));
    setWindowTitle(QStringLiteral("Einstellungen"));
    QFont f(QStringLiteral("MS Sans Serif"));
    f.setPixelSize(11);
    setFont(f);
    BuildControls();
    BuildLiveControls();
    BuildStationControls();
    SetTabOrder();
}

// Laid out, not placed: every text keeps its whole width in whatever font stands in for
// "MS Sans Serif", and the dialog takes the size its contents need.
void TCfgDialog::BuildControls() {
    auto* page = new QVBoxLayout(this);
    page->setSizeConstraint(QLayout::SetFixedSize);
    page->setContentsMargins(8, 8, 8, 8);
    page->setSpacing(6);

    // Title and backup folder, over the whole width.
    auto* top = new QGridLayout;
    top->setHorizontalSpacing(4);
    top->setVerticalSpacing(4);
    auto* titleLabel = Named(new QLabel(QStringLiteral("Titel:"), this), "LabTitel");
    eTitel = Named(new QLineEdit(QStringLiteral("Wettkampftitel"), this), "eTitel");
    titleLabel->setBuddy(eTitel);
    top->addWidget(titleLabel, 0, 0);
    top->addWidget(eTitel, 0, 1);
    sbDIR = Named(new QToolButton(this), "sbDIR");
    sbDIR->setText(QStringLiteral("Sicherungsordner:"));
    connect(sbDIR, &QToolButton::clicked, this, &TCfgDialog::sbDIRClick);
    eDIR = Named(new QLineEdit(this), "eDIR");
    eDIR->setMinimumWidth(220);
    connect(eDIR, &QLineEdit::textChanged, this, &TCfgDialog::eDIRChange);
    top->addWidget(sbDIR, 1, 0);
    top->addWidget(eDIR, 1, 1);
    page->addLayout(top);

    // Left the choices, right the column list.
    auto* middle = new QHBoxLayout;
    middle->setSpacing(10);
    auto* left = new QGridLayout;
    left->setHorizontalSpacing(6);
    left->setVerticalSpacing(3);
    auto label = [this](const QString& text, const char* name) { return Named(new QLabel(text, this), name); };

    cbDigits = Named(new QComboBox(this), "cbDigits");
    cbDigits->addItems({QStringLiteral("HH:MM:SS,ms"), QStringLiteral("HH:MM:SS,s"), QStringLiteral("HH:MM:SS")});
    connect(cbDigits, &QComboBox::currentIndexChanged, this, &TCfgDialog::cbDigitsChange);
    left->addWidget(label(QStringLiteral("Zeitformat:"), "LabDigits"), 0, 0, 1, 3);
    left->addWidget(cbDigits, 1, 0, 1, 3);

    cbPort = Named(new QComboBox(this), "cbPort");
    cbPort->addItem(QStringLiteral("Keine"));
    connect(cbPort, &QComboBox::currentIndexChanged, this, &TCfgDialog::cbPortChange);
    cbAlg = Named(new QComboBox(this), "cbAlg");
    cbAlg->setItemDelegate(new AlgItemDelegate(cbAlg));
    cbAlg->setIconSize(QSize(41, 16));
    cbAlg->addItem(QIcon(AlgItemDelegate::Picture(0)), QStringLiteral("Ein"));
    cbAlg->addItem(QIcon(AlgItemDelegate::Picture(1)), QStringLiteral("Aus"));
    cbAlg->setToolTip(QStringLiteral("[4+6]-Start, [1+4]-Stopp"));
    cbAlg->setEnabled(false);
    auto* port = new QGridLayout;
    port->setHorizontalSpacing(8);
    port->setVerticalSpacing(3);
    port->addWidget(label(QStringLiteral("Lichtschranke:"), "LabPort"), 0, 0);
    port->addWidget(label(QStringLiteral("Algorithmus:"), "LabAlg"), 0, 1);
    port->addWidget(cbPort, 1, 0);
    port->addWidget(cbAlg, 1, 1);
    left->addItem(new QSpacerItem(0, 4), 2, 0);
    left->addLayout(port, 3, 0, 1, 3);
    left->addItem(new QSpacerItem(0, 4), 4, 0);

    // Label, spin box, unit: three columns, so that no text is covered by a box.
    int row = 5;
    auto spinRow = [&](const QString& text, const char* name, QWidget* spin, const QString& unit) {
        auto* l = label(text, name);
        l->setBuddy(spin);
        left->addWidget(l, row, 0);
        left->addWidget(spin, row, 1);
        left->addWidget(label(unit, QByteArray(name).append("Unit").constData()), row, 2);
        ++row;
    };
    seTimer = Named(new QSpinBox(this), "seTimer");
    seTimer->setRange(0, 600);
    seTimer->setValue(5);
    connect(seTimer, &QSpinBox::valueChanged, this, &TCfgDialog::seTimerChange);
    spinRow(QStringLiteral("Timer:"), "LabTimer", seTimer, QStringLiteral("Sek."));

    seWait = Named(new QSpinBox(this), "seWait");
    seWait->setRange(1, 900);
    seWait->setValue(4);
    connect(seWait, &QSpinBox::valueChanged, this, &TCfgDialog::seWaitChange);
    spinRow(QStringLiteral("Start-Sperrzeit:"), "LabWait", seWait, QStringLiteral("Sek."));

    seWaitFinish = Named(new TSpinFloatEdit(this), "seWaitFinish");
    seWaitFinish->SetDigits(2);
    seWaitFinish->SetMax(5.0);
    seWaitFinish->SetMin(0.0);
    seWaitFinish->SetIncrement(0.01);
    seWaitFinish->SetValue(0.2);
    spinRow(QStringLiteral("Ziel-Sperrzeit:"), "LabWaitFinish", seWaitFinish, QStringLiteral("Sek."));

    seDebounce = Named(new QSpinBox(this), "seDebounce");
    seDebounce->setRange(0, 50);
    seDebounce->setValue(2);
    seDebounce->setToolTip(QStringLiteral("Kontakte: Prellen kürzer als diese Zeit zählt nicht"));
    spinRow(QStringLiteral("Entprellung:"), "LabDebounce", seDebounce, QStringLiteral("ms"));
    // The boxes are as wide as the widest needs ("900" with its arrows), not as wide as an edit.
    const int spinWidth =
        std::max({seTimer->sizeHint().width(), seWait->sizeHint().width(), seDebounce->sizeHint().width(), 64});
    for (QWidget* spin : {static_cast<QWidget*>(seTimer), static_cast<QWidget*>(seWait),
                          static_cast<QWidget*>(seWaitFinish), static_cast<QWidget*>(seDebounce)})
        spin->setFixedWidth(spinWidth);
    left->setColumnStretch(2, 1);
    left->setRowStretch(row, 1);

    auto* right = new QVBoxLayout;
    right->setSpacing(3);
    ColListBox1 = Named(new QListWidget(this), "ColListBox1");
    connect(ColListBox1, &QListWidget::itemChanged, this, &TCfgDialog::ColListBox1ClickCheck);
    right->addWidget(label(QStringLiteral("Protokollspalten:"), "LabColumns"));
    right->addWidget(ColListBox1, 1);
    middle->addLayout(left);
    middle->addLayout(right);
    page->addLayout(middle);

    cbAutoSort = Named(new QCheckBox(QStringLiteral("Autosortierung des Protokolls"), this), "cbAutoSort");
    page->addWidget(cbAutoSort, 0, Qt::AlignLeft);

    auto* radios = new QHBoxLayout;
    radios->setSpacing(8);
    cbStart = RadioGroup(this, "cbStart", QStringLiteral(" START "),
                         {QStringLiteral("Einzeln"), QStringLiteral("Massenstart")}, m_startGroup);
    rgZeit = RadioGroup(this, "rgZeit", QStringLiteral(" ZEIT "),
                        {QStringLiteral("aktuelle PC"), QStringLiteral("ab   0,0")}, m_zeitGroup);
    radios->addWidget(cbStart, 1);
    radios->addWidget(rgZeit, 1);
    page->addLayout(radios);
    m_startGroup->button(0)->setChecked(true);
    m_zeitGroup->button(0)->setChecked(true);

    // Further groups (live results, ...) go here, above the buttons.
    m_groups = new QVBoxLayout;
    m_groups->setSpacing(6);
    page->addLayout(m_groups);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    OKBtn = Named(new QPushButton(QStringLiteral("OK"), this), "OKBtn");
    OKBtn->setDefault(true);
    connect(OKBtn, &QPushButton::clicked, this, &QDialog::accept);
    CancelBtn = Named(new QPushButton(QStringLiteral("Abbrechen"), this), "CancelBtn");
    connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);
    for (QPushButton* b : {OKBtn, CancelBtn}) {
        b->setMinimumWidth(78);
        buttons->addWidget(b);
    }
    page->addLayout(buttons);
}

void TCfgDialog::AddGroup(QGroupBox* group) {
    m_groups->addWidget(group);
}

// The order of the table of controls; a group's fields follow in their own order after
// the column list, the folder buttons right before their edits.
void TCfgDialog::SetTabOrder() {
    QList<QWidget*> order{OKBtn,
                          CancelBtn,
                          eTitel,
                          sbDIR,
                          eDIR,
                          cbDigits,
                          cbPort,
                          cbAlg,
                          seTimer,
                          seWait,
                          seWaitFinish,
                          seDebounce,
                          cbAutoSort,
                          m_startGroup->button(0),
                          m_startGroup->button(1),
                          m_zeitGroup->button(0),
                          m_zeitGroup->button(1),
                          ColListBox1};
    order << m_groupFields;
    for (qsizetype i = 1; i < order.size(); ++i)
        setTabOrder(order[i - 1], order[i]);
}

// The column list shows every entry without a scroll bar.
void TCfgDialog::FitColumnList() {
    int height = 2 * ColListBox1->frameWidth();
    for (int k = 0; k < ColListBox1->count(); ++k)
        height += ColListBox1->sizeHintForRow(k);
    ColListBox1->setMinimumHeight(height);
    ColListBox1->setMinimumWidth(ColListBox1->sizeHintForColumn(0) + 2 * ColListBox1->frameWidth() + 4);
    ColListBox1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    ColListBox1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
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
    FitColumnList();
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
