#pragma once

// The live results' pages and data, built from a snapshot: UTF-8, every text
// escaped, no external resource. The pages' own style and script are fixed
// texts; the Content-Security-Policy allows exactly these by their hashes.

#include "core/live/Snapshot.h"

#include <QByteArray>
#include <QString>

// `text` for HTML text and attribute values: &, <, >, " and ' as references.
QString HtmlTextEscaped(const QString& text);
// `text` as a JSON string with its quotes; <, >, & and the line separators escaped
// too, so that the data can never be read as markup.
void AppendJsonString(QString& out, const QString& text);

// "/": the result list, with the rows of `snapshot` already in the table so that it
// shows without script; its script listens to /events and fetches /results.json
// once per change. A narrow screen shows place, number, name and time, the rest on a tap.
QByteArray ResultPage(const Snapshot& snapshot);
QByteArray ResultPagePolicy();
// "/clock": running clock of day, time since the first start and the last finish.
QByteArray ClockPage();
QByteArray ClockPagePolicy();

// "/results.json" from its opening brace to the comma before "version": the clocks
// now (they change with every request, the rest only with the snapshot).
QByteArray ResultsJsonClocks(const Snapshot& snapshot);
// The rest of "/results.json" after ResultsJsonClocks.
QByteArray ResultsJsonRest(const Snapshot& snapshot);
QByteArray ResultsJson(const Snapshot& snapshot);
// The change stream's message: the clocks, the version, the data's ETag `tag` and the last finish.
QByteArray ResultsEvent(const Snapshot& snapshot, const QByteArray& tag);
// "/results.csv": UTF-8 with byte order mark, ";" between the fields, CR LF, the visible columns.
QByteArray ResultsCsv(const Snapshot& snapshot);
