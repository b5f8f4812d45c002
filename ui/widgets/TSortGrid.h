#pragma once

#include "core/grid/SortGridData.h"

#include <QAbstractScrollArea>
#include <QColor>
#include <QFlags>
#include <QFont>
#include <QListWidget>
#include <QPoint>
#include <QPointer>
#include <QStringList>

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <vector>

class Prompts;
class QLineEdit;
class QMenu;
class QFontMetrics;
class QPainter;
class WaitCursorGuard;

enum TGridOption : unsigned {
    goFixedVertLine = 1u << 0,
    goFixedHorzLine = 1u << 1,
    goVertLine = 1u << 2,
    goHorzLine = 1u << 3,
    goRangeSelect = 1u << 4,
    goDrawFocusSelected = 1u << 5,
    goRowSizing = 1u << 6,
    goColSizing = 1u << 7,
    goRowMoving = 1u << 8,
    goColMoving = 1u << 9,
    goEditing = 1u << 10,
    goTabs = 1u << 11,
    goRowSelect = 1u << 12,
    goAlwaysShowEditor = 1u << 13,
    goThumbTracking = 1u << 14
};
Q_DECLARE_FLAGS(TGridOptions, TGridOption)
Q_DECLARE_OPERATORS_FOR_FLAGS(TGridOptions)

enum TGridDrawStateFlag : unsigned { gdSelected = 1u << 0, gdFocused = 1u << 1, gdFixed = 1u << 2 };
Q_DECLARE_FLAGS(TGridDrawState, TGridDrawStateFlag)
Q_DECLARE_OPERATORS_FOR_FLAGS(TGridDrawState)

enum class TAlignment { taLeftJustify, taRightJustify, taCenter };
enum class TVertAlignment { taTopJustify, taBottomJustify, taMiddle };
enum class TCellBevelStyle { cbNone, cbRaised, cbLowered };
enum class TScrollStyle { ssNone, ssHorizontal, ssVertical, ssBoth };

struct TGridRect {
    int Left = 0;
    int Top = 0;
    int Right = 0;
    int Bottom = 0;
    bool operator==(const TGridRect&) const = default;
};

struct TGridCoord {
    int X = -1; // column, -1 outside the columns
    int Y = -1; // row, -1 outside the rows
};

// The cell's brush and font as the owner may change them for one cell.
struct TCellBrush {
    QColor Color;
};
struct TCellFont : public QFont {
    TCellFont() = default;
    TCellFont(const QFont& font, const QColor& color) : QFont(font), Color(color) {}
    QColor Color;
};

// Handed to OnGetCellFormat for every cell drawn or measured, preset by the grid.
struct TFormatOptions {
    TCellBrush Brush;
    TCellFont Font;
    TAlignment AlignmentHorz = TAlignment::taLeftJustify;
    TVertAlignment AlignmentVert = TVertAlignment::taTopJustify;
    TCellBevelStyle BevelStyle = TCellBevelStyle::cbNone;
    QColor BevelLight;
    QColor BevelDark;
    bool HideText = false;
};

// The answer of the cell format request for one cell.
struct TCellFormat {
    TFormatOptions Format;
    bool CheckBox = false;
    bool ComboBox = false;
    bool Ellipsis = false;
};

// The program's table control: a custom-drawn grid of text cells with one
// header row, painted from a SortGridData. Only the visible rows are painted,
// so a long protocol scrolls as fast as a short one. Events answering through
// reference arguments are std::function members named like the grid's events.
class TSortGrid : public QAbstractScrollArea {
    Q_OBJECT
public:
    explicit TSortGrid(QWidget* parent = nullptr);
    // Paints `data`, which must outlive the grid.
    explicit TSortGrid(SortGridData* data, QWidget* parent = nullptr);
    ~TSortGrid() override;

    // --- the data and its most used parts
    SortGridData& Data() { return *m_data; }
    const SortGridData& Data() const { return *m_data; }
    QString Cell(int col, int row) const;
    void SetCell(int col, int row, const QString& text);
    QStringList Rows(int row) const;
    void SetRows(int row, const QStringList& texts);
    QStringList Cols(int col) const;
    int ColCount() const;
    void SetColCount(int count);
    int RowCount() const;
    void SetRowCount(int count);
    int Col() const;
    void SetCol(int col);
    int Row() const;
    void SetRow(int row);
    int FixedRows() const { return 1; }
    int FixedCols() const { return 0; }
    TSortOptions& SortOptions();

    int FindRow(int col, const QString& text, bool ignoreCase = false) const;
    void ClearGrid();
    void InsertRow(int row);
    void DeleteRow(int row);
    void InsertColumn(int col);
    void DeleteColumn(int col);
    void MoveRow(int from, int to);
    void MoveColumn(int from, int to);
    void ExchangeRows(int a, int b);
    // The operator's sort: a typed text is checked first, then the editor closes.
    bool SortByColumn(int col);
    // A burst of program writes on the data (a ranking): the view follows once at the
    // end. An open editor whose cell is written or whose rows move is closed without
    // taking its text (OnEditDropped).
    void Batch(const std::function<void(SortGridData& data)>& writes);

    bool Modified() const;
    void SetModified(bool modified);
    bool Updating() const;
    void BeginUpdate();
    void EndUpdate();
    bool Filtered() const;
    void SetFiltered(bool filtered);

    // --- navigation
    void GoToCell(int col, int row, bool scroll);
    void ScrollToCell(int col, int row);
    int TopRow() const;
    void SetTopRow(int row);
    int LeftCol() const;
    void SetLeftCol(int col);
    int VisibleRowCount() const;
    int VisibleColCount() const;
    TGridRect Selection() const;
    // Makes the rectangle the selection without the cell-selection check; its
    // bottom-right cell becomes current.
    void SetSelection(const TGridRect& rect);
    TGridCoord MouseCoord(int x, int y) const;
    QRect CellRect(int col, int row) const; // viewport coordinates; empty when not visible

    // --- metrics
    int ColWidths(int col) const;
    void SetColWidths(int col, int width); // -1 hides the column
    int RowHeights(int row) const;
    void SetRowHeights(int row, int height);
    int DefaultColWidth() const { return m_defaultColWidth; }
    void SetDefaultColWidth(int width);
    int DefaultRowHeight() const { return m_defaultRowHeight; }
    void SetDefaultRowHeight(int height);
    int GridLineWidth() const { return m_gridLineWidth; }
    void SetGridLineWidth(int width);
    void AutoSizeColumn(int col, bool force);
    void AutoSizeColumns(bool force);

    // --- options and looks
    TGridOptions Options() const { return m_options; }
    void SetOptions(TGridOptions options);
    void SetOption(TGridOption option, bool on);
    TScrollStyle ScrollBars() const { return m_scrollBars; }
    void SetScrollBars(TScrollStyle style);
    bool ExtendedKeys() const { return m_extendedKeys; }
    void SetExtendedKeys(bool on) { m_extendedKeys = on; }
    bool ProportionalScrollBars() const { return m_proportionalScrollBars; }
    void SetProportionalScrollBars(bool on);
    QColor Color() const { return m_color; }
    void SetColor(const QColor& color);
    QColor FixedColor() const { return m_fixedColor; }
    void SetFixedColor(const QColor& color);
    QColor SelectionColor() const { return m_selectionColor; }
    void SetSelectionColor(const QColor& color);
    QColor SelectionTextColor() const { return m_selectionTextColor; }
    void SetSelectionTextColor(const QColor& color);
    QColor GridLineColor() const { return m_gridLineColor; }
    void SetGridLineColor(const QColor& color);
    TAlignment AlignmentHorz() const { return m_alignmentHorz; }
    void SetAlignmentHorz(TAlignment alignment);
    TVertAlignment AlignmentVert() const { return m_alignmentVert; }
    void SetAlignmentVert(TVertAlignment alignment);
    TCellBevelStyle BevelStyle() const { return m_bevelStyle; }
    void SetBevelStyle(TCellBevelStyle style);
    bool HideRows() const { return m_hideRows; }
    void SetHideRows(bool hide);
    bool MultiSelect() const { return m_multiSelect; }
    void SetMultiSelect(bool on);
    QStringList UserSettings() const { return m_userSettings; }
    void SetUserSettings(const QStringList& settings);
    QMenu* PopupMenu() const { return m_popupMenu; }
    void SetPopupMenu(QMenu* menu) { m_popupMenu = menu; }
    // Where errors of the grid go ("Rowsize too small", index errors).
    void SetPrompts(Prompts* prompts) { m_prompts = prompts; }

    // --- row selection
    bool IsRowSelected(int row) const;
    void ClearSelection();

    // --- cell editors
    bool EditorMode() const;
    void SetEditorMode(bool on);
    QLineEdit* InplaceEditor() const { return m_editor; }
    bool IsChecked(int col, int row) const;
    void SetChecked(int col, int row, bool state);
    bool ShowComboList(int col, int row);
    QListWidget* ComboList() const { return m_comboList; }
    // Runs the cell format request as drawing does.
    void GetCellFormat(int col, int row, TGridDrawState state, TFormatOptions& format, bool& checkBox, bool& comboBox,
                       bool& ellipsis) const;
    // The same for the cell in its present state.
    TCellFormat CellFormat(int col, int row) const;
    TGridDrawState CellState(int col, int row) const;

    // A header text wider than `width`: its end replaced by points until it fits.
    static QString ShortenHeader(const QString& text, const QFontMetrics& metrics, int width);

    // Cells painted since creation; tests see that only visible rows are painted.
    int CellPaintCount() const { return m_cellPaintCount; }

    // --- events answered by the owner
    std::function<void(TSortGrid* sender, int col, int row, TGridDrawState state, TFormatOptions& format,
                       bool& checkBox, bool& comboBox, bool& ellipsis)>
        OnGetCellFormat;
    std::function<void(TSortGrid* sender, int col, int row, bool& canSelect)> OnSelectCell;
    std::function<void(TSortGrid* sender, int col, int row, const QString& oldValue, QString& newValue, bool& valid)>
        OnCellValidate;
    std::function<void(TSortGrid* sender, int col, int row, bool state)> OnSetChecked;
    std::function<void(TSortGrid* sender, int col, int row, QStringList& strs, int& width, int& height, bool& sorted)>
        OnGetComboBox;
    std::function<void(TSortGrid* sender, int col, int row, const QString& str)> OnSetComboBox;
    std::function<void(TSortGrid* sender, int col, TSortStyle& style)> OnGetSortStyle;
    std::function<void(TSortGrid* sender, int& col)> OnBeginSort;
    std::function<void(TSortGrid* sender, int col)> OnEndSort;
    std::function<void(const QStringList& rows, bool& accept)> OnSetFilter;
    // Key down in the grid or in its editor; handled = true stops the grid's own handling.
    std::function<void(TSortGrid* sender, QKeyEvent* event, bool& handled)> OnKeyDown;
    // A typed character (Enter is '\r', Backspace '\b'), in the grid or in its
    // editor; set key to QChar() to discard it, or change it.
    std::function<void(TSortGrid* sender, QChar& key)> OnKeyPress;
    std::function<void(TSortGrid* sender, Qt::MouseButton button, Qt::KeyboardModifiers modifiers, int x, int y)>
        OnMouseDown;

    // --- notifications
    std::function<void(TSortGrid* sender)> OnDblClick;
    std::function<void(TSortGrid* sender)> OnTopLeftChanged;
    std::function<void(TSortGrid* sender)> OnRowSelected;
    std::function<void(TSortGrid* sender)> OnModified;
    std::function<void(TSortGrid* sender)> OnBeginUpdate;
    std::function<void(TSortGrid* sender)> OnEndUpdate;
    std::function<void(TSortGrid* sender, int oldColCount, int oldRowCount)> OnSizeChanged;
    std::function<void(TSortGrid* sender, int row)> OnRowInsert;
    std::function<void(TSortGrid* sender, int row)> OnRowDelete;
    std::function<void(TSortGrid* sender, int col)> OnColumnInsert;
    std::function<void(TSortGrid* sender, int col)> OnColumnDelete;
    std::function<void(TSortGrid* sender)> OnColumnWidthsChanged;
    // The program changed the cell being edited (or moved its row): the editor closed,
    // the program's text stays and the typed text is gone.
    std::function<void(TSortGrid* sender, int col, int row)> OnEditDropped;

    QSize sizeHint() const override;

signals:
    // The shown data changed (once at the end of an update or a batch); any number of
    // listeners, unlike the events above.
    void ContentsChanged();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    void wheelEvent(QWheelEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    bool focusNextPrevChild(bool next) override;
    void changeEvent(QEvent* event) override;

private:
    class DataEvents;
    void Init();
    void InstallDataHooks();
    void DataChanged();
    bool Refreshing() const; // inside an update or a batch: no per-cell refresh
    void CellWritten(int col, int row);
    void DropEdit(bool revert);
    // The widget's own write for its editor (typed text, Escape, the check).
    void SetCellForEditor(int col, int row, const QString& text);
    void SyncColumnWidths();
    void UpdateScrollBars();
    int RowsFit() const;                // data rows that fit below the header on the last page
    int ColsFitFrom(int leftCol) const; // columns fully visible when leftCol is the first
    int MaxLeftCol() const;
    int ColLeft(int col) const;   // viewport x of the column, valid for visible columns
    int ColExtent(int col) const; // width plus grid line, 0 for hidden columns
    int RowTop(int row) const;    // viewport y of the row; -1 when above the view
    int RowExtent(int row) const;
    void ReportError(const QString& message);
    void TopLeftMoved();

    // painting (TSortGridPaint.cpp)
    void PaintCell(QPainter& painter, int col, int row, const QRect& rect);
    void PaintGridLines(QPainter& painter, int col, int row, const QRect& rect);

    // selection and editing (TSortGridInput.cpp)
    bool CanSelect(int col, int row);
    void MoveCurrent(int col, int row, bool extend);
    void MakeCurrent(int col, int row);
    void ClampInView(int col, int row);
    void SelectOnlyRow(int row);
    void RebuildRowSelectionFromRect();
    bool CanEditShow() const;
    void ShowEditor(const QString& initial = QString(), bool replace = false);
    void HideEditor();
    void PlaceEditor();
    void EditorTextEdited(const QString& text);
    bool EditorKeyPress(QKeyEvent* event);
    void RememberForValidation();
    void ValidateCell();
    void CommitCombo();
    void HideComboList();
    void IncrementalSearch(QChar key);
    bool HandleExtendedKeys(QKeyEvent* event);
    bool HandleNavigationKey(QKeyEvent* event);
    void ToggleCheckBox(int col, int row);
    int SizingColumnAt(const QPoint& pos) const; // -1 outside a sizing zone
    bool InHeaderEdgeZone(const QPoint& pos, int col) const;
    void StartDrag();
    void ApplyStretch();
    bool RaiseKeyPress(QChar& key);
    static bool IsNavigationKey(int key);
    bool FocusLeftGrid() const;
    bool CurrentCellHasButton() const;

    SortGridData* m_data = nullptr;
    std::unique_ptr<SortGridData> m_ownData;
    std::unique_ptr<DataEvents> m_dataEvents;
    Prompts* m_prompts = nullptr;
    QMenu* m_popupMenu = nullptr;
    QLineEdit* m_editor = nullptr;
    QPointer<QListWidget> m_comboList;
    std::unique_ptr<WaitCursorGuard> m_waitCursor;

    TGridOptions m_options = TGridOptions(goFixedVertLine) | goFixedHorzLine | goVertLine | goHorzLine | goRangeSelect;
    TScrollStyle m_scrollBars = TScrollStyle::ssBoth;
    std::vector<int> m_colWidths;
    std::map<int, int> m_rowHeights; // rows whose height differs from the default
    int m_defaultColWidth = 64;
    int m_defaultRowHeight = 24;
    int m_gridLineWidth = 1;
    int m_anchorCol = 0;
    int m_anchorRow = 1;
    int m_knownCol = -1; // current cell at the last change seen, to move the anchor along
    int m_knownRow = -1;
    bool m_extending = false; // the selection rectangle grows: the anchor stays
    bool m_extendedKeys = false;
    bool m_proportionalScrollBars = false;
    bool m_hideRows = false;
    bool m_multiSelect = false;
    bool m_syncingScrollBars = false;
    QColor m_color{Qt::white};
    QColor m_fixedColor{0xf0, 0xf0, 0xf0};
    QColor m_selectionColor{0x00, 0x78, 0xd7};
    QColor m_selectionTextColor{Qt::white};
    QColor m_gridLineColor{0xc0, 0xc0, 0xc0};
    TAlignment m_alignmentHorz = TAlignment::taLeftJustify;
    TVertAlignment m_alignmentVert = TVertAlignment::taTopJustify;
    TCellBevelStyle m_bevelStyle = TCellBevelStyle::cbNone;
    QStringList m_userSettings;
    int m_cellPaintCount = 0;

    // mouse state
    TGridCoord m_pressCell;
    Qt::MouseButton m_pressButton = Qt::NoButton;
    std::optional<QPoint> m_dragStart;
    bool m_dragging = false;
    int m_sizingCol = -1;
    int m_sizingOffset = 0;
    bool m_sizedOnPress = false;

    // cell validation: the remembered cell, its text and the modified flag
    int m_valCol = -1;
    int m_valRow = -1;
    QString m_valText;
    bool m_valModified = false;
    bool m_validating = false;
    bool m_valEdited = false;  // typed into the remembered cell since it was remembered
    QString m_editorStartText; // restored by Escape

    int m_editCol = -1; // cell the open editor belongs to
    int m_editRow = -1;
    QString m_editCellText;       // the cell's text as the editor last saw it
    bool m_ownWrite = false;      // the widget writes for its editor
    bool m_uncheckedMove = false; // the current cell moves without the cell-selection check
    int m_batchDepth = 0;

    int m_comboCol = -1;
    int m_comboRow = -1;
    bool m_committingCombo = false;
    bool m_tabHeld = false; // a Tab move is being made
    int m_wheelAngle = 0;   // wheel angle not yet used up by a full notch
};
