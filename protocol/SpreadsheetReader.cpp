#include "protocol/SpreadsheetReader.h"

#include "protocol/GridTextFile.h"
#include "widgets/CellText.h"
#include "widgets/SortGridData.h"

#include <QDataStream>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLocale>

#include <freexl.h>
#include <pugixml.hpp>
#include <zip.h>

#include <charconv>
#include <cmath>
#include <cstring>
#include <functional>
#include <string_view>
#include <unordered_map>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// Excel's own limit; a row number beyond it marks a damaged sheet.
constexpr int MaxSheetRows = 1048576;
// Sheet XML is parsed in slices of about this size, cut after a complete row.
constexpr qsizetype SliceSize = 4 * 1024 * 1024;
// Longest time an .xls may take to read before it counts as damaged.
constexpr qint64 XlsTimeoutMs = 60000;

QString Damaged(const QString& detail) {
    return QStringLiteral("Die Arbeitsmappe ist beschädigt (%1).").arg(detail);
}

QString TooLarge() {
    return QStringLiteral("Die Arbeitsmappe ist zu groß (mehr als %1 MB entpackt).")
        .arg(MaxWorkbookPartSize / (1024 * 1024));
}

void SetText(QString* target, const QString& text) {
    if (target)
        *target = text;
}

// Numbers as the default locale writes them; integral values without decimals.
QString NumberText(double value) {
    if (!std::isfinite(value))
        return QString();
    if (value == std::floor(value) && std::fabs(value) < 1e15)
        return QString::number(static_cast<qint64>(value));
    QLocale locale;
    locale.setNumberOptions(QLocale::OmitGroupSeparator);
    return locale.toString(value, 'g', 15);
}

QString BoolText(bool value) {
    return value ? QStringLiteral("WAHR") : QStringLiteral("FALSCH");
}

// Decimal integer, optionally signed, after optional leading blanks.
bool IsIntegerText(const QString& text) {
    qsizetype i = 0;
    while (i < text.size() && text[i] == QLatin1Char(' '))
        ++i;
    if (i < text.size() && (text[i] == QLatin1Char('+') || text[i] == QLatin1Char('-')))
        ++i;
    if (i == text.size())
        return false;
    qint64 v = 0;
    for (; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (c < u'0' || c > u'9')
            return false;
        v = v * 10 + (c - u'0');
        if (v > 2147483648LL)
            return false;
    }
    return true;
}

// ---------------------------------------------------------------- xlsx: zip

class ZipArchive {
public:
    ZipArchive() = default;
    ZipArchive(const ZipArchive&) = delete;
    ZipArchive& operator=(const ZipArchive&) = delete;
    ~ZipArchive() {
        if (m_zip)
            zip_discard(m_zip);
    }

    bool Open(const QByteArray& data, QString* reason) {
        zip_error_t error;
        zip_error_init(&error);
        zip_source_t* source = zip_source_buffer_create(data.constData(), data.size(), 0, &error);
        if (source)
            m_zip = zip_open_from_source(source, ZIP_RDONLY, &error);
        if (!m_zip) {
            if (source)
                zip_source_free(source);
            SetText(reason, Damaged(QStringLiteral("kein gültiges ZIP-Archiv: %1")
                                        .arg(QString::fromLocal8Bit(zip_error_strerror(&error)))));
            zip_error_fini(&error);
            return false;
        }
        zip_error_fini(&error);
        return true;
    }

    bool Has(const QString& name) const { return Locate(name) >= 0; }

    // Reads one part; the size limit counts all parts read so far, so a small archive
    // that unpacks to gigabytes is refused instead of filling the memory.
    bool Read(const QString& name, QByteArray& out, QString* reason) {
        const zip_int64_t index = Locate(name);
        if (index < 0) {
            SetText(reason, Damaged(QStringLiteral("Teil %1 fehlt").arg(name)));
            return false;
        }
        zip_stat_t st;
        zip_stat_init(&st);
        const bool sized = zip_stat_index(m_zip, index, 0, &st) == 0 && (st.valid & ZIP_STAT_SIZE);
        if (sized && st.size > static_cast<zip_uint64_t>(MaxWorkbookPartSize - m_total)) {
            SetText(reason, TooLarge());
            return false;
        }
        zip_file_t* file = zip_fopen_index(m_zip, index, 0);
        if (!file) {
            SetText(reason, Damaged(QStringLiteral("Teil %1 lässt sich nicht entpacken").arg(name)));
            return false;
        }
        out.clear();
        // The stated size is only a first guess; the limit holds for what really comes out.
        qsizetype chunk = sized ? static_cast<qsizetype>(st.size) + 1 : 256 * 1024;
        bool ok = true;
        for (;;) {
            if (m_total + out.size() > MaxWorkbookPartSize) {
                SetText(reason, TooLarge());
                ok = false;
                break;
            }
            const qsizetype before = out.size();
            out.resize(before + chunk);
            const zip_int64_t got = zip_fread(file, out.data() + before, static_cast<zip_uint64_t>(chunk));
            if (got < 0) {
                SetText(reason, Damaged(QStringLiteral("Teil %1 lässt sich nicht entpacken").arg(name)));
                ok = false;
                break;
            }
            out.resize(before + got);
            if (got == 0)
                break;
            chunk = 256 * 1024;
        }
        zip_fclose(file);
        if (!ok) {
            out.clear();
            return false;
        }
        m_total += out.size();
        return true;
    }

private:
    zip_int64_t Locate(const QString& name) const {
        return m_zip ? zip_name_locate(m_zip, name.toUtf8().constData(), ZIP_FL_NOCASE) : -1;
    }

    zip_t* m_zip = nullptr;
    qint64 m_total = 0;
};

// ---------------------------------------------------------------- xlsx: XML helpers

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
                SetText(reason, Damaged(QStringLiteral("XML unvollständig")));
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
            SetText(reason, Damaged(QStringLiteral("XML-Fehler: %1").arg(QString::fromUtf8(result.description()))));
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
bool ReadRelationships(ZipArchive& zip, const QString& part, std::unordered_map<std::string, Relationship>& rels,
                       QString* reason) {
    const QString name = RelsName(part);
    if (!zip.Has(name))
        return true;
    QByteArray xml;
    if (!zip.Read(name, xml, reason))
        return false;
    pugi::xml_document doc;
    if (!ParseWhole(xml, doc)) {
        SetText(reason, Damaged(QStringLiteral("XML-Fehler in %1").arg(name)));
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

bool ReadSharedStrings(ZipArchive& zip, const QString& part, QStringList& strings, QString* reason) {
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
        return BoolText(std::string_view(value) == "1" || std::string_view(value) == "true");
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
    return NumberText(number);
}

// The first part whose relationship type names a worksheet, in workbook order.
bool FindFirstWorksheet(ZipArchive& zip, QString& workbook, QString& sheetPart, QString& sharedPart, QString* reason) {
    workbook = QStringLiteral("xl/workbook.xml");
    std::unordered_map<std::string, Relationship> packageRels;
    if (!ReadRelationships(zip, QString(), packageRels, reason))
        return false;
    for (const auto& [id, rel] : packageRels)
        if (rel.type.endsWith(QLatin1String("/officeDocument")))
            workbook = ResolvePart(QString(), rel.target);
    if (!zip.Has(workbook)) {
        SetText(reason, QStringLiteral("Die Datei ist keine Excel-Arbeitsmappe."));
        return false;
    }
    QByteArray xml;
    if (!zip.Read(workbook, xml, reason))
        return false;
    pugi::xml_document doc;
    if (!ParseWhole(xml, doc)) {
        SetText(reason, Damaged(QStringLiteral("XML-Fehler in %1").arg(workbook)));
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
    SetText(reason, QStringLiteral("Die Arbeitsmappe enthält kein Tabellenblatt."));
    return false;
}

// ---------------------------------------------------------------- xls

class FreeXlFile {
public:
    FreeXlFile() = default;
    FreeXlFile(const FreeXlFile&) = delete;
    FreeXlFile& operator=(const FreeXlFile&) = delete;
    ~FreeXlFile() {
        if (m_handle)
            freexl_close(m_handle);
    }
    int Open(const QString& fileName) { return freexl_open(QFile::encodeName(fileName).constData(), &m_handle); }
    const void* Handle() const { return m_handle; }

private:
    const void* m_handle = nullptr;
};

QString FreeXlReason(int code) {
    switch (code) {
    case FREEXL_INSUFFICIENT_MEMORY:
        return QStringLiteral("Zu wenig Arbeitsspeicher.");
    case FREEXL_INVALID_CFBF_HEADER:
    case FREEXL_CFBF_INVALID_SIGNATURE:
        return QStringLiteral("Die Datei ist keine Excel-Arbeitsmappe.");
    case FREEXL_BIFF_WORKBOOK_NOT_FOUND:
        return QStringLiteral("Die Datei enthält keine Excel-Arbeitsmappe.");
    case FREEXL_UNSUPPORTED_CHARSET:
    case FREEXL_INVALID_CHARACTER:
        return QStringLiteral("Der Zeichensatz der Arbeitsmappe wird nicht unterstützt.");
    default:
        return Damaged(QStringLiteral("Fehler %1").arg(code));
    }
}

} // namespace

// ---------------------------------------------------------------- SheetTexts

SheetTexts::SheetTexts(int columns) : m_columns(qMax(columns, 0)) {}

QString SheetTexts::Text(int row, int col) const {
    if (row < 0 || row >= RowCount() || col < 0)
        return QString();
    const QStringList& r = m_rows[static_cast<size_t>(row)];
    return col < r.size() ? r[col] : QString();
}

void SheetTexts::SetText(int row, int col, const QString& text) {
    if (row < 0 || col < 0 || col >= m_columns)
        return;
    if (row >= RowCount())
        m_rows.resize(static_cast<size_t>(row) + 1);
    QStringList& r = m_rows[static_cast<size_t>(row)];
    if (r.size() <= col)
        r.resize(m_columns); // whole width at once: rows fill cell by cell
    r[col] = text;
}

// ---------------------------------------------------------------- readers

bool ReadXlsxSheet(const QByteArray& data, SheetTexts& sheet, QString* reason) {
    ZipArchive zip;
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
                SetText(reason, Damaged(QStringLiteral("ungültige Zeilennummer")));
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

namespace {

bool ReadXlsInThisProcess(const QString& fileName, SheetTexts& sheet, QString* reason) {
    FreeXlFile file;
    const int rc = file.Open(fileName);
    if (rc != FREEXL_OK) {
        SetText(reason, FreeXlReason(rc));
        return false;
    }
    unsigned int sheetCount = 0;
    if (freexl_get_info(file.Handle(), FREEXL_BIFF_SHEET_COUNT, &sheetCount) != FREEXL_OK || sheetCount == 0 ||
        freexl_select_active_worksheet(file.Handle(), 0) != FREEXL_OK) {
        SetText(reason, QStringLiteral("Die Arbeitsmappe enthält kein Tabellenblatt."));
        return false;
    }
    unsigned int rows = 0;
    unsigned short columns = 0;
    if (freexl_worksheet_dimensions(file.Handle(), &rows, &columns) != FREEXL_OK) {
        SetText(reason, Damaged(QStringLiteral("Tabellengröße unlesbar")));
        return false;
    }
    SheetTexts result(sheet.Columns());
    const unsigned short usedColumns = static_cast<unsigned short>(qMin<int>(columns, result.Columns()));
    for (unsigned int r = 0; r < rows && r < static_cast<unsigned>(MaxSheetRows); ++r) {
        for (unsigned short c = 0; c < usedColumns; ++c) {
            FreeXL_CellValue cell;
            if (freexl_get_cell_value(file.Handle(), r, c, &cell) != FREEXL_OK)
                continue;
            QString text;
            switch (cell.type) {
            case FREEXL_CELL_INT:
                text = QString::number(cell.value.int_value);
                break;
            case FREEXL_CELL_DOUBLE:
                text = NumberText(cell.value.double_value);
                break;
            case FREEXL_CELL_TEXT:
            case FREEXL_CELL_SST_TEXT:
            case FREEXL_CELL_DATE:
            case FREEXL_CELL_DATETIME:
            case FREEXL_CELL_TIME:
                if (cell.value.text_value)
                    text = QString::fromUtf8(cell.value.text_value);
                break;
            default:
                break;
            }
            if (!text.isEmpty())
                result.SetText(static_cast<int>(r), c, text);
        }
    }
    sheet = std::move(result);
    return true;
}

bool WriteAll(int fd, const QByteArray& data) {
    qsizetype done = 0;
    while (done < data.size()) {
        const ssize_t n = ::write(fd, data.constData() + done, static_cast<size_t>(data.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += n;
    }
    return true;
}

// Reads the child's answer until it closes the pipe; false on time-out or overflow.
bool ReadAnswer(int fd, QByteArray& answer) {
    QElapsedTimer timer;
    timer.start();
    char buffer[65536];
    for (;;) {
        const qint64 left = XlsTimeoutMs - timer.elapsed();
        if (left <= 0)
            return false;
        pollfd p{fd, POLLIN, 0};
        const int ready = ::poll(&p, 1, static_cast<int>(left));
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready <= 0)
            return false;
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return false;
        if (n == 0)
            return true;
        answer.append(buffer, n);
        if (answer.size() > 4 * MaxWorkbookPartSize)
            return false;
    }
}

} // namespace

// libfreexl parses the BIFF records in C, and a crafted file can make it read
// outside its buffers. It therefore runs in a child process: a file that crashes
// or hangs it costs a message, never the running race.
bool ReadXlsSheet(const QString& fileName, SheetTexts& sheet, QString* reason) {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) {
        SetText(reason, QStringLiteral("Systemfehler beim Lesen der Arbeitsmappe."));
        return false;
    }
    const pid_t child = ::fork();
    if (child < 0) {
        ::close(fds[0]);
        ::close(fds[1]);
        SetText(reason, QStringLiteral("Systemfehler beim Lesen der Arbeitsmappe."));
        return false;
    }
    if (child == 0) {
        ::close(fds[0]);
        SheetTexts texts(sheet.Columns());
        QString why;
        const bool ok = ReadXlsInThisProcess(fileName, texts, &why);
        QByteArray answer;
        QDataStream out(&answer, QIODevice::WriteOnly);
        out << ok << why << qint32(texts.RowCount());
        for (int r = 0; r < texts.RowCount(); ++r) {
            QStringList row;
            for (int c = 0; c < texts.Columns(); ++c)
                row.append(texts.Text(r, c));
            out << row;
        }
        ::_exit(WriteAll(fds[1], answer) ? 0 : 1);
    }
    ::close(fds[1]);
    QByteArray answer;
    const bool complete = ReadAnswer(fds[0], answer);
    ::close(fds[0]);
    if (!complete)
        ::kill(child, SIGKILL);
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    if (!complete || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        SetText(reason, Damaged(QStringLiteral("die Excel-Bibliothek ist daran gescheitert")));
        return false;
    }
    QDataStream in(answer);
    bool ok = false;
    QString why;
    qint32 rows = 0;
    in >> ok >> why >> rows;
    if (!ok) {
        SetText(reason, why);
        return false;
    }
    SheetTexts result(sheet.Columns());
    for (qint32 r = 0; r < rows && in.status() == QDataStream::Ok; ++r) {
        QStringList row;
        in >> row;
        for (int c = 0; c < row.size(); ++c)
            if (!row[c].isEmpty())
                result.SetText(r, c, row[c]);
    }
    if (in.status() != QDataStream::Ok) {
        SetText(reason, Damaged(QStringLiteral("die Excel-Bibliothek ist daran gescheitert")));
        return false;
    }
    sheet = std::move(result);
    return true;
}

bool ReadFirstSheet(const QString& fileName, SheetTexts& sheet, QString* error) {
    QByteArray head;
    {
        const QFileInfo info(fileName);
        QFile probe(fileName);
        if (!info.exists() || info.isDir() || !probe.open(QIODevice::ReadOnly)) {
            QByteArray ignored;
            ReadTextFileBytes(fileName, ignored, error); // says why the file cannot be read
            return false;
        }
        if (info.size() > MaxWorkbookPartSize) {
            SetText(error, ReadErrorText(fileName, TooLarge()));
            return false;
        }
        head = probe.read(8);
    }
    QString reason;
    if (head.startsWith("PK\x03\x04") || head.startsWith("PK\x05\x06")) {
        QByteArray data;
        if (!ReadTextFileBytes(fileName, data, error))
            return false;
        if (ReadXlsxSheet(data, sheet, &reason))
            return true;
    } else if (head == QByteArray("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8)) {
        if (ReadXlsSheet(fileName, sheet, &reason))
            return true;
    } else {
        reason = QStringLiteral("Die Datei ist keine Excel-Arbeitsmappe (.xls oder .xlsx).");
    }
    SetText(error, ReadErrorText(fileName, reason));
    return false;
}

void ApplyStartListSheet(SortGridData& grid, const SheetTexts& sheet, const QStringList& defaultCaptions) {
    const int m = sheet.Columns();
    const int lastWritable = grid.ColCount() - 2; // the hidden raw column stays empty
    int n = sheet.RowCount();
    int offset = 0;
    for (int p = 1; p <= n; ++p) {
        const QString second = sheet.Text(p - 1, 1);
        if (sheet.Text(p - 1, 0).isEmpty() && second.isEmpty() && sheet.Text(p - 1, 2).isEmpty()) {
            n = p - 1;
            break;
        }
        // Names in the second column: the sheet has no "Platz" column.
        if (p > 1 && !second.isEmpty() && !IsIntegerText(second))
            offset = 1;
    }

    const QStringList captions = grid.Rows(0);
    // Places and start ticks of an earlier race must not stay beside a new list.
    grid.ClearGrid(); // has its own update bracket, which does not nest
    grid.BeginUpdate();
    grid.SetRows(0, captions);
    if (n > 1)
        grid.SetRowCount(n);
    const int rows = grid.RowCount();
    for (int v = 1; v <= rows; ++v) {
        // Rows stored beyond an earlier row count come back when the count grows: overwrite them whole.
        QStringList cells = v == 1 ? grid.Rows(0) : QStringList(grid.ColCount(), QString());
        for (int q = 1; q <= m; ++q) {
            const int col = q - 1 + offset;
            if (col <= lastWritable && col < cells.size())
                cells[col] = SingleLineCellText(sheet.Text(v - 1, q - 1));
        }
        if (v == 1) {
            for (int c = 0; c <= lastWritable && c < defaultCaptions.size() && c < cells.size(); ++c)
                if (cells[c].trimmed().isEmpty())
                    cells[c] = defaultCaptions[c];
        }
        grid.SetRows(v - 1, cells);
    }
    grid.EndUpdate();
}

bool LoadStartListSpreadsheet(SortGridData& grid, const QString& fileName, const QStringList& defaultCaptions,
                              QString* error) {
    SheetTexts sheet(qMax(grid.ColCount() - 1, 0));
    if (!ReadFirstSheet(fileName, sheet, error))
        return false;
    ApplyStartListSheet(grid, sheet, defaultCaptions);
    return true;
}
