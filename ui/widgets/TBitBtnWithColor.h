#pragma once

#include <QColor>
#include <QPixmap>
#include <QPushButton>

#include <array>

enum class TBitBtnWithColorKind {
    bkCustom,
    bkOK,
    bkCancel,
    bkHelp,
    bkYes,
    bkNo,
    bkClose,
    bkAbort,
    bkRetry,
    bkIgnore,
    bkAll
};
enum class TButtonLayout { blGlyphLeft, blGlyphRight, blGlyphTop, blGlyphBottom };
enum class TButtonStyle { bsAutoDetect, bsWin31, bsNew };

// A push button whose face is painted in a colour the program chooses; the
// command buttons show the state of the run through it. With ActOnPress the
// button acts on the press of any mouse button (signal Activated), not on release.
//
// Kind sets the standard caption and ModalResult (1 OK, 2 Cancel, 3 Abort,
// 4 Retry, 5 Ignore, 6 Yes, 7 No, 8 All). A click on a button with a ModalResult
// inside a QDialog ends the dialog with it; bkClose closes its window and bkHelp
// emits HelpRequested instead.
class TBitBtnWithColor : public QPushButton {
    Q_OBJECT
public:
    explicit TBitBtnWithColor(const QString& caption = QString(), QWidget* parent = nullptr);

    QColor Color() const { return m_color; }
    void SetColor(const QColor& color);
    QPixmap Glyph() const { return m_glyph; }
    // Also sets NumGlyphs: width / height when that is a whole number below 5, else 1.
    void SetGlyph(const QPixmap& glyph);
    int NumGlyphs() const { return m_numGlyphs; }
    void SetNumGlyphs(int n);
    TBitBtnWithColorKind Kind() const { return m_kind; }
    void SetKind(TBitBtnWithColorKind kind);
    TButtonLayout Layout() const { return m_layout; }
    void SetLayout(TButtonLayout layout);
    int Margin() const { return m_margin; }
    void SetMargin(int margin);
    int Spacing() const { return m_spacing; }
    void SetSpacing(int spacing);
    TButtonStyle Style() const { return m_style; }
    void SetStyle(TButtonStyle style);
    int ModalResult() const { return m_modalResult; }
    void SetModalResult(int result) { m_modalResult = result; }

    bool ActOnPress() const { return m_actOnPress; }
    void SetActOnPress(bool on) { m_actOnPress = on; }

    // Standard caption of a kind; empty for bkCustom.
    static QString KindCaption(TBitBtnWithColorKind kind);
    static int KindModalResult(TBitBtnWithColorKind kind);

    QSize sizeHint() const override;

signals:
    // Press of any mouse button while ActOnPress is set (and the button is enabled).
    // A double click counts as a second press. The release that follows emits nothing.
    void Activated();
    // A bkHelp button was clicked; the owner shows the help of its window.
    void HelpRequested();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    enum GlyphState { GlyphUp, GlyphDisabled, GlyphDown, GlyphHeld, GlyphStateCount };

    void OnClicked();
    void RebuildGlyphImages();
    QPixmap SourceGlyph() const;
    QSize GlyphSize() const;

    QColor m_color;
    QPixmap m_glyph;
    int m_numGlyphs = 1;
    TBitBtnWithColorKind m_kind = TBitBtnWithColorKind::bkCustom;
    TButtonLayout m_layout = TButtonLayout::blGlyphLeft;
    int m_margin = -1;
    int m_spacing = 4;
    TButtonStyle m_style = TButtonStyle::bsAutoDetect;
    int m_modalResult = 0;
    bool m_actOnPress = false;
    // A press taken over for ActOnPress; its release only lifts the button.
    bool m_pressHeld = false;
    // Glyph images on a background of Color, one per GlyphState.
    std::array<QPixmap, GlyphStateCount> m_images;
};
