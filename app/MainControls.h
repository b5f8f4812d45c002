#pragma once

#include "ui/run/RunControl.h"
#include "ui/tables/ProtocolExport.h"

#include <array>

class QAction;
class QCheckBox;
class QFrame;
class QLabel;
class QSpinBox;
class QStatusBar;
class QToolButton;
class QWidget;
class NumberBox;
class TBitBtnWithColor;
class TImage;
class StatusLabel;
class TSortGrid;

// The main window's controls, named as the operator's manual names them; tests find
// them by these object names. The layout fills them, and each is handed to the one
// controller that owns it: run control takes `run`, the result export `results`.
struct MainControls {
    // The top bar.
    QWidget* Panel1 = nullptr;
    QToolButton* bHelp = nullptr;
    QToolButton* bInfo = nullptr;
    QLabel* PanelTime = nullptr;
    QLabel* PanelDate = nullptr;
    // The display strip.
    QWidget* PanelL = nullptr;
    QWidget* PanelTimerOwner = nullptr;
    QWidget* Image1 = nullptr;
    QWidget* Panel4 = nullptr;
    QWidget* PanelB = nullptr;
    TBitBtnWithColor* bTimer = nullptr;
    QCheckBox* cbAuto = nullptr;
    QSpinBox* seAutoStart = nullptr;
    TImage* ImageLSstart = nullptr;
    TImage* ImageLSstop = nullptr;
    NumberBox* cbKlass = nullptr;
    // START, FINISH, ENDE, the number boxes and the buttons run control enables
    // (bSTART, bSTOP, bEnd, cbStartN, cbStopN, EditPred, LabelNr, sbSound0/1,
    // sbLoadList, bCFG; mStart, mStop, mEnd).
    RunControls run;
    // The tables.
    QWidget* PanelR = nullptr;
    QWidget* PanelButtons = nullptr;
    QWidget* Panelprom = nullptr;
    QFrame* Panel5 = nullptr;
    QToolButton* bLoad = nullptr;
    QToolButton* sbCls = nullptr;
    TSortGrid* SortGrid1 = nullptr;
    TSortGrid* SortGrid2 = nullptr;
    // sbSave, sbPrint, sbWord, sbExcel, sbHTML.
    ExportControls results;
    // The status bar: five fields, then the light barriers' and the live results' own,
    // so that no other status text can overwrite what they report.
    QStatusBar* StatusBar1 = nullptr;
    std::array<StatusLabel*, 5> StatusPanels{};
    StatusLabel* StatusContacts = nullptr;
    StatusLabel* StatusWeb = nullptr;
    StatusLabel* StatusStation = nullptr;
    // The hidden menu: shortcuts.
    QAction* mTimer = nullptr;
    QAction* Place1 = nullptr;
    QAction* LockLSstart1 = nullptr;
    QAction* LockLSstop1 = nullptr;
    QAction* AutoCountDown1 = nullptr;
    QAction* eO1 = nullptr;
    QAction* EinstellunGen1 = nullptr;
    QAction* mHilfe = nullptr;
    QAction* Hilfe1 = nullptr;
    QAction* Info1 = nullptr;
};
