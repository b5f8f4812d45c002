#include "platform/PagedHtml.h"

#include <QAbstractTextDocumentLayout>
#include <QImage>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QStringDecoder>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextFrame>
#include <QTextTable>

#include <algorithm>

namespace {

// Layout units: pixels at 96 dots per inch, as a browser lays the page out.
constexpr double kLayoutDpi = 96.0;
constexpr double kHeaderHeight = 28.0;
constexpr double kFooterHeight = 22.0;

QString FirstHeading(const QTextDocument& doc) {
    for (QTextBlock b = doc.begin(); b.isValid(); b = b.next())
        if (b.blockFormat().headingLevel() == 1 && !b.text().trimmed().isEmpty())
            return b.text().trimmed();
    return doc.metaInformation(QTextDocument::DocumentTitle);
}

int WidestIn(QTextFrame* frame) {
    int widest = 0;
    if (auto* table = qobject_cast<QTextTable*>(frame))
        widest = table->columns();
    for (QTextFrame* child : frame->childFrames())
        widest = std::max(widest, WidestIn(child));
    return widest;
}

} // namespace

QString DecodeHtmlPage(const QByteArray& bytes) {
    QStringDecoder decoder = QStringDecoder::decoderForHtml(bytes);
    const QString name = decoder.isValid() ? QString::fromLatin1(decoder.name()) : QString();
    if (!decoder.isValid() || name.compare(QLatin1String("ISO-8859-1"), Qt::CaseInsensitive) == 0 ||
        name.compare(QLatin1String("latin1"), Qt::CaseInsensitive) == 0) {
        QStringDecoder cp1252("windows-1252");
        if (cp1252.isValid())
            return cp1252.decode(bytes);
        return QString::fromLatin1(bytes);
    }
    return decoder.decode(bytes);
}

int WidestTable(const QString& html) {
    QTextDocument doc;
    doc.setHtml(html);
    return WidestIn(doc.rootFrame());
}

int PrintHtmlPages(QPagedPaintDevice& device, const QString& html) {
    // A reference device of fixed resolution makes the layout the same on screen,
    // printer and PDF; the painter scales it to the device.
    QImage reference(1, 1, QImage::Format_RGB32);
    reference.setDotsPerMeterX(qRound(kLayoutDpi / 0.0254));
    reference.setDotsPerMeterY(qRound(kLayoutDpi / 0.0254));

    QTextDocument doc;
    doc.documentLayout()->setPaintDevice(&reference);
    doc.setHtml(html);
    doc.setDocumentMargin(0);

    const QRectF paint = device.pageLayout().paintRect(QPageLayout::Inch);
    const double width = paint.width() * kLayoutDpi;
    const double bodyHeight = paint.height() * kLayoutDpi - kHeaderHeight - kFooterHeight;
    if (width <= 0 || bodyHeight <= 0)
        return 0;
    doc.setPageSize(QSizeF(width, bodyHeight));
    const int pages = doc.pageCount();
    const QString heading = FirstHeading(doc);

    QPainter painter;
    if (!painter.begin(&device))
        return 0;
    const double scale = device.logicalDpiX() / kLayoutDpi;
    QFont small(QStringLiteral("Arial"));
    small.setPixelSize(11);
    QFont bold = small;
    bold.setBold(true);
    for (int p = 0; p < pages; ++p) {
        if (p > 0 && !device.newPage())
            break;
        painter.save();
        painter.scale(scale, scale);
        painter.setFont(bold);
        painter.drawText(QRectF(0, 0, width, kHeaderHeight - 6), Qt::AlignLeft | Qt::AlignBottom, heading);
        painter.drawLine(QPointF(0, kHeaderHeight - 3), QPointF(width, kHeaderHeight - 3));
        painter.setFont(small);
        painter.drawText(QRectF(0, kHeaderHeight + bodyHeight, width, kFooterHeight), Qt::AlignCenter,
                         QStringLiteral("Seite %1 von %2").arg(p + 1).arg(pages));
        painter.translate(0, kHeaderHeight - p * bodyHeight);
        const QRectF body(0, p * bodyHeight, width, bodyHeight);
        painter.setClipRect(body);
        QAbstractTextDocumentLayout::PaintContext context;
        context.clip = body;
        context.palette.setColor(QPalette::Text, Qt::black);
        doc.documentLayout()->draw(&painter, context);
        painter.restore();
    }
    painter.end();
    return pages;
}
