// Arrangement of the main window: areas, controls, fonts and colours.
#include "app/TFormMain.h"

#include "ui/widgets/Artwork.h"
#include "ui/widgets/JpegImage.h"
#include "ui/widgets/NumberBox.h"
#include "ui/widgets/TBitBtnWithColor.h"
#include "ui/widgets/TImage.h"
#include "ui/widgets/TPictureBox.h"
#include "ui/widgets/TSortGrid.h"

#include <QAction>
#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QSpinBox>
#include <QStatusBar>

#include "ui/widgets/StatusLabel.h"
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

    m_ui.Panel1 = Named(new QWidget(central), "Panel1");
    m_ui.Panel1->setFixedHeight(33);
    QFont bold = font();
    bold.setPixelSize(16);
    bold.setBold(true);
    m_ui.Panel1->setFont(bold);
    Backdrop(m_ui.Panel1, "Image5", Artwork::TopBar(QSize(890, 33)));
    column->addWidget(m_ui.Panel1);
    BuildTopBar(m_ui.Panel1);

    auto* Panel2 = Named(new QWidget(central), "Panel2");
    column->addWidget(Panel2, 1);
    auto* work = new QVBoxLayout(Panel2);
    work->setContentsMargins(0, 0, 0, 0);
    work->setSpacing(0);
    m_ui.PanelL = Named(new QWidget(Panel2), "PanelL");
    m_ui.PanelL->setFixedHeight(284);
    work->addWidget(m_ui.PanelL);
    BuildDisplayStrip(m_ui.PanelL);
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
    m_ui.bHelp = flat("bHelp", QStringLiteral("&Hilfe"), QStringLiteral("[F1] Help"), {0, 2, 64, 28});
    m_ui.run.bCFG =
        flat("bCFG", QStringLiteral("&Einstellungen"), QStringLiteral("[F2] Configuration"), {64, 2, 113, 28});
    m_ui.bInfo = flat("bInfo", QStringLiteral("&Info"), QStringLiteral("[F3] Information"), {176, 2, 57, 28});

    // Clock and date keep their distance to the right edge (AnchorTopBar).
    m_ui.PanelTime = Named(new QLabel(parent), "PanelTime");
    m_ui.PanelTime->setFont(Arial(19));
    m_ui.PanelTime->setGeometry(678, 4, 82, 27);
    m_ui.PanelTime->setAlignment(Qt::AlignCenter);
    SetTextColor(m_ui.PanelTime, QPalette::WindowText, QColor(0, 128, 0));
    m_ui.PanelDate = Named(new QLabel(parent), "PanelDate");
    m_ui.PanelDate->setFont(Arial(19));
    m_ui.PanelDate->setGeometry(764, 1, 110, 32);
    m_ui.PanelDate->setAlignment(Qt::AlignCenter);
    m_ui.PanelDate->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    SetBackground(m_ui.PanelDate, QColor(192, 192, 192));
    SetTextColor(m_ui.PanelDate, QPalette::WindowText, Qt::black);
    parent->installEventFilter(this);
}

// Designed for a client width of 882: right-anchored controls keep their distance to the edge.
void TFormMain::AnchorTopBar() {
    const int shift = m_ui.Panel1->width() - 882;
    m_ui.PanelTime->move(678 + shift, 4);
    m_ui.PanelDate->move(764 + shift, 1);
}

void TFormMain::BuildDisplayStrip(QWidget* parent) {
    m_ui.PanelTimerOwner = Named(new QWidget(parent), "PanelTimerOwner");
    m_ui.PanelTimerOwner->setFixedHeight(283);
    m_ui.PanelTimerOwner->setFont(Arial(19, true));
    auto* strip = new QVBoxLayout(parent);
    strip->setContentsMargins(0, 0, 0, 0);
    strip->setSpacing(0);
    strip->addWidget(m_ui.PanelTimerOwner, 0, Qt::AlignTop);
    auto* row = new QHBoxLayout(m_ui.PanelTimerOwner);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);

    auto* picture = Named(new TPictureBox(m_ui.PanelTimerOwner), "Image1");
    picture->SetPicture(ReadJpegImage(m_platform.programFolder + QStringLiteral("Image1.jpg")));
    picture->SetFillColor(QColor(52, 62, 88));
    m_ui.Image1 = picture;
    m_ui.Image1->setFixedWidth(525);
    row->addWidget(m_ui.Image1);

    m_ui.Panel4 = Named(new QWidget(m_ui.PanelTimerOwner), "Panel4");
    SetBackground(m_ui.Panel4, QColor(223, 223, 223));
    row->addWidget(m_ui.Panel4, 1);
    auto* groups = new QVBoxLayout(m_ui.Panel4);
    groups->setContentsMargins(0, 0, 0, 0);
    groups->setSpacing(0);
    auto* upper = new QWidget(m_ui.Panel4);
    groups->addWidget(upper, 1);
    m_ui.PanelB = Named(new QWidget(m_ui.Panel4), "PanelB");
    m_ui.PanelB->setFixedHeight(137);
    groups->addWidget(m_ui.PanelB);

    m_ui.run.sbLoadList = SpeedButton(upper, "sbLoadList", Artwork::Picture::OpenList,
                                      QStringLiteral("[Ctrl]+[o] Startlist.txt open"), {6, 4, 37, 41});
    m_ui.run.sbSound1 =
        SpeedButton(upper, "sbSound1", Artwork::Picture::SoundOn, QStringLiteral("Ton"), {6, 55, 37, 42});
    m_ui.run.sbSound0 =
        SpeedButton(upper, "sbSound0", Artwork::Picture::SoundOff, QStringLiteral("Ton"), {6, 55, 37, 42});
    m_ui.run.sbSound0->hide();
    m_ui.bTimer = CommandButton(upper, "bTimer", QStringLiteral("TIMER"), QStringLiteral("[F4] Timer Start/Stop"),
                                Qt::white, QColor(72, 116, 217), {45, 55, 92, 42});
    m_ui.bTimer->SetActOnPress(true);
    m_ui.run.bTimer = m_ui.bTimer; // run control reads whether it is enabled
    m_ui.bTimer->hide();
    m_ui.cbAuto = Named(new QCheckBox(QStringLiteral("autom. START je              Sek."), upper), "cbAuto");
    m_ui.cbAuto->setFont(Arial(13));
    m_ui.cbAuto->setToolTip(QStringLiteral("[Ctrl+F4]"));
    m_ui.cbAuto->setGeometry(146, 55, 204, 41);
    m_ui.cbAuto->hide();
    m_ui.seAutoStart = Named(new QSpinBox(upper), "seAutoStart");
    m_ui.seAutoStart->setRange(0, 600);
    m_ui.seAutoStart->setGeometry(270, 61, 43, 30);
    m_ui.seAutoStart->hide();
    m_ui.ImageLSstart = Named(new TImage(upper), "ImageLSstart");
    m_ui.ImageLSstart->setGeometry(8, 114, 32, 32);
    m_ui.ImageLSstart->setToolTip(QStringLiteral("[F11] Start contact on/off"));
    m_ui.ImageLSstart->hide();
    m_ui.run.bSTART =
        CommandButton(upper, "bSTART", QStringLiteral("START"), QStringLiteral("[F5] 4+1 START or Start-Start...Start"),
                      QColor(255, 255, 0), QColor(0, 128, 0), {45, 104, 92, 42});
    m_ui.run.bSTART->SetActOnPress(true);
    m_ui.run.LabelNr = Named(new QLabel(QStringLiteral("Nr.:"), upper), "LabelNr");
    m_ui.run.LabelNr->setFont(Arial(15, true));
    m_ui.run.LabelNr->move(143, 115);
    m_ui.run.cbStartN = Named(new NumberBox(upper), "cbStartN");
    m_ui.run.cbStartN->SetLooks(Arial(19, true), QColor(255, 255, 0), QColor(0, 128, 0));
    m_ui.run.cbStartN->setGeometry(168, 111, 65, 30);
    m_ui.cbKlass = Named(new NumberBox(upper), "cbKlass");
    m_ui.cbKlass->lineEdit()->setValidator(nullptr);
    m_ui.cbKlass->lineEdit()->setMaxLength(32767);
    m_ui.cbKlass->addItems({QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3"), QStringLiteral("4")});
    m_ui.cbKlass->hide();

    m_ui.ImageLSstop = Named(new TImage(m_ui.PanelB), "ImageLSstop");
    m_ui.ImageLSstop->setGeometry(8, 22, 32, 32);
    m_ui.ImageLSstop->setToolTip(QStringLiteral("[F12] Finish light barrier on/off"));
    m_ui.ImageLSstop->hide();
    m_ui.run.bSTOP =
        CommandButton(m_ui.PanelB, "bSTOP", QStringLiteral("FINISH"), QStringLiteral("[F8] 7+8 Finisg...Finish"),
                      QColor(0, 128, 0), palette().color(QPalette::Button), {45, 16, 92, 42});
    m_ui.run.bSTOP->SetActOnPress(true);
    m_ui.run.bSTOP->setEnabled(false);
    auto* stopLabel = Named(new QLabel(QStringLiteral("Nr.:"), m_ui.PanelB), "LabelNr2");
    stopLabel->setFont(Arial(15, true));
    stopLabel->move(143, 24);
    m_ui.run.cbStopN = Named(new NumberBox(m_ui.PanelB), "cbStopN");
    m_ui.run.cbStopN->SetLooks(Arial(19, true), QColor(0, 128, 0), QColor(255, 255, 0));
    m_ui.run.cbStopN->setGeometry(168, 20, 65, 30);
    m_ui.run.EditPred = Named(new QLineEdit(m_ui.PanelB), "EditPred");
    m_ui.run.EditPred->setFont(Arial(19, true));
    m_ui.run.EditPred->setGeometry(238, 20, 195, 30);
    m_ui.run.EditPred->setToolTip(QStringLiteral("439,-,2,459,-"));
    m_ui.run.EditPred->setPlaceholderText(QStringLiteral("439,-,2,459,-"));
    // The example order is drawn pale: a field that looks filled would make the operator
    // believe the next finishes were already assigned.
    QPalette predColors = m_ui.run.EditPred->palette();
    predColors.setColor(QPalette::Base, QColor(255, 255, 0));
    predColors.setColor(QPalette::Text, QColor(0, 128, 0));
    predColors.setColor(QPalette::PlaceholderText, QColor(0, 128, 0, 90));
    m_ui.run.EditPred->setPalette(predColors);
    m_ui.run.bEnd = CommandButton(m_ui.PanelB, "bEnd", QStringLiteral("ENDE"), QStringLiteral("[F10] END/RESET"),
                                  Qt::white, palette().color(QPalette::Button), {45, 69, 92, 42});
    m_ui.run.bEnd->setCursor(Qt::PointingHandCursor);
    m_ui.run.bEnd->setEnabled(false);
}

void TFormMain::BuildTables(QWidget* parent) {
    auto* row = new QHBoxLayout(parent);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);

    m_ui.PanelR = Named(new QWidget(parent), "PanelR");
    row->addWidget(m_ui.PanelR, 1);
    auto* left = new QVBoxLayout(m_ui.PanelR);
    left->setContentsMargins(0, 0, 0, 0);
    left->setSpacing(0);
    m_ui.PanelButtons = Named(new QWidget(m_ui.PanelR), "PanelButtons");
    m_ui.PanelButtons->setFixedHeight(42);
    Backdrop(m_ui.PanelButtons, "Image6", Artwork::ButtonStrip(QSize(702, 42)))
        ->SetCaption(QStringLiteral("PROTOKOLL"), Arial(21), Qt::white, 153);
    m_ui.bLoad = SpeedButton(m_ui.PanelButtons, "bLoad", Artwork::Picture::PlaceCorrection,
                             QStringLiteral("[Ctrl]+[p] Place correction"), {160, 0, 36, 41});
    m_ui.results.sbSave = SpeedButton(m_ui.PanelButtons, "sbSave", Artwork::Picture::Save,
                                      QStringLiteral("[Ctrl]+[s] Protocol save as..."), {196, 0, 36, 41});
    m_ui.results.sbPrint = SpeedButton(m_ui.PanelButtons, "sbPrint", Artwork::Picture::Print,
                                       QStringLiteral("[Ctrl+P] Print"), {232, 0, 36, 41});
    m_ui.results.sbWord = SpeedButton(m_ui.PanelButtons, "sbWord", Artwork::Picture::Word,
                                      QStringLiteral("[Ctrl]+[w] Export in Word"), {268, 0, 36, 41});
    m_ui.results.sbWord->setEnabled(false);
    m_ui.results.sbExcel = SpeedButton(m_ui.PanelButtons, "sbExcel", Artwork::Picture::Excel,
                                       QStringLiteral("[Ctrl+E] Export in Excel"), {304, 0, 36, 41});
    m_ui.results.sbExcel->setEnabled(false);
    m_ui.results.sbHTML = SpeedButton(m_ui.PanelButtons, "sbHTML", Artwork::Picture::Html,
                                      QStringLiteral("[Ctrl]+[h] as Website (HTML)"), {340, 0, 36, 41});
    m_ui.sbCls = SpeedButton(m_ui.PanelButtons, "sbCls", Artwork::Picture::Clear, QStringLiteral("Protokoll löschen"),
                             {488, 0, 36, 41});
    left->addWidget(m_ui.PanelButtons);
    m_ui.SortGrid1 = Named(new TSortGrid(m_ui.PanelR), "SortGrid1");
    left->addWidget(m_ui.SortGrid1, 1);

    m_ui.Panelprom = Named(new QWidget(parent), "Panelprom");
    m_ui.Panelprom->setFixedWidth(180);
    row->addWidget(m_ui.Panelprom);
    auto* right = new QVBoxLayout(m_ui.Panelprom);
    right->setContentsMargins(3, 3, 3, 3);
    right->setSpacing(0);
    m_ui.Panel5 = Named(new QFrame(m_ui.Panelprom), "Panel5");
    m_ui.Panel5->setFixedHeight(39);
    m_ui.Panel5->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    m_ui.Panel5->setLineWidth(1);
    auto* heading =
        Backdrop(m_ui.Panel5, "Image2", ReadJpegImage(m_platform.programFolder + QStringLiteral("Image2.jpg")));
    heading->SetCaption(QStringLiteral("FINISH"), Arial(21), Qt::white);
    right->addWidget(m_ui.Panel5);
    m_ui.SortGrid2 = Named(new TSortGrid(m_ui.Panelprom), "SortGrid2");
    right->addWidget(m_ui.SortGrid2, 1);
}

void TFormMain::BuildStatusBar() {
    m_ui.StatusBar1 = Named(new QStatusBar(this), "StatusBar1");
    m_ui.StatusBar1->setFixedHeight(19);
    m_ui.StatusBar1->setSizeGripEnabled(false);
    setStatusBar(m_ui.StatusBar1);
    static constexpr int kWidths[5] = {60, 210, -1, 78, 50};
    const QString texts[5] = {QStringLiteral("0:0"), QStringLiteral("Kadenzor – Zeitnahme"), QString(), QString(),
                              QStringLiteral("0")};
    for (int i = 0; i < 5; ++i) {
        auto* panel = new StatusLabel(m_ui.StatusBar1);
        panel->Show(texts[i], false);
        panel->setObjectName(QStringLiteral("StatusPanel%1").arg(i));
        panel->setAlignment(i == 2 ? Qt::AlignLeft | Qt::AlignVCenter : Qt::AlignCenter);
        if (kWidths[i] > 0)
            panel->setFixedWidth(kWidths[i]);
        m_ui.StatusBar1->addWidget(panel, i == 2 ? 1 : 0);
        m_ui.StatusPanels[size_t(i)] = panel;
    }
    m_ui.StatusContacts = Named(new StatusLabel(m_ui.StatusBar1), "StatusContacts");
    m_ui.StatusContacts->setAlignment(Qt::AlignCenter);
    m_ui.StatusContacts->hide(); // shown while there is something to say about the contacts
    m_ui.StatusBar1->addPermanentWidget(m_ui.StatusContacts);
    // The live results' own field: the address to type in, or why they are off.
    m_ui.StatusWeb = Named(new StatusLabel(m_ui.StatusBar1), "StatusWeb");
    m_ui.StatusWeb->setAlignment(Qt::AlignCenter);
    m_ui.StatusWeb->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_ui.StatusWeb->hide();
    m_ui.StatusBar1->addPermanentWidget(m_ui.StatusWeb);
    m_ui.StatusStation = Named(new StatusLabel(m_ui.StatusBar1), "StatusStation");
    m_ui.StatusStation->setAlignment(Qt::AlignCenter);
    m_ui.StatusStation->hide();
    m_ui.StatusBar1->addPermanentWidget(m_ui.StatusStation);
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
    m_ui.run.mStart = action("mStart", QKeySequence(Qt::Key_F5));
    m_ui.run.mStop = action("mStop", QKeySequence(Qt::Key_F8));
    m_ui.run.mEnd = action("mEnd", QKeySequence(Qt::Key_F10));
    m_ui.mTimer = action("mTimer", QKeySequence(Qt::Key_F4));
    m_ui.Place1 = action("Place1", QKeySequence(Qt::CTRL | Qt::Key_P));
    m_ui.LockLSstart1 = action("LockLSstart1", QKeySequence(Qt::Key_F11));
    m_ui.LockLSstop1 = action("LockLSstop1", QKeySequence(Qt::Key_F12));
    m_ui.AutoCountDown1 = action("AutoCountDown1", QKeySequence(Qt::CTRL | Qt::Key_F4));
    m_ui.eO1 = action("eO1", QKeySequence(Qt::CTRL | Qt::Key_O));

    // F1 and Alt+I stay with the help even when its button is disabled (no help page).
    m_ui.mHilfe = action("mHilfe", QKeySequence(Qt::Key_F1));
    m_ui.Hilfe1 = action("Hilfe1", QKeySequence(Qt::ALT | Qt::Key_I));
    m_ui.Info1 = action("Info1", QKeySequence(Qt::Key_F3));
    // Alt+I belongs to the help: the "&Info" caption keeps its underline but not its key.
    m_ui.bInfo->setShortcut(QKeySequence());
    connect(m_ui.mHilfe, &QAction::triggered, this, &TFormMain::bHelpClick);
    connect(m_ui.Hilfe1, &QAction::triggered, this, &TFormMain::bHelpClick);
    connect(m_ui.bHelp, &QToolButton::clicked, this, &TFormMain::bHelpClick);
    connect(m_ui.Info1, &QAction::triggered, this, &TFormMain::bInfoClick);
    connect(m_ui.bInfo, &QToolButton::clicked, this, &TFormMain::bInfoClick);
}
