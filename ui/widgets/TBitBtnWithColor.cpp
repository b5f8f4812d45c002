#include "ui/widgets/TBitBtnWithColor.h"

#include <QApplication>
#include <QDialog>
#include <QEvent>
#include <QImage>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>

namespace {
// Modal results as dialogs of this program count them.
constexpr int kResultOk = 1;
constexpr int kResultCancel = 2;
constexpr int kResultAbort = 3;
constexpr int kResultRetry = 4;
constexpr int kResultIgnore = 5;
constexpr int kResultYes = 6;
constexpr int kResultNo = 7;
constexpr int kResultAll = 8;

// Raised 3-D edge, two pixels wide: light outside top-left, darkest outside bottom-right.
void DrawRaisedEdge(QPainter& p, const QRect& r, const QPalette& pal) {
    auto frame = [&p](const QRect& f, const QColor& topLeft, const QColor& bottomRight) {
        p.setPen(topLeft);
        p.drawLine(f.left(), f.bottom() - 1, f.left(), f.top());
        p.drawLine(f.left(), f.top(), f.right() - 1, f.top());
        p.setPen(bottomRight);
        p.drawLine(f.left(), f.bottom(), f.right(), f.bottom());
        p.drawLine(f.right(), f.bottom(), f.right(), f.top());
    };
    frame(r, pal.color(QPalette::Active, QPalette::Midlight), pal.color(QPalette::Active, QPalette::Shadow));
    frame(r.adjusted(1, 1, -1, -1), pal.color(QPalette::Active, QPalette::Light),
          pal.color(QPalette::Active, QPalette::Dark));
}

// Pixels that form the picture of a glyph (opaque and not near white), for the embossed disabled image.
QImage ShapeOf(const QImage& source, const QColor& ink) {
    QImage shape(source.size(), QImage::Format_ARGB32_Premultiplied);
    shape.fill(Qt::transparent);
    const QRgb inkRgb = ink.rgba();
    for (int y = 0; y < source.height(); ++y) {
        for (int x = 0; x < source.width(); ++x) {
            const QRgb px = source.pixel(x, y);
            if (qAlpha(px) >= 128 && qGray(px) < 224)
                shape.setPixel(x, y, inkRgb);
        }
    }
    return shape;
}
} // namespace

TBitBtnWithColor::TBitBtnWithColor(const QString& caption, QWidget* parent)
    : QPushButton(caption, parent), m_color(palette().color(QPalette::Active, QPalette::Button)) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    connect(this, &QAbstractButton::clicked, this, &TBitBtnWithColor::OnClicked);
}

QString TBitBtnWithColor::KindCaption(TBitBtnWithColorKind kind) {
    switch (kind) {
    case TBitBtnWithColorKind::bkCustom:
        return {};
    case TBitBtnWithColorKind::bkOK:
        return QStringLiteral("OK");
    case TBitBtnWithColorKind::bkCancel:
        return QStringLiteral("Abbrechen");
    case TBitBtnWithColorKind::bkHelp:
        return QStringLiteral("Hilfe");
    case TBitBtnWithColorKind::bkYes:
        return QStringLiteral("Ja");
    case TBitBtnWithColorKind::bkNo:
        return QStringLiteral("Nein");
    case TBitBtnWithColorKind::bkClose:
        return QStringLiteral("Schließen");
    case TBitBtnWithColorKind::bkAbort:
        return QStringLiteral("Abbrechen");
    case TBitBtnWithColorKind::bkRetry:
        return QStringLiteral("Wiederholen");
    case TBitBtnWithColorKind::bkIgnore:
        return QStringLiteral("Ignorieren");
    case TBitBtnWithColorKind::bkAll:
        return QStringLiteral("Alle");
    }
    return {};
}

int TBitBtnWithColor::KindModalResult(TBitBtnWithColorKind kind) {
    switch (kind) {
    case TBitBtnWithColorKind::bkOK:
        return kResultOk;
    case TBitBtnWithColorKind::bkCancel:
        return kResultCancel;
    case TBitBtnWithColorKind::bkYes:
        return kResultYes;
    case TBitBtnWithColorKind::bkNo:
        return kResultNo;
    case TBitBtnWithColorKind::bkAbort:
        return kResultAbort;
    case TBitBtnWithColorKind::bkRetry:
        return kResultRetry;
    case TBitBtnWithColorKind::bkIgnore:
        return kResultIgnore;
    case TBitBtnWithColorKind::bkAll:
        return kResultAll;
    case TBitBtnWithColorKind::bkCustom:
    case TBitBtnWithColorKind::bkHelp:
    case TBitBtnWithColorKind::bkClose:
        break;
    }
    return 0;
}

void TBitBtnWithColor::SetColor(const QColor& color) {
    if (color == m_color)
        return;
    m_color = color;
    // The glyph images carry the face colour as their background.
    RebuildGlyphImages();
    update();
}

void TBitBtnWithColor::SetGlyph(const QPixmap& glyph) {
    m_glyph = glyph;
    m_numGlyphs = 1;
    if (!glyph.isNull() && glyph.height() > 0 && glyph.width() % glyph.height() == 0) {
        const int n = glyph.width() / glyph.height();
        if (n >= 1 && n < 5)
            m_numGlyphs = n;
    }
    RebuildGlyphImages();
    updateGeometry();
    update();
}

void TBitBtnWithColor::SetNumGlyphs(int n) {
    n = qBound(1, n, 4);
    if (n == m_numGlyphs)
        return;
    m_numGlyphs = n;
    RebuildGlyphImages();
    updateGeometry();
    update();
}

void TBitBtnWithColor::SetKind(TBitBtnWithColorKind kind) {
    if (kind == m_kind)
        return;
    m_kind = kind;
    if (kind != TBitBtnWithColorKind::bkCustom) {
        setText(KindCaption(kind));
        m_modalResult = KindModalResult(kind);
    }
    RebuildGlyphImages();
    updateGeometry();
    update();
}

void TBitBtnWithColor::SetLayout(TButtonLayout layout) {
    if (layout == m_layout)
        return;
    m_layout = layout;
    updateGeometry();
    update();
}

void TBitBtnWithColor::SetMargin(int margin) {
    if (margin == m_margin || margin < -1)
        return;
    m_margin = margin;
    update();
}

void TBitBtnWithColor::SetSpacing(int spacing) {
    if (spacing == m_spacing)
        return;
    m_spacing = spacing;
    updateGeometry();
    update();
}

void TBitBtnWithColor::SetStyle(TButtonStyle style) {
    if (style == m_style)
        return;
    m_style = style;
    update();
}

void TBitBtnWithColor::OnClicked() {
    switch (m_kind) {
    case TBitBtnWithColorKind::bkClose:
        window()->close();
        return;
    case TBitBtnWithColorKind::bkHelp:
        emit HelpRequested();
        return;
    default:
        break;
    }
    if (m_modalResult != 0) {
        if (auto* dialog = qobject_cast<QDialog*>(window()))
            dialog->done(m_modalResult);
    }
}

// The user's glyph with its transparency; a bitmap without alpha takes the
// colour of its bottom-left pixel as transparent. Kinds without a glyph of
// their own show the style's standard picture.
QPixmap TBitBtnWithColor::SourceGlyph() const {
    if (!m_glyph.isNull()) {
        if (m_glyph.hasAlphaChannel())
            return m_glyph;
        QImage image = m_glyph.toImage().convertToFormat(QImage::Format_ARGB32);
        const QRgb transparent = image.pixel(0, image.height() - 1);
        for (int y = 0; y < image.height(); ++y) {
            auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
            for (int x = 0; x < image.width(); ++x) {
                if (line[x] == transparent)
                    line[x] = qRgba(0, 0, 0, 0);
            }
        }
        return QPixmap::fromImage(image);
    }
    QStyle::StandardPixmap sp;
    switch (m_kind) {
    case TBitBtnWithColorKind::bkOK:
        sp = QStyle::SP_DialogOkButton;
        break;
    case TBitBtnWithColorKind::bkCancel:
        sp = QStyle::SP_DialogCancelButton;
        break;
    case TBitBtnWithColorKind::bkHelp:
        sp = QStyle::SP_DialogHelpButton;
        break;
    case TBitBtnWithColorKind::bkYes:
        sp = QStyle::SP_DialogYesButton;
        break;
    case TBitBtnWithColorKind::bkNo:
        sp = QStyle::SP_DialogNoButton;
        break;
    case TBitBtnWithColorKind::bkClose:
        sp = QStyle::SP_DialogCloseButton;
        break;
    case TBitBtnWithColorKind::bkAbort:
        sp = QStyle::SP_DialogAbortButton;
        break;
    case TBitBtnWithColorKind::bkRetry:
        sp = QStyle::SP_DialogRetryButton;
        break;
    case TBitBtnWithColorKind::bkIgnore:
        sp = QStyle::SP_DialogIgnoreButton;
        break;
    case TBitBtnWithColorKind::bkAll:
        sp = QStyle::SP_DialogYesToAllButton;
        break;
    default:
        return {};
    }
    const int extent = style()->pixelMetric(QStyle::PM_ButtonIconSize, nullptr, this);
    return style()->standardIcon(sp, nullptr, this).pixmap(QSize(extent, extent), 1.0);
}

QSize TBitBtnWithColor::GlyphSize() const {
    const QPixmap& up = m_images[GlyphUp];
    return up.isNull() ? QSize(0, 0) : up.size();
}

void TBitBtnWithColor::RebuildGlyphImages() {
    for (QPixmap& image : m_images)
        image = QPixmap();
    const QPixmap source = SourceGlyph();
    if (source.isNull())
        return;
    // The style's pictures are single images; only the user's glyph is a strip.
    const int count = m_glyph.isNull() ? 1 : m_numGlyphs;
    const int w = source.width() / count;
    const int h = source.height();
    if (w <= 0 || h <= 0)
        return;

    auto part = [&](int index) { return source.copy(index * w, 0, w, h); };
    auto onFace = [&](const QPixmap& picture) {
        QPixmap image(w, h);
        image.fill(m_color);
        QPainter p(&image);
        p.drawPixmap(0, 0, picture);
        return image;
    };

    m_images[GlyphUp] = onFace(part(0));
    if (count > GlyphDisabled) {
        m_images[GlyphDisabled] = onFace(part(GlyphDisabled));
    } else {
        const QImage up = part(0).toImage().convertToFormat(QImage::Format_ARGB32);
        QPixmap image(w, h);
        image.fill(m_color);
        QPainter p(&image);
        p.drawImage(1, 1, ShapeOf(up, palette().color(QPalette::Active, QPalette::Light)));
        p.drawImage(0, 0, ShapeOf(up, palette().color(QPalette::Active, QPalette::Dark)));
        p.end();
        m_images[GlyphDisabled] = image;
    }
    m_images[GlyphDown] = count > GlyphDown ? onFace(part(GlyphDown)) : m_images[GlyphUp];
    m_images[GlyphHeld] = count > GlyphHeld ? onFace(part(GlyphHeld)) : m_images[GlyphDown];
}

QSize TBitBtnWithColor::sizeHint() const {
    const QString caption = text();
    const QSize textSize = caption.isEmpty() ? QSize(0, 0) : fontMetrics().size(Qt::TextShowMnemonic, caption);
    const QSize glyph = GlyphSize();
    const int gap = (textSize.isEmpty() || glyph.isEmpty()) ? 0 : qMax(0, m_spacing);
    QSize content;
    if (m_layout == TButtonLayout::blGlyphLeft || m_layout == TButtonLayout::blGlyphRight)
        content = QSize(glyph.width() + gap + textSize.width(), qMax(glyph.height(), textSize.height()));
    else
        content = QSize(qMax(glyph.width(), textSize.width()), glyph.height() + gap + textSize.height());
    // Frame, 3-D edge and face border on each side, plus some air around the content.
    return content + QSize(2 * 4 + 16, 2 * 4 + 4);
}

// Edges, frames and embossing use the Active colours, like fixed system
// colours: a disabled button keeps its shape and only its content greys.
void TBitBtnWithColor::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const QPalette& pal = palette();
    const bool enabled = isEnabled();
    const bool down = isDown() || isChecked();
    // The focused button is the one Enter acts on: it gets the focus rectangle.
    const bool active = hasFocus();

    QRect r = rect();
    p.setBrush(Qt::NoBrush);
    if (isDefault() || active) {
        p.setPen(pal.color(QPalette::Active, QPalette::Shadow));
        p.drawRect(r.adjusted(0, 0, -1, -1));
        r.adjust(1, 1, -1, -1);
    }

    QColor border;
    if (down) {
        border = pal.color(QPalette::Active, QPalette::Dark);
    } else {
        DrawRaisedEdge(p, r, pal);
        r.adjust(2, 2, -2, -2);
        border = m_color;
    }
    p.setPen(border);
    p.setBrush(m_color);
    p.drawRect(r.adjusted(0, 0, -1, -1));
    r.adjust(1, 1, -1, -1);
    if (active)
        r = rect().adjusted(1, 1, -1, -1);

    // Glyph and caption: centred across the layout direction, placed by Margin
    // and Spacing along it (Margin -1 centres the pair).
    const QString caption = text();
    const QSize textSize = caption.isEmpty() ? QSize(0, 0) : fontMetrics().size(Qt::TextShowMnemonic, caption);
    const QSize glyphSize = GlyphSize();
    const bool horizontal = m_layout == TButtonLayout::blGlyphLeft || m_layout == TButtonLayout::blGlyphRight;
    int spacing = (textSize.isEmpty() || glyphSize.isEmpty()) ? 0 : m_spacing;
    int margin = m_margin;
    const int along = horizontal ? r.width() : r.height();
    const int glyphAlong = horizontal ? glyphSize.width() : glyphSize.height();
    const int textAlong = horizontal ? textSize.width() : textSize.height();
    if (margin == -1) {
        if (spacing == -1) {
            margin = (along - glyphAlong - textAlong) / 3;
            spacing = margin;
        } else {
            margin = (along - (glyphAlong + spacing + textAlong) + 1) / 2;
        }
    } else if (spacing == -1) {
        spacing = (along - margin - glyphAlong - textAlong) / 2;
    }

    QPoint glyphPos;
    QPoint textPos;
    if (horizontal) {
        glyphPos.setY((r.height() - glyphSize.height() + 1) / 2);
        textPos.setY((r.height() - textSize.height() + 1) / 2);
    } else {
        glyphPos.setX((r.width() - glyphSize.width() + 1) / 2);
        textPos.setX((r.width() - textSize.width() + 1) / 2);
    }
    switch (m_layout) {
    case TButtonLayout::blGlyphLeft:
        glyphPos.setX(margin);
        textPos.setX(margin + glyphSize.width() + spacing);
        break;
    case TButtonLayout::blGlyphRight:
        glyphPos.setX(r.width() - margin - glyphSize.width());
        textPos.setX(glyphPos.x() - spacing - textSize.width());
        break;
    case TButtonLayout::blGlyphTop:
        glyphPos.setY(margin);
        textPos.setY(margin + glyphSize.height() + spacing);
        break;
    case TButtonLayout::blGlyphBottom:
        glyphPos.setY(r.height() - margin - glyphSize.height());
        textPos.setY(glyphPos.y() - spacing - textSize.height());
        break;
    }
    const QPoint shift = r.topLeft() + (down ? QPoint(1, 1) : QPoint(0, 0));
    glyphPos += shift;
    textPos += shift;

    if (!glyphSize.isEmpty()) {
        GlyphState state = GlyphUp;
        if (!enabled)
            state = GlyphDisabled;
        else if (isChecked())
            state = GlyphHeld;
        else if (down)
            state = GlyphDown;
        p.drawPixmap(glyphPos, m_images[state]);
    }

    if (!caption.isEmpty()) {
        p.setFont(font());
        const QRect textRect(textPos, textSize);
        constexpr int flags = Qt::AlignCenter | Qt::TextShowMnemonic;
        if (enabled) {
            p.setPen(pal.color(QPalette::Active, QPalette::ButtonText));
            p.drawText(textRect, flags, caption);
        } else {
            // Disabled captions are embossed like the disabled glyph.
            p.setPen(pal.color(QPalette::Active, QPalette::Light));
            p.drawText(textRect.translated(1, 1), flags, caption);
            p.setPen(pal.color(QPalette::Active, QPalette::Dark));
            p.drawText(textRect, flags, caption);
        }
    }

    if (active) {
        QPen dotted(pal.color(QPalette::Active, QPalette::ButtonText));
        dotted.setStyle(Qt::DotLine);
        p.setPen(dotted);
        p.setBrush(Qt::NoBrush);
        p.drawRect(rect().adjusted(4, 4, -5, -5));
    }
}

void TBitBtnWithColor::mousePressEvent(QMouseEvent* event) {
    if (!m_actOnPress) {
        QPushButton::mousePressEvent(event);
        return;
    }
    if (!isEnabled() || !hitButton(event->position().toPoint())) {
        event->ignore();
        return;
    }
    event->accept();
    m_pressHeld = true;
    setDown(true);
    // Show the pressed face before the action runs; the action may take a moment.
    repaint();
    emit Activated();
}

void TBitBtnWithColor::mouseReleaseEvent(QMouseEvent* event) {
    if (!m_pressHeld) {
        QPushButton::mouseReleaseEvent(event);
        return;
    }
    event->accept();
    if (event->buttons() == Qt::NoButton) {
        m_pressHeld = false;
        setDown(false);
    }
}

void TBitBtnWithColor::mouseDoubleClickEvent(QMouseEvent* event) {
    // The second click of a double click is one more press.
    mousePressEvent(event);
}

void TBitBtnWithColor::changeEvent(QEvent* event) {
    QPushButton::changeEvent(event);
    switch (event->type()) {
    case QEvent::EnabledChange:
    case QEvent::ActivationChange:
        // A press whose release went elsewhere (the button was disabled, a
        // dialog came up) must not leave the button stuck down.
        if (m_pressHeld && (!isEnabled() || !isActiveWindow())) {
            m_pressHeld = false;
            setDown(false);
        }
        update();
        break;
    case QEvent::FontChange:
        updateGeometry();
        update();
        break;
    case QEvent::PaletteChange:
    case QEvent::StyleChange:
        RebuildGlyphImages();
        update();
        break;
    default:
        break;
    }
}
