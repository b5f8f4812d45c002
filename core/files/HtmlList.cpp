#include "core/files/HtmlList.h"

#include "core/base/Windows1252.h"
#include "core/files/ResultList.h"
#include "core/grid/SortGridData.h"

namespace {

// The column element of a protocol column, by its position.
QLatin1String ColElement(int col) {
    const ListColumn look = ListColumnLook(col);
    if (look.shaded)
        return QLatin1String("<col align=right bgcolor=#CCCCCC>");
    if (look.best)
        return QLatin1String("<col class=best align=right>");
    switch (look.align) {
    case ListAlign::Right:
        return QLatin1String("<col align=right>");
    case ListAlign::Center:
        return QLatin1String("<col align=center>");
    case ListAlign::Left:
        break;
    }
    return QLatin1String("<col>");
}

// The fixed lines of the head from the style sheet on.
const char* const kHeadStyles[] = {
    "<style type=\"text/css\">",
    ".KPACKA { background-color:#EEEEEE }",
    "</style>",
    "<script type=\"text/javascript\">",
    "function PA3MEP()",
    "{",
    " for(i = 0; i < document.getElementsByTagName(\"table\").length; i++)",
    "   document.getElementsByTagName(\"table\")[i].width = \"\";",
    "}",
    "function CBET_CTPOKI()",
    "{",
    " for(var i = 0; i < document.getElementsByTagName(\"tr\").length; i++)",
    "   if(i % 2 != 0)",
    "   {",
    "\t document.getElementsByTagName(\"tr\")[i].className = \"KPACKA\";",
    "   }",
    "}",
    "</script>",
    "<STYLE type=text/css>",
    "body {font-family: Verdana, Arial, Helvetica, sans-serif; font-size: 12px; background-color: #F4F4F4; "
    "text-align: center}",
    "\th1 {text-decoration: blink; font-size: 26px}",
    "\th3 {  font-weight: normal}",
    "\ttable {font-family: Verdana, Arial, Helvetica, sans-serif; font-size: 12px}",
    "\tth {background-color: #999999; color: #FFFFFF; border: 1px #F4F4F4 dashed}",
    "\ttd {  border: 1px #F4F4F4 dashed; vertical-align: top}",
    "</STYLE>",
    "</HEAD>",
    "<BODY>",
};

class Page {
public:
    void Line(QLatin1String text) {
        m_text += text;
        m_text += QLatin1String("\r\n");
    }
    void Line(const char* text) { Line(QLatin1String(text)); }
    void Line(const QString& text) {
        m_text += text;
        m_text += QLatin1String("\r\n");
    }
    QString& Text() { return m_text; }

private:
    QString m_text;
};

void AppendEscaped(QString& out, const QString& text) {
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar ch = text[i];
        const char16_t c = ch.unicode();
        if (c < 0x80) {
            switch (c) {
            case u'&':
                out += QLatin1String("&amp;");
                break;
            case u'<':
                out += QLatin1String("&lt;");
                break;
            case u'>':
                out += QLatin1String("&gt;");
                break;
            case u'"':
                out += QLatin1String("&quot;");
                break;
            default:
                out += ch;
            }
            continue;
        }
        if (ch.isHighSurrogate() && i + 1 < n && text[i + 1].isLowSurrogate()) {
            out += QStringLiteral("&#%1;").arg(static_cast<uint>(QChar::surrogateToUcs4(ch, text[i + 1])));
            ++i;
        } else if (ch.isSurrogate()) {
            out += QLatin1Char('?'); // a lone surrogate is no character
        } else if (InWindows1252(c)) {
            out += ch;
        } else {
            out += QStringLiteral("&#%1;").arg(static_cast<uint>(c));
        }
    }
}

} // namespace

QString HtmlEscape(const QString& text) {
    QString out;
    out.reserve(text.size());
    AppendEscaped(out, text);
    return out;
}

QByteArray HtmlListBytes(const SortGridData& grid, const ExportOptions& options) {
    const QString title = HtmlEscape(options.title);
    const QString program = QString::fromLatin1(kProgramTitle);
    const QList<int> cols = VisibleColumns(grid, options, false);

    const int n = ListRowCount(grid);

    Page page;
    page.Text().reserve(4096 + qsizetype(n) * qsizetype(cols.size() + 1) * 16);
    page.Line("<HTML>");
    page.Line("<HEAD>");
    page.Line(QStringLiteral("<!--%1 software -->").arg(QLatin1String(kMakerHost)));
    page.Line(QStringLiteral("<TITLE>Zeitravo ") + program + QStringLiteral(": ") + title + QStringLiteral("</TITLE>"));
    page.Line("<META http-equiv=Content-Type content=\"text/html; charset=iso-8859-1\">");
    page.Line(QStringLiteral("<META name=keywords content=\"") + program + QStringLiteral("\">"));
    page.Line("<META name=description content=\"Zeitravo professional software development for all\">");
    page.Line(QStringLiteral("<META name=\"Webdesign\" content=\"%1\">").arg(QLatin1String(kDesignerUrl)));
    for (const char* line : kHeadStyles)
        page.Line(line);

    page.Line(QStringLiteral("<H1>") + title + QStringLiteral("</H1></div>"));
    page.Line("<h3><font face=Webdings size=7 color=#FFCC00>%</font>Ergebnisliste</h3>");
    page.Line("<table style=\"BORDER-COLLAPSE: collapse\" bgcolor=#FFFFFF cellpadding=2 "
              "onClick=\"javascript:PA3MEP();");
    page.Line("CBET_CTPOKI()\" title=\"Klick = AutoAnpassen an Inhalt und an Fenster, Webbrowser - Aktualisieren = "
              "zurueck\" width=100%>");
    page.Line("<colgroup valign=top>");
    for (int c : cols)
        page.Line(ColElement(c));
    page.Line("</colgroup><thead>");
    page.Line("<tr>");
    for (int c : cols) {
        QString& out = page.Text();
        out += QLatin1String("<th>");
        AppendEscaped(out, grid.Cell(c, 0));
        out += QLatin1String("\r\n");
    }
    page.Line("</tr></thead>");
    for (int r = 1; r < n; ++r) {
        QString& out = page.Text();
        out += QLatin1String("<tr>");
        for (int c : cols) {
            out += QLatin1String("<td>");
            AppendEscaped(out, grid.Cell(c, r));
        }
        out += QLatin1String("</tr>\r\n");
    }
    page.Line(QStringLiteral("</table><P align=right><a href=\"%1\" title=\"Sport Software\">"
                             "<FONT color=#FF0000>Zeit</FONT><FONT color=#009900>ra</FONT>"
                             "<FONT color=#999999>vo</FONT></A></P></body></html>")
                  .arg(QLatin1String(kMakerUrl)));
    return EncodeWindows1252(page.Text());
}

bool WriteHtmlList(const SortGridData& grid, const ExportOptions& options, const QString& fileName, QString* error) {
    return WriteFileAtomically(fileName, HtmlListBytes(grid, options), error);
}
