#include "app/AcceptanceMap.h"
#include "ui/widgets/TSortGrid.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QSaveFile>
#include <QTimer>
#include <QWidget>

namespace {

// A field must not break the line it stands in.
QString Field(QString text) {
    text.replace(QLatin1Char('\\'), QLatin1String("\\\\"));
    text.replace(QLatin1Char('\t'), QLatin1String("\\t"));
    text.replace(QLatin1Char('\n'), QLatin1String("\\n"));
    text.replace(QLatin1Char('\r'), QLatin1String("\\r"));
    return text;
}

QString TextOf(const QWidget* w) {
    if (const auto* b = qobject_cast<const QAbstractButton*>(w))
        return b->text();
    if (const auto* l = qobject_cast<const QLabel*>(w))
        return l->text();
    if (const auto* e = qobject_cast<const QLineEdit*>(w))
        return e->text();
    if (const auto* c = qobject_cast<const QComboBox*>(w))
        return c->currentText();
    return {};
}

QString Line(const char* kind, const QWidget* w, const QString& text) {
    const QRect r(w->mapToGlobal(QPoint(0, 0)), w->size());
    const auto* button = qobject_cast<const QAbstractButton*>(w);
    const char* checked = button && button->isCheckable() ? (button->isChecked() ? "1" : "0") : "-";
    return QStringLiteral("%1\t%2\t%3\t%4\t%5\t%6\t%7\t%8\t%9\t%10\t%11\n")
        .arg(QLatin1String(kind), Field(w->objectName()), QLatin1String(w->metaObject()->className()))
        .arg(r.x())
        .arg(r.y())
        .arg(r.width())
        .arg(r.height())
        .arg(w->isVisible() ? 1 : 0)
        .arg(w->isEnabled() ? 1 : 0)
        .arg(Field(text), QLatin1String(checked));
}

} // namespace

AcceptanceMap::AcceptanceMap(const QString& fileName, QObject* parent) : QObject(parent), m_fileName(fileName) {
    if (!Active())
        return;
    m_timer = new QTimer(this);
    m_timer->setInterval(50);
    connect(m_timer, &QTimer::timeout, this, &AcceptanceMap::Poll);
    m_timer->start();
}

QByteArray AcceptanceMap::Describe() {
    QString out;
    const QWidget* focus = QApplication::focusWidget();
    out += QStringLiteral("focus\t%1\t%2\n")
               .arg(focus ? Field(focus->objectName()) : QString(),
                    focus ? QLatin1String(focus->metaObject()->className()) : QLatin1String(""));
    const QWidget* active = QApplication::activeWindow();
    out += QStringLiteral("active\t%1\n").arg(active ? Field(active->objectName()) : QString());
    for (QWidget* top : QApplication::topLevelWidgets()) {
        if (!top->isVisible())
            continue;
        out += Line("window", top, top->windowTitle());
        for (QWidget* w : top->findChildren<QWidget*>()) {
            if (!w->objectName().isEmpty() && !w->objectName().startsWith(QLatin1String("qt_")))
                out += Line("control", w, TextOf(w));
        }
        // The visible cells of the tables, so that a cell can be clicked and its text read.
        for (const TSortGrid* grid : top->findChildren<TSortGrid*>()) {
            if (!grid->isVisible())
                continue;
            for (int row = 0; row < grid->RowCount(); ++row) {
                for (int col = 0; col < grid->ColCount(); ++col) {
                    const QRect cell = grid->CellRect(col, row);
                    if (cell.isEmpty())
                        continue;
                    const QPoint at = grid->viewport()->mapToGlobal(cell.topLeft());
                    out += QStringLiteral("cell\t%1\t%2\t%3\t%4\t%5\t%6\t%7\t%8\n")
                               .arg(grid->objectName())
                               .arg(col)
                               .arg(row)
                               .arg(at.x())
                               .arg(at.y())
                               .arg(cell.width())
                               .arg(cell.height())
                               .arg(Field(grid->Cell(col, row)));
                }
            }
        }
    }
    return out.toUtf8();
}

void AcceptanceMap::Poll() {
    const QString request = m_fileName + QStringLiteral(".req");
    if (!QFile::exists(request))
        return;
    QSaveFile file(m_fileName);
    if (file.open(QIODevice::WriteOnly)) {
        file.write(Describe());
        file.commit();
    }
    QFile::remove(request);
}
