// The .xlsx reader: the first worksheet of an Office Open XML workbook, read with
// libzip (through ZipReader) and pugixml, large sheets in slices.
#include "core/files/SpreadsheetReader.h"

#include "core/base/ZipReader.h"
#include "xls-reader/SpreadsheetText.h"

#include <pugixml.hpp>

#include <charconv>
#include <cstring>
#include <functional>
#include <string_view>
#include <unordered_map>

namespace {

// Sheet XML is parsed in slices of about this size, cut after a complete row.
constexpr qsizetype SliceSize = 4 * 1024 * 1024;

// The parts of the workbook, with the reader's German reasons.
class WorkbookParts {
public:
    bool Open(const QByteArray& data, QString* reason) {
        if (m_zip.Open(data))
            return true;
        SetReasonText(reason, DamagedWorkbookText(QStringLiteral("kein gültiges ZIP-Archiv: %1").arg(m_zip.Detail())));
        return false;
    }
    bool Has(const QString& name) const { return m_zip.Has(name); }
    bool Read(const QString& name, QByteArray& out, QString* reason) {
        if (m_zip.Read(name, out))
            return true;
        switch (m_zip.LastStatus()) {
        case ZipReader::Status::TooLarge:
            SetReasonText(reason, WorkbookTooLargeText(MaxWorkbookPartSize));
            break;
        case ZipReader::Status::Missing:
            SetReasonText(reason, DamagedWorkbookText(QStringLiteral("Teil %1 fehlt").arg(name)));
            break;
        default:
            SetReasonText(reason, DamagedWorkbookText(QStringLiteral("Teil %1 lässt sich nicht entpacken").arg(name)));
            break;
        }
        return false;
    }

private:
    ZipReader m_zip{MaxWorkbookPartSize};
};

constexpr unsigned ParseOptions = pugi::parse_default | pugi::parse_ws_pcdata_single;

std::string_view LocalName(const char* name) {
    std::string_view n(name);
    const size_t colon = n.rfind(':');
    return colon == std::string_view::npos ? n : n.substr(colon + 1);
}

pugi::xml_attribute Attribute(const pugi::xml_node& node, std::string_view localName) {
    for (pugi::xml_attribute a = node.first_attribute(); a; a = a.next_attribute())
        if (LocalName(a.name()) == localName)
            return a;
    return {};
}

pugi::xml_node Child(const pugi::xml_node& node, std::string_view localName) {
    for (pugi::xml_node c = node.first_child(); c; c = c.next_sibling())
        if (c.type() == pugi::node_element && LocalName(c.name()) == localName)
            return c;
    return {};
}

bool ParseWhole(const QByteArray& xml, pugi::xml_document& doc) {
    return doc.load_buffer(xml.constData(), static_cast<size_t>(xml.size()), ParseOptions);
}

int HexDigit(char16_t c) {
    if (c >= u'0' && c <= u'9')
        return c - u'0';
    if (c >= u'A' && c <= u'F')
        return c - u'A' + 10;
    if (c >= u'a' && c <= u'f')
        return c - u'a' + 10;
    return -1;
}

// Office escapes characters XML cannot carry as "_xHHHH_".
QString UnescapeOfficeText(const char* utf8) {
    QString s = QString::fromUtf8(utf8);
    if (!s.contains(QLatin1String("_x")))
        return s;
    QString out;
    out.reserve(s.size());
    for (qsizetype i = 0; i < s.size(); ++i) {
        if (s[i] == QLatin1Char('_') && i + 6 < s.size() && s[i + 1] == QLatin1Char('x') &&
            s[i + 6] == QLatin1Char('_')) {
            int code = 0;
            bool hex = true;
            for (int k = 2; k < 6 && hex; ++k) {
                const int d = HexDigit(s[i + k].unicode());
                hex = d >= 0;
                code = code * 16 + d;
            }
            if (hex) {
                out.append(QChar(static_cast<char16_t>(code)));
                i += 6;
                continue;
            }
        }
        out.append(s[i]);
    }
    return out;
}

// Text of an <si> or <is> element: its <t>, or the <t> of each rich-text run.
QString RichText(const pugi::xml_node& node) {
    QString text;
    for (pugi::xml_node c = node.first_child(); c; c = c.next_sibling()) {
        const std::string_view name = LocalName(c.name());
        if (name == "t") {
            text += UnescapeOfficeText(c.child_value());
        } else if (name == "r") {
            const pugi::xml_node t = Child(c, "t");
            if (t)
                text += UnescapeOfficeText(t.child_value());
        }
    }
    return text;
}

bool IsNameChar(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '-' ||
           c == '.' || c == ':';
}

// Calls `visit` for every element with local name `child` inside the first element
// with local name `container`. The container's content is parsed in slices that end
// after a complete child, so a large sheet never becomes one large tree in memory.
bool ForEachElement(const QByteArray& xml, std::string_view container, std::string_view child,
                    const std::function<bool(const pugi::xml_node&)>& visit, QString* reason) {
    const char* const data = xml.constData();
    const qsizetype size = xml.size();
    // Find the container's start tag.
    qsizetype pos = 0;
    QByteArray prefix;
    qsizetype contentStart = -1;
    while ((pos = xml.indexOf('<', pos)) >= 0) {
        qsizetype end = pos + 1;
        while (end < size && IsNameChar(data[end]))
            ++end;
        const std::string_view name(data + pos + 1, static_cast<size_t>(end - pos - 1));
        const size_t colon = name.rfind(':');
        const std::string_view local = colon == std::string_view::npos ? name : name.substr(colon + 1);
        if (local == container) {
            prefix = colon == std::string_view::npos ? QByteArray()
                                                     : QByteArray(name.data(), static_cast<qsizetype>(colon + 1));
            const qsizetype close = xml.indexOf('>', end);
            if (close < 0) {
                SetReasonText(reason, DamagedWorkbookText(QStringLiteral("XML unvollständig")));
                return false;
            }
            if (data[close - 1] == '/')
                return true; // no content at all
            contentStart = close + 1;
            break;
        }
        pos = end;
    }
    if (contentStart < 0)
        return true;

    const QByteArray endContainer = "</" + prefix + QByteArray(container.data(), container.size()) + ">";
    qsizetype contentEnd = xml.indexOf(endContainer, contentStart);
    if (contentEnd < 0)
        contentEnd = size;
    const QByteArray endChild = "</" + prefix + QByteArray(child.data(), child.size()) + ">";

    for (qsizetype start = contentStart; start < contentEnd;) {
        qsizetype stop = contentEnd;
        if (start + SliceSize < contentEnd) {
            const qsizetype found = xml.indexOf(endChild, start + SliceSize);
            if (found >= 0 && found < contentEnd)
                stop = found + endChild.size();
        }
        pugi::xml_document doc;
        const pugi::xml_parse_result result =
            doc.load_buffer(data + start, static_cast<size_t>(stop - start), ParseOptions | pugi::parse_fragment);
        if (!result) {
            SetReasonText(reason, DamagedWorkbookText(
                                      QStringLiteral("XML-Fehler: %1").arg(QString::fromUtf8(result.description()))));
            return false;
        }
        for (pugi::xml_node n = doc.first_child(); n; n = n.next_sibling())
            if (n.type() == pugi::node_element && LocalName(n.name()) == child && !visit(n))
                return false;
        start = stop;
    }
    return true;
}

// "worksheets/sheet1.xml" relative to the folder of `base` ("xl/workbook.xml"), or an absolute "/xl/...".
QString ResolvePart(const QString& base, const QString& target) {
    QString path;
    if (target.startsWith(QLatin1Char('/'))) {
        path = target.mid(1);
    } else {
        const qsizetype slash = base.lastIndexOf(QLatin1Char('/'));
        path = (slash >= 0 ? base.left(slash + 1) : QString()) + target;
    }
    QStringList parts;
    for (const QString& p : path.split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
        if (p == QLatin1String(".."))
            parts.isEmpty() ? void() : parts.removeLast();
        else if (p != QLatin1String("."))
            parts.append(p);
    }
    return parts.join(QLatin1Char('/'));
}

QString RelsName(const QString& part) {
    const qsizetype slash = part.lastIndexOf(QLatin1Char('/'));
    return part.left(slash + 1) + QStringLiteral("_rels/") + part.mid(slash + 1) + QStringLiteral(".rels");
}

struct Relationship {
    QString type;
    QString target;
};

// Relationships of a part by id; a missing rels part gives none.
bool ReadRelationships(WorkbookParts& zip, const QString& part, std::unordered_map<std::string, Relationship>& rels,
                       QString* reason) {
    const QString name = RelsName(part);
    if (!zip.Has(name))
        return true;
    QByteArray xml;
    if (!zip.Read(name, xml, reason))
        return false;
    pugi::xml_document doc;
    if (!ParseWhole(xml, doc)) {
        SetReasonText(reason, DamagedWorkbookText(QStringLiteral("XML-Fehler in %1").arg(name)));
        return false;
    }
    const pugi::xml_node root = doc.document_element();
    for (pugi::xml_node r = root.first_child(); r; r = r.next_sibling()) {
        if (LocalName(r.name()) != "Relationship")
            continue;
        rels[r.attribute("Id").value()] = {QString::fromUtf8(r.attribute("Type").value()),
                                           QString::fromUtf8(r.attribute("Target").value())};
    }
    return true;
}

bool ReadSharedStrings(WorkbookParts& zip, const QString& part, QStringList& strings, QString* reason) {
    QByteArray xml;
    if (!zip.Read(part, xml, reason))
        return false;
    return ForEachElement(
        xml, "sst", "si",
        [&](const pugi::xml_node& si) {
            strings.append(RichText(si));
            return true;
        },
        reason);
}

// "C7" → column 2; -1 when the reference has no column letters or too many.
int ColumnOfReference(const char* ref) {
    int col = 0;
    int letters = 0;
    for (; *ref; ++ref) {
        const char c = *ref;
        if (c >= 'A' && c <= 'Z')
            col = col * 26 + (c - 'A' + 1);
        else if (c >= 'a' && c <= 'z')
            col = col * 26 + (c - 'a' + 1);
        else
            break;
        if (++letters > 3)
            return -1;
    }
    return letters == 0 ? -1 : col - 1;
}

// Positive row number of a reference ("C7" → 7, "7" → 7); 0 when there is none.
qint64 RowOfReference(const char* ref) {
    while (*ref && !(*ref >= '0' && *ref <= '9'))
        ++ref;
    qint64 row = 0;
    for (; *ref >= '0' && *ref <= '9'; ++ref) {
        row = row * 10 + (*ref - '0');
        if (row > MaxSheetRows)
            return MaxSheetRows + 1;
    }
    return row;
}

QString CellValueText(const pugi::xml_node& c, const QStringList& shared) {
    const std::string_view type = c.attribute("t").value();
    if (type == "inlineStr") {
        const pugi::xml_node is = Child(c, "is");
        return is ? RichText(is) : QString();
    }
    const pugi::xml_node v = Child(c, "v");
    if (!v)
        return QString();
    const char* value = v.child_value();
    if (type == "s") {
        long index = -1;
        const char* end = value + std::strlen(value);
        const auto [p, ec] = std::from_chars(value, end, index);
        return ec == std::errc() && index >= 0 && index < shared.size() ? shared[index] : QString();
    }
    if (type == "b")
        return CellBoolText(std::string_view(value) == "1" || std::string_view(value) == "true");
    if (type == "str" || type == "e" || type == "d")
        return UnescapeOfficeText(value);
    // A number.
    const char* begin = value;
    const char* end = value + std::strlen(value);
    while (begin < end && *begin == ' ')
        ++begin;
    double number = 0;
    const auto [p, ec] = std::from_chars(begin, end, number);
    if (ec != std::errc() || p != end)
        return QString::fromUtf8(value);
    return CellNumberText(number);
}

// The first part whose relationship type names a worksheet, in workbook order.
bool FindFirstWorksheet(WorkbookParts& zip, QString& workbook, QString& sheetPart, QString& sharedPart,
                        QString* reason) {
    workbook = QStringLiteral("xl/workbook.xml");
    std::unordered_map<std::string, Relationship> packageRels;
    if (!ReadRelationships(zip, QString(), packageRels, reason))
        return false;
    for (const auto& [id, rel] : packageRels)
        if (rel.type.endsWith(QLatin1String("/officeDocument")))
            workbook = ResolvePart(QString(), rel.target);
    if (!zip.Has(workbook)) {
        SetReasonText(reason, QStringLiteral("Die Datei ist keine Excel-Arbeitsmappe."));
        return false;
    }
    QByteArray xml;
    if (!zip.Read(workbook, xml, reason))
        return false;
    pugi::xml_document doc;
    if (!ParseWhole(xml, doc)) {
        SetReasonText(reason, DamagedWorkbookText(QStringLiteral("XML-Fehler in %1").arg(workbook)));
        return false;
    }
    std::unordered_map<std::string, Relationship> rels;
    if (!ReadRelationships(zip, workbook, rels, reason))
        return false;
    for (const auto& [id, rel] : rels)
        if (rel.type.endsWith(QLatin1String("/sharedStrings")))
            sharedPart = ResolvePart(workbook, rel.target);
    if (sharedPart.isEmpty() && zip.Has(QStringLiteral("xl/sharedStrings.xml")))
        sharedPart = QStringLiteral("xl/sharedStrings.xml");

    const pugi::xml_node sheets = Child(doc.document_element(), "sheets");
    for (pugi::xml_node s = sheets.first_child(); s; s = s.next_sibling()) {
        if (LocalName(s.name()) != "sheet")
            continue;
        const auto it = rels.find(Attribute(s, "id").value());
        if (it != rels.end() && it->second.type.endsWith(QLatin1String("/worksheet"))) {
            sheetPart = ResolvePart(workbook, it->second.target);
            return true;
        }
    }
    SetReasonText(reason, QStringLiteral("Die Arbeitsmappe enthält kein Tabellenblatt."));
    return false;
}

} // namespace

bool ReadXlsxSheet(const QByteArray& data, SheetTexts& sheet, QString* reason) {
    WorkbookParts zip;
    if (!zip.Open(data, reason))
        return false;
    QString workbook, sheetPart, sharedPart;
    if (!FindFirstWorksheet(zip, workbook, sheetPart, sharedPart, reason))
        return false;
    QStringList shared;
    if (!sharedPart.isEmpty() && zip.Has(sharedPart) && !ReadSharedStrings(zip, sharedPart, shared, reason))
        return false;
    QByteArray xml;
    if (!zip.Read(sheetPart, xml, reason))
        return false;

    SheetTexts result(sheet.Columns());
    qint64 row = 0; // 1-based number of the row being read
    const bool ok = ForEachElement(
        xml, "sheetData", "row",
        [&](const pugi::xml_node& r) {
            const pugi::xml_attribute ref = r.attribute("r");
            row = ref ? RowOfReference(ref.value()) : row + 1;
            if (row < 1 || row > MaxSheetRows) {
                SetReasonText(reason, DamagedWorkbookText(QStringLiteral("ungültige Zeilennummer")));
                return false;
            }
            int col = -1;
            for (pugi::xml_node c = r.first_child(); c; c = c.next_sibling()) {
                if (LocalName(c.name()) != "c")
                    continue;
                const pugi::xml_attribute cref = c.attribute("r");
                col = cref ? ColumnOfReference(cref.value()) : col + 1;
                if (col < 0 || col >= result.Columns())
                    continue;
                const QString text = CellValueText(c, shared);
                if (!text.isEmpty())
                    result.SetText(static_cast<int>(row - 1), col, text);
            }
            return true;
        },
        reason);
    if (!ok)
        return false;
    sheet = std::move(result);
    return true;
}
