#include "core/live/LivePages.h"

#include "core/race/ProtocolColumns.h"

#include <QCryptographicHash>

namespace {

const char kPageStyle[] = R"CSS(
body{font-family:sans-serif;margin:0;padding:8px;background:#f4f4f4;color:#000}
h1{font-size:1.4em;margin:.2em 0}
#stand{color:#333;margin:.2em 0 .6em}
#liste{overflow-x:auto}
table{border-collapse:collapse;width:100%;background:#fff;font-size:15px}
th{background:#333;color:#fff;text-align:left;padding:4px 6px}
td{padding:4px 6px;border-bottom:1px solid #ccc;white-space:nowrap}
tr:nth-child(even) td{background:#eee}
tr.neu td{background:#ffe066;font-weight:bold}
#fehler{color:#fff;background:#c00;padding:4px 8px}
select{font-size:1em}
table.schmal{display:none}
@media (max-width:700px){
body{padding:4px;font-size:18px}
h1{font-size:1.3em}
select{font-size:18px;padding:4px}
table.breit{display:none}
table.schmal{display:table;table-layout:fixed;font-size:19px}
.schmal th,.schmal td{padding:9px 4px}
.schmal .p{width:2.4em;text-align:right}
.schmal .n{width:3em;text-align:right}
.schmal .nm{overflow:hidden;text-overflow:ellipsis}
.schmal .z{width:5.4em;text-align:right;font-weight:bold;font-variant-numeric:tabular-nums}
.schmal tr.mehr td{white-space:normal;font-size:16px;background:#e8eef8;padding:6px 8px}
}
)CSS";

const char kPageScript[] = R"JS(
(function () {
  'use strict';
  var tag = null, before = null, data = null, marks = {}, open = {}, loading = false, again = false;
  var select = document.getElementById('klasse');
  function element(name, text) { var e = document.createElement(name); e.textContent = text; return e; }
  function shown(r) { return !select.value || r.klasse === select.value; }
  function details(r, used) {
    var parts = [];
    data.columns.forEach(function (c, i) {
      var t = (r.cells[i] || '').trim();
      if (used.indexOf(i) < 0 && t) parts.push(c.caption + ' ' + t);
    });
    var tr = document.createElement('tr'), td = element('td', parts.join(' \u00b7 ') || '\u2013');
    tr.className = 'mehr';
    td.colSpan = 4;
    tr.appendChild(td);
    return tr;
  }
  function render() {
    if (!data) return;
    document.getElementById('titel').textContent = data.title;
    document.title = data.title + ' \u2013 Live';
    document.getElementById('stand').textContent =
      'Stand ' + data.stand + (data.state === 'running' ? ' \u2013 Wettkampf l\u00e4uft' : '');
    var classes = [];
    if (data.classes) {
      data.rows.forEach(function (r) { if (r.klasse && classes.indexOf(r.klasse) < 0) classes.push(r.klasse); });
      classes.sort();
    }
    document.getElementById('klassen').hidden = classes.length === 0;
    var chosen = select.value;
    while (select.options.length > 1) select.remove(1);
    classes.forEach(function (c) { var o = element('option', c); o.value = c; select.appendChild(o); });
    select.value = classes.indexOf(chosen) >= 0 ? chosen : '';
    var head = document.getElementById('kopf');
    head.textContent = '';
    data.columns.forEach(function (c) { head.appendChild(element('th', c.caption)); });
    var rows = document.createElement('tbody'), kurz = document.createElement('tbody'), p = data.phone;
    rows.id = 'zeilen';
    kurz.id = 'kurz';
    var place = select.value && p.klPlatz >= 0 ? p.klPlatz : p.platz;
    var used = [place, p.nr, p.zeit].concat(p.name);
    data.rows.forEach(function (r) {
      if (!shown(r)) return;
      var tr = document.createElement('tr');
      r.cells.forEach(function (t) { tr.appendChild(element('td', t)); });
      if (marks[r.key]) tr.className = 'neu';
      rows.appendChild(tr);
      var c = r.cells, name = p.name.map(function (i) { return c[i].trim(); }).join(' ').trim();
      var line = document.createElement('tr');
      [[c[place], 'p'], [c[p.nr], 'n'], [name, 'nm'], [c[p.zeit], 'z']].forEach(function (v) {
        var td = element('td', v[0] === undefined ? '' : v[0]);
        td.className = v[1];
        line.appendChild(td);
      });
      line.setAttribute('data-key', r.key);
      if (marks[r.key]) line.className = 'neu';
      kurz.appendChild(line);
      if (open[r.key]) kurz.appendChild(details(r, used));
    });
    var old = document.getElementById('zeilen');
    old.parentNode.replaceChild(rows, old);
    old = document.getElementById('kurz');
    old.parentNode.replaceChild(kurz, old);
  }
  // One fetch at a time; a change announced meanwhile is fetched once it is done.
  function load() {
    if (loading) { again = true; return; }
    loading = true;
    fetch('/results.json', {cache: 'no-cache'}).then(function (r) {
      if (!r.ok) throw new Error(r.status);
      return r.json();
    }).then(function (d) {
      document.getElementById('fehler').hidden = true;
      var now = {};
      d.rows.forEach(function (r) { now[r.key] = r.cells.join('\u0001'); });
      marks = {};
      if (before) Object.keys(now).forEach(function (k) { if (before[k] !== now[k]) marks[k] = true; });
      before = now;
      data = d;
      render();
    }).catch(function () { document.getElementById('fehler').hidden = false; }).then(function () {
      loading = false;
      if (again) { again = false; load(); }
    });
  }
  function listen() {
    var events = new EventSource('/events');
    events.onmessage = function (e) {
      var m = JSON.parse(e.data);
      document.getElementById('fehler').hidden = true;
      if (m.tag !== tag) { tag = m.tag; load(); }
    };
    events.onerror = function () {
      document.getElementById('fehler').hidden = false;
      // Refused (server full) or gone: the browser does not try again by itself.
      if (events.readyState === 2) setTimeout(listen, 3000 + Math.random() * 5000);
    };
  }
  select.addEventListener('change', render);
  document.getElementById('kurztabelle').addEventListener('click', function (e) {
    var tr = e.target.closest('tr'), key = tr && tr.getAttribute('data-key');
    if (key === null || key === undefined) return;
    open[key] = !open[key];
    render();
  });
  if (window.EventSource) listen(); else { load(); setInterval(load, 5000); }
})();
)JS";

const char kClockStyle[] = R"CSS(
html,body{height:100%;margin:0;background:#000;color:#fff;font-family:sans-serif;text-align:center}
#uhr{font-size:22vw;font-variant-numeric:tabular-nums;padding-top:6vh}
#lauf{font-size:9vw;color:#3f3;font-variant-numeric:tabular-nums}
#letzter{font-size:5vw;color:#ff3;margin-top:4vh}
#fehler{color:#f55;font-size:3vw}
)CSS";

const char kClockScript[] = R"JS(
(function () {
  'use strict';
  var day = null, race = null, at = 0;
  function two(n) { return (n < 10 ? '0' : '') + n; }
  function hms(ms, lead) {
    var s = Math.floor(ms / 1000), h = Math.floor(s / 3600), m = Math.floor(s / 60) % 60;
    return (lead ? two(h) : h) + ':' + two(m) + ':' + two(s % 60);
  }
  function tick() {
    if (day === null) return;
    var d = performance.now() - at;
    document.getElementById('uhr').textContent = hms((day + d) % 86400000, true);
    document.getElementById('lauf').textContent = race === null ? '' : hms(race + d, false);
  }
  function show(d) {
    day = d.now;
    race = d.race;
    at = performance.now();
    var f = d.lastFinish;
    document.getElementById('letzter').textContent =
      f ? 'Letzter Zieleinlauf: ' + f.number + ' ' + f.name + ' \u2013 ' + f.time : '';
    document.getElementById('fehler').hidden = true;
    tick();
  }
  function poll() {
    fetch('/results.json', {cache: 'no-store'}).then(function (r) {
      if (!r.ok) throw new Error(r.status);
      return r.json();
    }).then(show).catch(function () { document.getElementById('fehler').hidden = false; });
  }
  // Every change brings the clocks and the last finish; the clocks run on here between them.
  function listen() {
    var events = new EventSource('/events');
    events.onmessage = function (e) { show(JSON.parse(e.data)); };
    events.onerror = function () {
      document.getElementById('fehler').hidden = false;
      if (events.readyState === 2) setTimeout(listen, 3000 + Math.random() * 5000);
    };
  }
  if (window.EventSource) listen(); else { poll(); setInterval(poll, 2000); }
  setInterval(tick, 200);
})();
)JS";

QByteArray Hash(const char* text) {
    return "'sha256-" + QCryptographicHash::hash(QByteArray(text), QCryptographicHash::Sha256).toBase64() + "'";
}

QByteArray Policy(const char* style, const char* script) {
    return "default-src 'none'; script-src " + Hash(script) + "; style-src " + Hash(style) +
           "; connect-src 'self'; img-src 'none'; base-uri 'none'; form-action 'none'; frame-ancestors 'none'";
}

void AppendEscaped(QString& out, const QString& text) {
    for (const QChar ch : text) {
        switch (ch.unicode()) {
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
        case u'\'':
            out += QLatin1String("&#39;");
            break;
        default:
            // Control characters and lone surrogates have no place in a page.
            if ((ch.unicode() < 0x20 && ch.unicode() != u'\t') || ch.unicode() == 0x7F)
                out += QLatin1Char(' ');
            else
                out += ch;
        }
    }
}

QString FullName(const Snapshot& s, int row) {
    return (s.Cell(Col::Vorname, row).trimmed() + QLatin1Char(' ') + s.Cell(Col::Nachname, row).trimmed()).trimmed();
}

// The name as far as its columns are shown.
QString VisibleName(const Snapshot& s, int row) {
    QString name;
    for (int c : {Col::Vorname, Col::Nachname})
        if (s.columns.contains(c))
            name += s.Cell(c, row).trimmed() + QLatin1Char(' ');
    return name.trimmed();
}

// Where a grid column is among the visible ones; -1 when hidden.
int Position(const Snapshot& s, int col) {
    return static_cast<int>(s.columns.indexOf(col));
}

void AppendLastFinish(QString& out, const Snapshot& s) {
    out += QLatin1String("\"lastFinish\":");
    if (s.lastFinishRow < 1) {
        out += QLatin1String("null");
        return;
    }
    const int r = s.lastFinishRow;
    out += QLatin1String("{\"number\":");
    AppendJsonString(out, s.Cell(Col::StNr, r));
    out += QLatin1String(",\"name\":");
    AppendJsonString(out, FullName(s, r));
    out += QLatin1String(",\"time\":");
    AppendJsonString(out, s.Cell(Col::Zeit, r).trimmed());
    out += QLatin1String(",\"klasse\":");
    AppendJsonString(out, s.Cell(Col::Klasse, r).trimmed());
    out += QLatin1Char('}');
}

void AppendHex4(QString& out, char16_t c) {
    static const char digits[] = "0123456789abcdef";
    out += QLatin1String("\\u");
    for (int shift = 12; shift >= 0; shift -= 4)
        out += QLatin1Char(digits[(c >> shift) & 0xF]);
}

QString CsvField(const QString& text) {
    QString t = text;
    // A leading =, +, @ or - followed by more than a number would be a formula in the speaker's spreadsheet.
    if (!t.isEmpty()) {
        const QChar first = t[0];
        bool formula = first == u'=' || first == u'+' || first == u'@' || first == u'\t' || first == u'\r';
        if (first == u'-' && t.size() > 1) {
            for (qsizetype i = 1; i < t.size() && !formula; ++i)
                formula = !(t[i].isDigit() || t[i] == u',' || t[i] == u':' || t[i] == u'.');
        }
        if (formula)
            t.prepend(QLatin1Char('\''));
    }
    if (t.contains(QLatin1Char(';')) || t.contains(QLatin1Char('"')) || t.contains(QLatin1Char('\n')) ||
        t.contains(QLatin1Char('\r'))) {
        t.replace(QLatin1Char('"'), QLatin1String("\"\""));
        return QLatin1Char('"') + t + QLatin1Char('"');
    }
    return t;
}

} // namespace

QString HtmlTextEscaped(const QString& text) {
    QString out;
    out.reserve(text.size() + 8);
    AppendEscaped(out, text);
    return out;
}

void AppendJsonString(QString& out, const QString& text) {
    out += QLatin1Char('"');
    for (const QChar ch : text) {
        const char16_t c = ch.unicode();
        switch (c) {
        case u'"':
            out += QLatin1String("\\\"");
            break;
        case u'\\':
            out += QLatin1String("\\\\");
            break;
        case u'\n':
            out += QLatin1String("\\n");
            break;
        case u'\r':
            out += QLatin1String("\\r");
            break;
        case u'\t':
            out += QLatin1String("\\t");
            break;
        case u'<':
        case u'>':
        case u'&':
        case 0x2028:
        case 0x2029:
            AppendHex4(out, c);
            break;
        default:
            if (c < 0x20 || ch.isSurrogate())
                AppendHex4(out, c);
            else
                out += ch;
        }
    }
    out += QLatin1Char('"');
}

QByteArray ResultPage(const Snapshot& s) {
    QString page;
    page.reserve(4096 + s.RowCount() * (s.columns.size() + 1) * 16);
    const QString title = HtmlTextEscaped(s.title);
    page += QLatin1String("<!DOCTYPE html>\n<html lang=\"de\"><head><meta charset=\"utf-8\">\n"
                          "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n<title>");
    page += title + QStringLiteral(" \u2013 Live</title>\n<style>");
    page += QLatin1String(kPageStyle);
    page += QLatin1String("</style>\n</head><body>\n<h1 id=\"titel\">") + title + QLatin1String("</h1>\n");
    page += QLatin1String("<p id=\"stand\">Stand ") + HtmlTextEscaped(s.stand);
    if (s.running)
        page += QStringLiteral(" \u2013 Wettkampf l\u00e4uft");
    page += QLatin1String("</p>\n<p id=\"klassen\" hidden><label>Klasse <select id=\"klasse\">"
                          "<option value=\"\">Alle</option></select></label></p>\n"
                          "<p id=\"fehler\" hidden>Keine Verbindung zum Zeitnahme-Rechner</p>\n"
                          "<div id=\"liste\"><table class=\"breit\"><thead><tr id=\"kopf\">");
    for (int c : s.columns) {
        page += QLatin1String("<th>");
        AppendEscaped(page, s.Cell(c, 0));
        page += QLatin1String("</th>");
    }
    page += QLatin1String("</tr></thead>\n<tbody id=\"zeilen\">\n");
    for (int r = 1; r < s.RowCount(); ++r) {
        page += QLatin1String("<tr>");
        for (int c : s.columns) {
            page += QLatin1String("<td>");
            AppendEscaped(page, s.Cell(c, r));
            page += QLatin1String("</td>");
        }
        page += QLatin1String("</tr>\n");
    }
    // The narrow screen's list: what a spectator looks for first, the rest behind a tap.
    page += QLatin1String("</tbody></table>\n<table class=\"schmal\" id=\"kurztabelle\"><thead><tr>"
                          "<th class=\"p\">");
    AppendEscaped(page, s.Cell(Col::Platz, 0));
    page += QLatin1String("</th><th class=\"n\">");
    AppendEscaped(page, s.Cell(Col::StNr, 0));
    page += QLatin1String("</th><th class=\"nm\">Name</th><th class=\"z\">");
    AppendEscaped(page, s.Cell(Col::Zeit, 0));
    page += QLatin1String("</th></tr></thead>\n<tbody id=\"kurz\">\n");
    const bool names = s.columns.contains(Col::Vorname) || s.columns.contains(Col::Nachname);
    for (int r = 1; r < s.RowCount(); ++r) {
        page += QLatin1String("<tr><td class=\"p\">");
        AppendEscaped(page, s.Cell(Col::Platz, r));
        page += QLatin1String("</td><td class=\"n\">");
        AppendEscaped(page, s.Cell(Col::StNr, r));
        page += QLatin1String("</td><td class=\"nm\">");
        if (names)
            AppendEscaped(page, VisibleName(s, r));
        page += QLatin1String("</td><td class=\"z\">");
        AppendEscaped(page, s.Cell(Col::Zeit, r));
        page += QLatin1String("</td></tr>\n");
    }
    page += QLatin1String("</tbody></table></div>\n<script>");
    page += QLatin1String(kPageScript);
    page += QLatin1String("</script>\n</body></html>\n");
    return page.toUtf8();
}

QByteArray ResultPagePolicy() {
    static const QByteArray policy = Policy(kPageStyle, kPageScript);
    return policy;
}

QByteArray ClockPage() {
    static const QByteArray page =
        QByteArray("<!DOCTYPE html>\n<html lang=\"de\"><head><meta charset=\"utf-8\">\n"
                   "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n"
                   "<title>Uhr</title>\n<style>") +
        kClockStyle +
        "</style>\n</head><body>\n<div id=\"uhr\">--:--:--</div>\n<div id=\"lauf\"></div>\n"
        "<div id=\"letzter\"></div>\n<div id=\"fehler\" hidden>Keine Verbindung</div>\n"
        "<script>" +
        kClockScript + "</script>\n</body></html>\n";
    return page;
}

QByteArray ClockPagePolicy() {
    static const QByteArray policy = Policy(kClockStyle, kClockScript);
    return policy;
}

QByteArray ResultsJsonClocks(const Snapshot& s) {
    const std::optional<qint64> race = s.RaceMsNow();
    return "{\"now\":" + QByteArray::number(s.DayMsNow()) +
           ",\"race\":" + (race ? QByteArray::number(*race) : QByteArray("null")) + ',';
}

QByteArray ResultsJsonRest(const Snapshot& s) {
    QString out;
    out.reserve(1024 + s.RowCount() * (s.columns.size() + 4) * 12);
    out += QLatin1String("\"version\":") + QString::number(s.version);
    out += QLatin1String(",\"title\":");
    AppendJsonString(out, s.title);
    out += QLatin1String(",\"stand\":");
    AppendJsonString(out, s.stand);
    out += QLatin1String(",\"state\":") + (s.running ? QLatin1String("\"running\"") : QLatin1String("\"idle\""));
    out += QLatin1String(",\"classes\":") + (s.classes ? QLatin1String("true") : QLatin1String("false"));
    out += QLatin1String(",\"columns\":[");
    for (qsizetype i = 0; i < s.columns.size(); ++i) {
        if (i)
            out += QLatin1Char(',');
        out += QLatin1String("{\"index\":") + QString::number(s.columns[i]) + QLatin1String(",\"caption\":");
        AppendJsonString(out, s.Cell(s.columns[i], 0));
        out += QLatin1Char('}');
    }
    // Where the narrow screen's columns are among the cells (-1: hidden).
    out += QLatin1String("],\"phone\":{\"platz\":") + QString::number(Position(s, Col::Platz)) +
           QLatin1String(",\"nr\":") + QString::number(Position(s, Col::StNr)) + QLatin1String(",\"name\":[");
    bool first = true;
    for (int c : {Col::Vorname, Col::Nachname}) {
        if (Position(s, c) < 0)
            continue;
        if (!first)
            out += QLatin1Char(',');
        first = false;
        out += QString::number(Position(s, c));
    }
    out += QLatin1String("],\"zeit\":") + QString::number(Position(s, Col::Zeit)) + QLatin1String(",\"klPlatz\":") +
           QString::number(Position(s, Col::KlPl)) + QLatin1Char('}');
    out += QLatin1String(",\"rows\":[");
    for (int r = 1; r < s.RowCount(); ++r) {
        if (r > 1)
            out += QLatin1Char(',');
        out += QLatin1String("\n{\"key\":");
        AppendJsonString(out, s.Cell(Col::StNr, r));
        out += QLatin1String(",\"klasse\":");
        AppendJsonString(out, s.classes ? s.Cell(Col::Klasse, r).trimmed() : QString());
        out += QLatin1String(",\"cells\":[");
        for (qsizetype i = 0; i < s.columns.size(); ++i) {
            if (i)
                out += QLatin1Char(',');
            AppendJsonString(out, s.Cell(s.columns[i], r));
        }
        out += QLatin1String("]}");
    }
    out += QLatin1String("],");
    AppendLastFinish(out, s);
    out += QLatin1String("}\n");
    return out.toUtf8();
}

QByteArray ResultsEvent(const Snapshot& s, const QByteArray& tag) {
    QString out;
    out += QLatin1String("\"version\":") + QString::number(s.version);
    out += QLatin1String(",\"tag\":");
    AppendJsonString(out, QString::fromLatin1(tag));
    out += QLatin1Char(',');
    AppendLastFinish(out, s);
    out += QLatin1Char('}');
    return ResultsJsonClocks(s) + out.toUtf8();
}

QByteArray ResultsJson(const Snapshot& s) {
    return ResultsJsonClocks(s) + ResultsJsonRest(s);
}

QByteArray ResultsCsv(const Snapshot& s) {
    QString out;
    out.reserve(256 + s.RowCount() * (s.columns.size() + 1) * 10);
    for (int r = 0; r < s.RowCount(); ++r) {
        for (qsizetype i = 0; i < s.columns.size(); ++i) {
            if (i)
                out += QLatin1Char(';');
            out += CsvField(s.Cell(s.columns[i], r));
        }
        out += QLatin1String("\r\n");
    }
    return "\xEF\xBB\xBF" + out.toUtf8();
}
