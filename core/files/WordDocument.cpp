#include "core/files/WordDocument.h"

#include "core/files/ResultList.h"

#include "core/base/XmlText.h"
#include "core/base/ZipPackage.h"
#include "core/grid/SortGridData.h"

#include <QFileInfo>

#include <pugixml.hpp>

#include <algorithm>
#include <string>

namespace {

constexpr char kMainNs[] = "http://schemas.openxmlformats.org/wordprocessingml/2006/main";
constexpr char kDocumentPart[] = "word/document.xml";

// A4 with 2 cm margins, in twentieths of a point.
constexpr int kPageShort = 11906;
constexpr int kPageLong = 16838;
constexpr int kMargin = 1134;

const char kContentTypes[] =
    "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
    "<Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">"
    "<Default Extension=\"rels\" ContentType=\"application/vnd.openxmlformats-package.relationships+xml\"/>"
    "<Default Extension=\"xml\" ContentType=\"application/xml\"/>"
    "<Override PartName=\"/word/document.xml\" "
    "ContentType=\"application/vnd.openxmlformats-officedocument.wordprocessingml.document.main+xml\"/>"
    "<Override PartName=\"/word/styles.xml\" "
    "ContentType=\"application/vnd.openxmlformats-officedocument.wordprocessingml.styles+xml\"/>"
    "<Override PartName=\"/docProps/core.xml\" "
    "ContentType=\"application/vnd.openxmlformats-package.core-properties+xml\"/>"
    "</Types>";

const char kPackageRels[] =
    "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
    "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
    "<Relationship Id=\"rId1\" "
    "Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/officeDocument\" "
    "Target=\"word/document.xml\"/>"
    "<Relationship Id=\"rId2\" "
    "Type=\"http://schemas.openxmlformats.org/package/2006/relationships/metadata/core-properties\" "
    "Target=\"docProps/core.xml\"/>"
    "</Relationships>";

const char kDocumentRels[] = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
                             "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
                             "<Relationship Id=\"rId1\" "
                             "Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/styles\" "
                             "Target=\"styles.xml\"/>"
                             "</Relationships>";

// The document's own font, so that every program lays the table out alike (without
// one each picks its own, some far wider than the column widths allow for): Arial
// 10 pt, no space after paragraphs.
const char kStyles[] =
    "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
    "<w:styles xmlns:w=\"http://schemas.openxmlformats.org/wordprocessingml/2006/main\">"
    "<w:docDefaults><w:rPrDefault><w:rPr>"
    "<w:rFonts w:ascii=\"Arial\" w:hAnsi=\"Arial\" w:eastAsia=\"Arial\" w:cs=\"Arial\"/>"
    "<w:sz w:val=\"20\"/><w:szCs w:val=\"20\"/><w:lang w:val=\"de-DE\"/>"
    "</w:rPr></w:rPrDefault>"
    "<w:pPrDefault><w:pPr><w:spacing w:after=\"0\" w:line=\"240\" w:lineRule=\"auto\"/></w:pPr></w:pPrDefault>"
    "</w:docDefaults>"
    "<w:style w:type=\"paragraph\" w:default=\"1\" w:styleId=\"Standard\"><w:name w:val=\"Normal\"/></w:style>"
    "</w:styles>";

void SetError(QString* error, const QString& text) {
    if (error)
        *error = text;
}

struct StringWriter final : pugi::xml_writer {
    std::string out;
    void write(const void* data, size_t size) override { out.append(static_cast<const char*>(data), size); }
};

QByteArray Serialize(const pugi::xml_document& doc) {
    StringWriter w;
    doc.save(w, "", pugi::format_raw, pugi::encoding_utf8);
    return QByteArray(w.out.data(), static_cast<qsizetype>(w.out.size()));
}

// Element and attribute names in the document's own prefix for the main namespace.
class Names {
public:
    explicit Names(std::string prefix) : m_prefix(prefix.empty() ? std::string() : prefix + ":") {}
    const char* operator()(const char* local) {
        m_buf = m_prefix + local;
        return m_buf.c_str();
    }

private:
    std::string m_prefix;
    std::string m_buf;
};

// The prefix the root element binds to the main namespace ("w" in every document Word writes).
bool MainPrefix(const pugi::xml_node& root, std::string& prefix) {
    for (const pugi::xml_attribute& a : root.attributes()) {
        const std::string name = a.name();
        if (std::string(a.value()) != kMainNs)
            continue;
        if (name == "xmlns") {
            prefix.clear();
            return true;
        }
        if (name.rfind("xmlns:", 0) == 0) {
            prefix = name.substr(6);
            return true;
        }
    }
    return false;
}

void AddRun(pugi::xml_node p, Names& w, const QByteArray& text, bool bold, int halfPoints) {
    pugi::xml_node r = p.append_child(w("r"));
    if (bold || halfPoints > 0) {
        pugi::xml_node rPr = r.append_child(w("rPr"));
        if (bold)
            rPr.append_child(w("b"));
        if (halfPoints > 0)
            rPr.append_child(w("sz")).append_attribute(w("val")).set_value(halfPoints);
    }
    pugi::xml_node t = r.append_child(w("t"));
    t.append_attribute("xml:space").set_value("preserve");
    t.text().set(text.constData());
}

void AddBorder(pugi::xml_node borders, Names& w, const char* side) {
    pugi::xml_node b = borders.append_child(w(side));
    b.append_attribute(w("val")).set_value("single");
    b.append_attribute(w("sz")).set_value(4);
    b.append_attribute(w("space")).set_value(0);
    b.append_attribute(w("color")).set_value("auto");
}

// Column widths in twips, each after its longest text, together as wide as `available`.
// A column wants its cell margins plus room for its text; a short column keeps what
// it wants, so "Platz" or a year never breaks inside the word.
QList<int> GridWidths(const SortGridData& grid, const QList<int>& cols, int available) {
    constexpr int kCellMargins = 2 * 108 + 30; // Word's default left and right cell margin, and a border
    constexpr int kCharTwips = 130;            // a character of 12 pt text (the document's is 10 pt), bold too
    std::vector<double> natural;
    for (int c : cols) {
        int longest = 3;
        for (int r = 0; r < grid.RowCount(); ++r)
            longest = std::max(longest, static_cast<int>(grid.Cell(c, r).size()));
        longest = std::min(longest, 60);
        natural.push_back(kCellMargins + longest * kCharTwips);
    }
    QList<int> widths;
    for (double w : FitColumnWidths(natural, available))
        widths << std::max(300, static_cast<int>(w));
    return widths;
}

// Title, empty paragraph and table, inserted before `before` (the body's section
// properties) or appended to the body.
void InsertResult(pugi::xml_node body, pugi::xml_node before, Names& w, const SortGridData& grid,
                  const ExportOptions& options, int available) {
    auto add = [&](const char* name) {
        return before ? body.insert_child_before(name, before) : body.append_child(name);
    };
    pugi::xml_node title = add(w("p"));
    AddRun(title, w, XmlTextUtf8(options.title), true, 32);
    add(w("p"));

    const QList<int> cols = VisibleColumns(grid, options, true);
    pugi::xml_node tbl = add(w("tbl"));
    pugi::xml_node tblPr = tbl.append_child(w("tblPr"));
    pugi::xml_node tblW = tblPr.append_child(w("tblW"));
    tblW.append_attribute(w("w")).set_value(0);
    tblW.append_attribute(w("type")).set_value("auto");
    pugi::xml_node borders = tblPr.append_child(w("tblBorders"));
    for (const char* side : {"top", "left", "bottom", "right", "insideH", "insideV"})
        AddBorder(borders, w, side);
    pugi::xml_node grid_ = tbl.append_child(w("tblGrid"));
    const QList<int> widths = GridWidths(grid, cols, available);
    for (int width : widths)
        grid_.append_child(w("gridCol")).append_attribute(w("w")).set_value(width);

    for (int r = 0; r < grid.RowCount(); ++r) {
        pugi::xml_node tr = tbl.append_child(w("tr"));
        if (r == 0)
            tr.append_child(w("trPr")).append_child(w("tblHeader")); // repeats on every page
        for (qsizetype k = 0; k < cols.size(); ++k) {
            pugi::xml_node tc = tr.append_child(w("tc"));
            pugi::xml_node tcW = tc.append_child(w("tcPr")).append_child(w("tcW"));
            tcW.append_attribute(w("w")).set_value(widths[k]);
            tcW.append_attribute(w("type")).set_value("dxa");
            pugi::xml_node p = tc.append_child(w("p"));
            const QString text = grid.Cell(cols[k], r);
            if (!text.isEmpty())
                AddRun(p, w, XmlTextUtf8(text), r == 0, 0);
        }
    }
    // Word wants a paragraph between a table and the section's end.
    add(w("p"));
}

QByteArray CoreProperties(const QString& title) {
    pugi::xml_document doc;
    pugi::xml_node decl = doc.append_child(pugi::node_declaration);
    decl.append_attribute("version").set_value("1.0");
    decl.append_attribute("encoding").set_value("UTF-8");
    decl.append_attribute("standalone").set_value("yes");
    pugi::xml_node root = doc.append_child("cp:coreProperties");
    root.append_attribute("xmlns:cp")
        .set_value("http://schemas.openxmlformats.org/package/2006/metadata/core-properties");
    root.append_attribute("xmlns:dc").set_value("http://purl.org/dc/elements/1.1/");
    root.append_child("dc:title").text().set(XmlTextUtf8(title).constData());
    root.append_child("dc:creator").text().set("Zeitravo Software");
    return Serialize(doc);
}

QByteArray NewDocumentXml(bool landscape) {
    const int w = landscape ? kPageLong : kPageShort;
    const int h = landscape ? kPageShort : kPageLong;
    return QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
                          "<w:document xmlns:w=\"%1\"><w:body><w:sectPr>"
                          "<w:pgSz w:w=\"%2\" w:h=\"%3\"%4/>"
                          "<w:pgMar w:top=\"%5\" w:right=\"%5\" w:bottom=\"%5\" w:left=\"%5\" w:header=\"709\" "
                          "w:footer=\"709\" w:gutter=\"0\"/>"
                          "</w:sectPr></w:body></w:document>")
        .arg(QLatin1String(kMainNs))
        .arg(w)
        .arg(h)
        .arg(landscape ? QStringLiteral(" w:orient=\"landscape\"") : QString())
        .arg(kMargin)
        .toUtf8();
}

int Twips(const pugi::xml_node& node, const char* attribute, int fallback) {
    const pugi::xml_attribute a = node.attribute(attribute);
    return a ? a.as_int(fallback) : fallback;
}

// A template keeps its own page, margins, header and footer; a list wider than eight
// columns turns a portrait page to landscape, as a new document would be. Returns the
// width the table may take.
int FitTemplatePage(pugi::xml_node sectPr, Names& w, bool landscape) {
    if (!sectPr)
        return kPageShort - 2 * kMargin;
    pugi::xml_node size = sectPr.child(w("pgSz"));
    int width = Twips(size, w("w"), kPageShort);
    const int height = Twips(size, w("h"), kPageLong);
    if (size && landscape && width < height) {
        size.attribute(w("w")).set_value(height);
        size.attribute(w("h")).set_value(width);
        if (!size.attribute(w("orient")))
            size.append_attribute(w("orient"));
        size.attribute(w("orient")).set_value("landscape");
        width = height;
    }
    const pugi::xml_node margins = sectPr.child(w("pgMar"));
    // One name at a time: `w` hands out the same buffer for each.
    const int left = Twips(margins, w("left"), kMargin);
    const int right = Twips(margins, w("right"), kMargin);
    return std::max(1000, width - left - right);
}

} // namespace

bool WordDocumentBytes(const SortGridData& grid, const ExportOptions& options, const QString& templateFile,
                       QByteArray& out, QString* error) {
    ZipPackage package;
    const bool fromTemplate = !templateFile.isEmpty() && QFileInfo(templateFile).isFile();
    const bool landscape = VisibleColumns(grid, options, true).size() > 8;
    if (fromTemplate) {
        QString reason;
        if (!package.Load(templateFile, &reason) || !package.Contains(QLatin1String(kDocumentPart))) {
            SetError(error, QStringLiteral("Die Word-Vorlage %1 ist nicht lesbar: %2")
                                .arg(templateFile, reason.isEmpty() ? QStringLiteral("kein Dokument") : reason));
            return false;
        }
        // A template saved as document template becomes a document under the new name.
        QByteArray types = package.Entry(QStringLiteral("[Content_Types].xml"));
        types.replace("wordprocessingml.template.main+xml", "wordprocessingml.document.main+xml");
        package.SetEntry(QStringLiteral("[Content_Types].xml"), types);
        // The document is named after the race, also when the template carries properties.
        if (package.Contains(QStringLiteral("docProps/core.xml")))
            package.SetEntry(QStringLiteral("docProps/core.xml"), CoreProperties(options.title));
    } else {
        package.SetEntry(QStringLiteral("[Content_Types].xml"), QByteArray(kContentTypes));
        package.SetEntry(QStringLiteral("_rels/.rels"), QByteArray(kPackageRels));
        package.SetEntry(QStringLiteral("word/_rels/document.xml.rels"), QByteArray(kDocumentRels));
        package.SetEntry(QStringLiteral("word/styles.xml"), QByteArray(kStyles));
        package.SetEntry(QLatin1String(kDocumentPart), NewDocumentXml(landscape));
        package.SetEntry(QStringLiteral("docProps/core.xml"), CoreProperties(options.title));
    }

    const QByteArray xml = package.Entry(QLatin1String(kDocumentPart));
    pugi::xml_document doc;
    const pugi::xml_parse_result parsed =
        doc.load_buffer(xml.constData(), static_cast<size_t>(xml.size()), pugi::parse_default, pugi::encoding_utf8);
    std::string prefix;
    pugi::xml_node root = doc.document_element();
    if (!parsed || !MainPrefix(root, prefix)) {
        SetError(error, QStringLiteral("Die Word-Vorlage %1 enthält kein lesbares Dokument.").arg(templateFile));
        return false;
    }
    Names w(prefix);
    pugi::xml_node body = root.child(w("body"));
    if (!body)
        body = root.append_child(w("body"));
    pugi::xml_node last = body.last_child();
    const pugi::xml_node before = (last && std::string(last.name()) == w("sectPr")) ? last : pugi::xml_node();
    int available = (landscape ? kPageLong : kPageShort) - 2 * kMargin;
    if (fromTemplate)
        available = FitTemplatePage(before, w, landscape);
    InsertResult(body, before, w, grid, options, available);
    package.SetEntry(QLatin1String(kDocumentPart), Serialize(doc));

    QString reason;
    if (!package.Build(out, &reason)) {
        SetError(error, QStringLiteral("Das Word-Dokument lässt sich nicht packen: ") + reason);
        return false;
    }
    return true;
}

bool WriteWordDocument(const SortGridData& grid, const ExportOptions& options, const QString& templateFile,
                       const QString& fileName, QString* error) {
    QByteArray bytes;
    if (!WordDocumentBytes(grid, options, templateFile, bytes, error)) {
        if (error)
            *error = ExportErrorText(fileName, *error);
        return false;
    }
    return WriteFileAtomically(fileName, bytes, error);
}
