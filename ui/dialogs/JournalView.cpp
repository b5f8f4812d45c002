#include "ui/dialogs/JournalView.h"

#include "core/race/JournalEntry.h"
#include "core/race/JournalReplay.h"

#include <QAction>
#include <QClipboard>
#include <QFile>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {

enum ViewCol { Date, Clock, Event, Source, Number, Time, Detail, Count };

QString DetailText(const JournalEntry& e) {
    QStringList pairs;
    for (const auto& [key, value] : e.detail)
        pairs << key + QLatin1Char('=') + value;
    return pairs.join(QStringLiteral("; "));
}

} // namespace

JournalView::JournalView(QWidget* window, std::function<QString()> journalFile)
    : QDialog(window), m_journalFile(std::move(journalFile)) {
    setObjectName(QStringLiteral("JournalView"));
    setWindowTitle(QStringLiteral("Journal"));
    setModal(false);
    resize(900, 500);

    auto* layout = new QVBoxLayout(this);
    auto* top = new QHBoxLayout;
    top->addWidget(new QLabel(QStringLiteral("St.Nr.:"), this));
    EditNr = new QLineEdit(this);
    EditNr->setObjectName(QStringLiteral("EditNr"));
    EditNr->setPlaceholderText(QStringLiteral("alle"));
    EditNr->setMaximumWidth(120);
    top->addWidget(EditNr);
    LabelCount = new QLabel(this);
    LabelCount->setObjectName(QStringLiteral("LabelCount"));
    top->addWidget(LabelCount, 1);
    bRefresh = new QPushButton(QStringLiteral("Aktualisieren"), this);
    bRefresh->setObjectName(QStringLiteral("bRefresh"));
    bRefresh->setAutoDefault(false);
    top->addWidget(bRefresh);
    bCopy = new QPushButton(QStringLiteral("Zeit kopieren"), this);
    bCopy->setObjectName(QStringLiteral("bCopy"));
    bCopy->setAutoDefault(false);
    top->addWidget(bCopy);
    layout->addLayout(top);

    Table = new QTableWidget(0, ViewCol::Count, this);
    Table->setObjectName(QStringLiteral("Table"));
    Table->setHorizontalHeaderLabels({QStringLiteral("Datum"), QStringLiteral("Uhrzeit"), QStringLiteral("Ereignis"),
                                      QStringLiteral("Quelle"), QStringLiteral("St.Nr."), QStringLiteral("Zeit"),
                                      QStringLiteral("Detail")});
    Table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    Table->setSelectionBehavior(QAbstractItemView::SelectRows);
    Table->setSelectionMode(QAbstractItemView::SingleSelection);
    Table->verticalHeader()->hide();
    Table->horizontalHeader()->setStretchLastSection(true);
    layout->addWidget(Table);

    connect(EditNr, &QLineEdit::textChanged, this, &JournalView::ApplyFilter);
    connect(bRefresh, &QPushButton::clicked, this, &JournalView::Refresh);
    connect(bCopy, &QPushButton::clicked, this, &JournalView::CopyTime);

    mJournal = new QAction(QStringLiteral("Journal"), window);
    mJournal->setObjectName(QStringLiteral("mJournal"));
    mJournal->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_J));
    mJournal->setShortcutContext(Qt::WindowShortcut);
    window->addAction(mJournal);
    connect(mJournal, &QAction::triggered, this, &JournalView::mJournalClick);
    // The menu entry names its key in its caption like its neighbours; with the shortcut on
    // it as well, the menu would name the key twice.
    mJournalItem = new QAction(QStringLiteral("Journal      (Strg+J)"), window);
    mJournalItem->setObjectName(QStringLiteral("mJournalItem"));
    connect(mJournalItem, &QAction::triggered, this, &JournalView::mJournalClick);
}

void JournalView::mJournalClick() {
    Refresh();
    show();
    raise();
    activateWindow();
}

void JournalView::Refresh() {
    QFile file(m_journalFile ? m_journalFile() : QString());
    const QByteArray bytes = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    const QList<JournalEntry> race = CurrentRaceEntries(bytes);
    Table->setRowCount(0);
    Table->setRowCount(static_cast<int>(race.size()));
    // Newest first: the impulse the operator looks for is mostly a recent one.
    int row = 0;
    for (qsizetype i = race.size() - 1; i >= 0; --i, ++row) {
        const JournalEntry& e = race[i];
        const QStringList texts{e.date.toString(QStringLiteral("yyyy-MM-dd")),
                                e.clock.toString(QStringLiteral("HH:mm:ss,zzz")),
                                e.event,
                                e.source,
                                e.number,
                                e.time,
                                DetailText(e)};
        for (int col = 0; col < ViewCol::Count; ++col)
            Table->setItem(row, col, new QTableWidgetItem(texts[col]));
    }
    Table->resizeColumnsToContents();
    ApplyFilter();
}

void JournalView::ApplyFilter() {
    const QString number = EditNr->text().trimmed();
    int shown = 0;
    for (int row = 0; row < Table->rowCount(); ++row) {
        const bool match = number.isEmpty() || Table->item(row, ViewCol::Number)->text().trimmed() == number;
        Table->setRowHidden(row, !match);
        shown += match ? 1 : 0;
    }
    LabelCount->setText(QStringLiteral("%1 Ereignisse").arg(shown));
    // The newest shown event is selected, ready to be copied.
    for (int row = 0; row < Table->rowCount(); ++row) {
        if (!Table->isRowHidden(row)) {
            Table->selectRow(row);
            return;
        }
    }
    Table->clearSelection();
}

void JournalView::CopyTime() {
    const QList<QTableWidgetItem*> selected = Table->selectedItems();
    if (selected.isEmpty())
        return;
    const int row = selected.first()->row();
    QString text = Table->item(row, ViewCol::Time)->text().trimmed();
    if (text.isEmpty())
        text = Table->item(row, ViewCol::Clock)->text();
    QGuiApplication::clipboard()->setText(text);
}

void JournalView::keyPressEvent(QKeyEvent* event) {
    if (event->matches(QKeySequence::Copy)) {
        CopyTime();
        return;
    }
    QDialog::keyPressEvent(event);
}
