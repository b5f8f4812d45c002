#pragma once

// A zip archive built in memory (the parts of an office document), read from a
// template file when there is one. The caller writes the finished bytes itself,
// so the target file is replaced atomically.

#include <QByteArray>
#include <QList>
#include <QString>

#include <utility>

class ZipPackage {
public:
    // Reads every entry of the archive `fileName`; false with the reason in `error`.
    bool Load(const QString& fileName, QString* error);

    bool Contains(const QString& name) const;
    QByteArray Entry(const QString& name) const;
    // Replaces the entry of that name or appends a new one.
    void SetEntry(const QString& name, const QByteArray& data);

    // The archive's bytes (deflated entries, in their order); false with the reason in `error`.
    bool Build(QByteArray& out, QString* error) const;

private:
    QList<std::pair<QString, QByteArray>> m_entries;
};
