// Arrangement of the main window: areas, controls, fonts and colours.
#include "app/TFormMain.h"

#include "timing/NumberBox.h"
#include "timing/TImage.h"
#include "widgets/Artwork.h"
#include "widgets/JpegImage.h"
#include "widgets/TBitBtnWithColor.h"
#include "widgets/TPictureBox.h"
#include "widgets/TSortGrid.h"

#include <QAction>
#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QSpinBox>
#include <QStatusBar>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

QFont Arial(int pixels, bool bold = false) {
    QFont f(QStringLiteral("Arial"));
    f.setPixelSize(pixels);
    f.setBold(bold);
    return f;
}

void SetBackground(QWidget* w, const QColor& color) {
    QPalette p = w->palette();
    p.setColor(QPalette::Window, color);
    w->setPalette(p);
    w->setAutoFillBackground(true);
}

void SetTextColor(QWidget* w, QPalette::ColorRole role, const QColor& color) {
    QPalette p = w->palette();
    p.setColor(role, color);
    w->setPalette(p);
}

template <typename T>
T* Named(T* widget, const char* name) {
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}

QToolButton* SpeedButton(QWidget* parent, const char* name, Artwork::Picture picture, const QString& hint,
                         const QRect& geometry) {
    auto* b = Named(new QToolButton(parent), name);
    b->setAutoRaise(true);
    b->setIcon(QIcon(QPixmap::fromImage(Artwork::ButtonPicture(picture, 24))));
    b->setIconSize(QSize(24, 24));
    b->setToolTip(hint);
    b->setGeometry(geometry);
    b->setFocusPolicy(Qt::NoFocus);
    return b;
}

TBitBtnWithColor* CommandButton(QWidget* parent, const char* name, const QString& caption, const QString& hint,
                                const QColor& text, const QColor& face, const QRect& geometry) {
    auto* b = Named(new TBitBtnWithColor(caption, parent), name);
    b->setFont(Arial(24, true));
    b->setToolTip(hint);
    b->setGeometry(geometry);
    SetTextColor(b, QPalette::ButtonText, text);
    b->SetColor(face);
    return b;
}

// A picture covering its parent, behind the parent's controls.
TPictureBox* Backdrop(QWidget* parent, const char* name, const QImage& picture) {
    auto* image = Named(new TPictureBox(parent), name);
    image->SetPicture(picture);
    image->FillParent();
    return image;
}

} // namespace

void TFormMain::BuildLayout() {
    setObjectName(QStringLiteral("FormMain"));
    setWindowTitle(QStringLiteral("Kadenzor 3.9"));
    setMinimumSize(890, 565);
    SetBackground(this, QColor(192, 192, 192));
    // The dialog font of the design, drawn with the metric-compatible Liberation fonts.
    QFont::insertSubstitution(QStringLiteral("MS Sans Serif"), QStringLiteral("Liberation Sans"));
    QFont f(QStringLiteral("MS Sans Serif"));
    f.setPixelSize(11);
    setFont(f);

    auto* central = new QWidget(this);
    setCentralWidget(central);
    auto* column = new QVBoxLayout(central);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);

    Panel1 = Named(new QWidget(central), "Panel1");
    Panel1->setFixedHeight(33);
    QFont bold = font();
    bold.setPixelSize(16);
    bold.setBold(true);
    Panel1->setFont(bold);
    Backdrop(Panel1, "Image5", Artwork::TopBar(QSize(890, 33)));
    column->addWidget(Panel1);
    BuildTopBar(Panel1);

    auto* Panel2 = Named(new QWidget(central), "Panel2");
    column->addWidget(Panel2, 1);
    auto* work = new QVBoxLayout(Panel2);
    work->setContentsMargins(0, 0, 0, 0);
    work->setSpacing(0);
    PanelL = Named(new QWidget(Panel2), "PanelL");
    PanelL->setFixedHeight(284);
    work->addWidget(PanelL);
    BuildDisplayStrip(PanelL);
    auto* Paneltab = Named(new QWidget(Panel2), "Paneltab");
    work->addWidget(Paneltab, 1);
    BuildTables(Paneltab);

    BuildStatusBar();
}

void TFormMain::BuildTopBar(QWidget* parent) {
    auto flat = [&](const char* name, const QString& caption, const QString& hint, const QRect& geometry) {
        auto* b = Named(new QToolButton(parent), name);
        b->setText(caption);
        b->setToolTip(hint);
        b->setAutoRaise(true);
        b->setFont(Arial(13));
        b->setGeometry(geometry);
        SetTextColor(b, QPalette::ButtonText, QColor(28, 44, 82));
        return b;
    };
    bHelp = flat("bHelp", QStringLiteral("&Hilfe"), QStringLiteral("[F1] Help"), {0, 2, 64, 28});
    bCFG = flat("bCFG", QStringLiteral("&Einstellungen"), QStringLiteral("[F2] Configuration"), {64, 2, 113, 28});
    bInfo = flat("bInfo", QStringLiteral("&Info"), QStringLiteral("[F3] Information"), {176, 2, 57, 28});

    // Clock and date keep their distance to the right edge (AnchorTopBar).
    PanelTime = Named(new QLabel(parent), "PanelTime");
    PanelTime->setFont(Arial(19));
    PanelTime->setGeometry(678, 4, 82, 27);
    PanelTime->setAlignment(Qt::AlignCenter);
    SetTextColor(PanelTime, QPalette::WindowText, QColor(0, 128, 0));
    PanelDate = Named(new QLabel(parent), "PanelDate");
    PanelDate->setFont(Arial(19));
    PanelDate->setGeometry(764, 1, 110, 32);
    PanelDate->setAlignment(Qt::AlignCenter);
    PanelDate->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    SetBackground(PanelDate, QColor(192, 192, 192));
    SetTextColor(PanelDate, QPalette::WindowText, Qt::black);
    parent->installEventFilter(this);
}

// Designed for a client width of 882: right-anchored controls keep their distance to the edge.
void TFormMain::AnchorTopBar() {
    const int shift = Panel1->width() - 882;
    PanelTime->move(678 + shift, 4);
    PanelDate->move(764 + shift, 1);
}

void TFormMain::BuildDisplayStrip(QWidget* parent) {
    PanelTimerOwner = Named(new QWidget(parent), "PanelTimerOwner");
    PanelTimerOwner->setFixedHeight(283);
    PanelTimerOwner->setFont(Arial(19, true));
    auto* strip = new QVBoxLayout(parent);
    strip->setContentsMargins(0, 0, 0, 0);
    strip->setSpacing(0);
    strip->addWidget(PanelTimerOwner, 0, Qt::AlignTop);
    auto* row = new QHBoxLayout(PanelTimerOwner);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);

    auto* picture = Named(new TPictureBox(PanelTimerOwner), "Image1");
    picture->SetPicture(ReadJpegImage(m_platform.programFolder + QStringLiteral("Image1.jpg")));
    picture->SetFillColor(QColor(52, 62, 88));
    Image1 = picture;
    Image1->setFixedWidth(525);
    row->addWidget(Image1);

    Panel4 = Named(new QWidget(PanelTimerOwner), "Panel4");
    SetBackground(Panel4, QColor(223, 223, 223));
    row->addWidget(Panel4, 1);
    auto* groups = new QVBoxLayout(Panel4);
    groups->setContentsMargins(0, 0, 0, 0);
    groups->setSpacing(0);
    auto* upper = new QWidget(Panel4);
    groups->addWidget(upper, 1);
    PanelB = Named(new QWidget(Panel4), "PanelB");
    PanelB->setFixedHeight(137);
    groups->addWidget(PanelB);

    sbLoadList = SpeedButton(upper, "sbLoadList", Artwork::Picture::OpenList,
                             QStringLiteral("[Ctrl]+[o] Startlist.txt open"), {6, 4, 37, 41});
    sbSound1 = SpeedButton(upper, "sbSound1", Artwork::Picture::SoundOn, QStringLiteral("Ton"), {6, 55, 37, 42});
    sbSound0 = SpeedButton(upper, "sbSound0", Artwork::Picture::SoundOff, QStringLiteral("Ton"), {6, 55, 37, 42});
    sbSound0->hide();
    bTimer = CommandButton(upper, "bTimer", QStringLiteral("TIMER"), QStringLiteral("[F4] Timer Start/Stop"), Qt::white,
                           QColor(72, 116, 217), {45, 55, 92, 42});
    bTimer->SetActOnPress(true);
    bTimer->hide();
    cbAuto = Named(new QCheckBox(QStringLiteral("autom. START je              Sek."), upper), "cbAuto");
    cbAuto->setFont(Arial(13));
    cbAuto->setToolTip(QStringLiteral("[Ctrl+F4]"));
    cbAuto->setGeometry(146, 55, 204, 41);
    cbAuto->hide();
    seAutoStart = Named(new QSpinBox(upper), "seAutoStart");
    seAutoStart->setRange(0, 600);
    seAutoStart->setGeometry(270, 61, 43, 30);
    seAutoStart->hide();
    ImageLSstart = Named(new TImage(upper), "ImageLSstart");
    ImageLSstart->setGeometry(8, 114, 32, 32);
    ImageLSstart->setToolTip(QStringLiteral("[F11] Start contact on/off"));
    ImageLSstart->hide();
    bSTART =
        CommandButton(upper, "bSTART", QStringLiteral("START"), QStringLiteral("[F5] 4+1 START or Start-Start...Start"),
                      QColor(255, 255, 0), QColor(0, 128, 0), {45, 104, 92, 42});
    bSTART->SetActOnPress(true);
    LabelNr = Named(new QLabel(QStringLiteral("Nr.:"), upper), "LabelNr");
    LabelNr->setFont(Arial(15, true));
    LabelNr->move(143, 115);
    cbStartN = Named(new NumberBox(upper), "cbStartN");
    cbStartN->SetLooks(Arial(19, true), QColor(255, 255, 0), QColor(0, 128, 0));
    cbStartN->setGeometry(168, 111, 65, 30);
    cbKlass = Named(new NumberBox(upper), "cbKlass");
    cbKlass->lineEdit()->setValidator(nullptr);
    cbKlass->lineEdit()->setMaxLength(32767);
    cbKlass->addItems({QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3"), QStringLiteral("4")});
    cbKlass->hide();

    ImageLSstop = Named(new TImage(PanelB), "ImageLSstop");
    ImageLSstop->setGeometry(8, 22, 32, 32);
    ImageLSstop->setToolTip(QStringLiteral("[F12] Finish light barrier on/off"));
    ImageLSstop->hide();
    bSTOP = CommandButton(PanelB, "bSTOP", QStringLiteral("FINISH"), QStringLiteral("[F8] 7+8 Finisg...Finish"),
                          QColor(0, 128, 0), palette().color(QPalette::Button), {45, 16, 92, 42});
    bSTOP->SetActOnPress(true);
    bSTOP->setEnabled(false);
    auto* stopLabel = Named(new QLabel(QStringLiteral("Nr.:"), PanelB), "LabelNr2");
    stopLabel->setFont(Arial(15, true));
    stopLabel->move(143, 24);
    cbStopN = Named(new NumberBox(PanelB), "cbStopN");
    cbStopN->SetLooks(Arial(19, true), QColor(0, 128, 0), QColor(255, 255, 0));
    cbStopN->setGeometry(168, 20, 65, 30);
    EditPred = Named(new QLineEdit(PanelB), "EditPred");
    EditPred->setFont(Arial(19, true));
    EditPred->setGeometry(238, 20, 195, 30);
    EditPred->setToolTip(QStringLiteral("439,-,2,459,-"));
    EditPred->setPlaceholderText(QStringLiteral("439,-,2,459,-"));
    // The example order is drawn pale: a field that looks filled would make the operator
    // believe the next finishes were already assigned.
    QPalette predColors = EditPred->palette();
    predColors.setColor(QPalette::Base, QColor(255, 255, 0));
    predColors.setColor(QPalette::Text, QColor(0, 128, 0));
    predColors.setColor(QPalette::PlaceholderText, QColor(0, 128, 0, 90));
    EditPred->setPalette(predColors);
    bEnd = CommandButton(PanelB, "bEnd", QStringLiteral("ENDE"), QStringLiteral("[F10] END/RESET"), Qt::white,
                         palette().color(QPalette::Button), {45, 69, 92, 42});
    bEnd->setCursor(Qt::PointingHandCursor);
    bEnd->setEnabled(false);
}

void TFormMain::BuildTables(QWidget* parent) {
    auto* row = new QHBoxLayout(parent);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);

    PanelR = Named(new QWidget(parent), "PanelR");
    row->addWidget(PanelR, 1);
    auto* left = new QVBoxLayout(PanelR);
    left->setContentsMargins(0, 0, 0, 0);
    left->setSpacing(0);
    PanelButtons = Named(new QWidget(PanelR), "PanelButtons");
    PanelButtons->setFixedHeight(42);
    Backdrop(PanelButtons, "Image6", Artwork::ButtonStrip(QSize(702, 42)))
        ->SetCaption(QStringLiteral("PROTOKOLL"), Arial(21), Qt::white, 153);
    bLoad = SpeedButton(PanelButtons, "bLoad", Artwork::Picture::PlaceCorrection,
                        QStringLiteral("[Ctrl]+[p] Place correction"), {160, 0, 36, 41});
    sbSave = SpeedButton(PanelButtons, "sbSave", Artwork::Picture::Save,
                         QStringLiteral("[Ctrl]+[s] Protocol save as..."), {196, 0, 36, 41});
    sbPrint = SpeedButton(PanelButtons, "sbPrint", Artwork::Picture::Print, QStringLiteral("[Ctrl+P] Print"),
                          {232, 0, 36, 41});
    sbWord = SpeedButton(PanelButtons, "sbWord", Artwork::Picture::Word, QStringLiteral("[Ctrl]+[w] Export in Word"),
                         {268, 0, 36, 41});
    sbWord->setEnabled(false);
    sbExcel = SpeedButton(PanelButtons, "sbExcel", Artwork::Picture::Excel, QStringLiteral("[Ctrl+E] Export in Excel"),
                          {304, 0, 36, 41});
    sbExcel->setEnabled(false);
    sbHTML = SpeedButton(PanelButtons, "sbHTML", Artwork::Picture::Html, QStringLiteral("[Ctrl]+[h] as Website (HTML)"),
                         {340, 0, 36, 41});
    sbCls = SpeedButton(PanelButtons, "sbCls", Artwork::Picture::Clear, QStringLiteral("Protokoll löschen"),
                        {488, 0, 36, 41});
    left->addWidget(PanelButtons);
    SortGrid1 = Named(new TSortGrid(PanelR), "SortGrid1");
    left->addWidget(SortGrid1, 1);

    Panelprom = Named(new QWidget(parent), "Panelprom");
    Panelprom->setFixedWidth(180);
    row->addWidget(Panelprom);
    auto* right = new QVBoxLayout(Panelprom);
    right->setContentsMargins(3, 3, 3, 3);
    right->setSpacing(0);
    Panel5 = Named(new QFrame(Panelprom), "Panel5");
    Panel5->setFixedHeight(39);
    Panel5->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    Panel5->setLineWidth(1);
    auto* heading = Backdrop(Panel5, "Image2", ReadJpegImage(m_platform.programFolder + QStringLiteral("Image2.jpg")));
    heading->SetCaption(QStringLiteral("FINISH"), Arial(21), Qt::white);
    right->addWidget(Panel5);
    SortGrid2 = Named(new TSortGrid(Panelprom), "SortGrid2");
    right->addWidget(SortGrid2, 1);
}

void TFormMain::BuildStatusBar() {
    StatusBar1 = Named(new QStatusBar(this), "StatusBar1");
    StatusBar1->setFixedHeight(19);
    StatusBar1->setSizeGripEnabled(false);
    setStatusBar(StatusBar1);
    static constexpr int kWidths[5] = {60, 210, -1, 78, 50};
    const QString texts[5] = {QStringLiteral("0:0"), QStringLiteral("Kadenzor – Zeitnahme"), QString(), QString(),
                              QStringLiteral("0")};
    for (int i = 0; i < 5; ++i) {
        auto* panel = new QLabel(texts[i], StatusBar1);
        panel->setObjectName(QStringLiteral("StatusPanel%1").arg(i));
        panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        panel->setAlignment(i == 2 ? Qt::AlignLeft | Qt::AlignVCenter : Qt::AlignCenter);
        if (kWidths[i] > 0)
            panel->setFixedWidth(kWidths[i]);
        StatusBar1->addWidget(panel, i == 2 ? 1 : 0);
        m_statusPanels[i] = panel;
    }
    StatusContacts = Named(new QLabel(StatusBar1), "StatusContacts");
    StatusContacts->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    StatusContacts->setAlignment(Qt::AlignCenter);
    StatusContacts->hide(); // shown while there is something to say about the contacts
    StatusBar1->addPermanentWidget(StatusContacts);
    // The live results' own field: the address to type in, or why they are off.
    StatusWeb = Named(new QLabel(StatusBar1), "StatusWeb");
    StatusWeb->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    StatusWeb->setAlignment(Qt::AlignCenter);
    StatusWeb->setTextInteractionFlags(Qt::TextSelectableByMouse);
    StatusWeb->hide();
    StatusBar1->addPermanentWidget(StatusWeb);
}

void TFormMain::BuildActions() {
    auto action = [this](const char* name, const QKeySequence& key) {
        auto* a = new QAction(this);
        a->setObjectName(QString::fromLatin1(name));
        a->setShortcut(key);
        a->setShortcutContext(Qt::WindowShortcut);
        addAction(a);
        return a;
    };
    mStart = action("mStart", QKeySequence(Qt::Key_F5));
    mStop = action("mStop", QKeySequence(Qt::Key_F8));
    mEnd = action("mEnd", QKeySequence(Qt::Key_F10));
    mTimer = action("mTimer", QKeySequence(Qt::Key_F4));
    Place1 = action("Place1", QKeySequence(Qt::CTRL | Qt::Key_P));
    LockLSstart1 = action("LockLSstart1", QKeySequence(Qt::Key_F11));
    LockLSstop1 = action("LockLSstop1", QKeySequence(Qt::Key_F12));
    AutoCountDown1 = action("AutoCountDown1", QKeySequence(Qt::CTRL | Qt::Key_F4));
    eO1 = action("eO1", QKeySequence(Qt::CTRL | Qt::Key_O));

    // F1 and Alt+I stay with the help even when its button is disabled (no help page).
    mHilfe = action("mHilfe", QKeySequence(Qt::Key_F1));
    Hilfe1 = action("Hilfe1", QKeySequence(Qt::ALT | Qt::Key_I));
    Info1 = action("Info1", QKeySequence(Qt::Key_F3));
    // Alt+I belongs to the help: the "&Info" caption keeps its underline but not its key.
    bInfo->setShortcut(QKeySequence());
    connect(mHilfe, &QAction::triggered, this, &TFormMain::bHelpClick);
    connect(Hilfe1, &QAction::triggered, this, &TFormMain::bHelpClick);
    connect(bHelp, &QToolButton::clicked, this, &TFormMain::bHelpClick);
    connect(Info1, &QAction::triggered, this, &TFormMain::bInfoClick);
    connect(bInfo, &QToolButton::clicked, this, &TFormMain::bInfoClick);
}
