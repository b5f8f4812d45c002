#include "ui/dialogs/TFormInfo.h"

#include "core/platform/Prompts.h"
#include "core/platform/Shell.h"
#include "ui/widgets/Artwork.h"

#include <QApplication>
#include <QFrame>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>

namespace {

QFont Arial(int pixels, bool bold = false) {
    QFont f(QStringLiteral("Arial"));
    f.setPixelSize(pixels);
    f.setBold(bold);
    return f;
}

template <typename T>
T* Named(T* widget, const char* name) {
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}

} // namespace

const QString& TFormInfo::ContactAddress() {
    static const QString address = QStringLiteral("https://www.zeitravo.example/kontakt");
    return address;
}

TFormInfo::TFormInfo(Shell& shell, QWidget* parent) : QDialog(parent), m_shell(shell) {
    setObjectName(QStringLiteral("FormInfo"));
    setWindowTitle(QStringLiteral("Information"));
    // A fixed dialog box whose title bar has no buttons: sOK and Esc close it.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    setFixedSize(256, 353);
    QFont base(QStringLiteral("MS Sans Serif"));
    base.setPixelSize(11);
    setFont(base);
    QPalette p = palette();
    p.setColor(QPalette::Window, QColor(192, 192, 192));
    setPalette(p);
    setAutoFillBackground(true);

    Image1 = Named(new QLabel(this), "Image1");
    Image1->setGeometry(10, 4, 238, 65);
    Image1->setAlignment(Qt::AlignCenter);
    Image1->setPixmap(QPixmap::fromImage(Artwork::Logo(QSize(238, 65))));
    Image1->setCursor(Qt::PointingHandCursor);
    Image1->installEventFilter(this);

    Label1 = Named(new QLabel(QStringLiteral("Kadenzor"), this), "Label1");
    QFont name = Arial(16, true);
    name.setUnderline(true);
    Label1->setFont(name);
    Label1->setGeometry(8, 74, 240, 20);
    Label1->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    QPalette maroon = Label1->palette();
    maroon.setColor(QPalette::WindowText, QColor(128, 0, 0));
    Label1->setPalette(maroon);

    LabelVer = Named(new QLabel(QStringLiteral("Version " KADENZOR_VERSION " (7.04.2012)"), this), "LabelVer");
    LabelVer->setGeometry(8, 96, 240, 16);
    LabelVer->setAlignment(Qt::AlignRight | Qt::AlignVCenter);

    Panel1 = Named(new QFrame(this), "Panel1");
    Panel1->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    Panel1->setLineWidth(1);
    Panel1->setGeometry(8, 48, 38, 38);
    Panel1->setAutoFillBackground(true);
    ImageICON = Named(new QLabel(Panel1), "ImageICON");
    ImageICON->setGeometry(3, 3, 32, 32);
    ImageICON->setAlignment(Qt::AlignCenter);

    sOK = Named(new QPushButton(QStringLiteral("Einverstanden"), this), "sOK");
    sOK->setFont(Arial(15, true));
    sOK->setIcon(QIcon(QPixmap::fromImage(Artwork::ButtonPicture(Artwork::Picture::Agree, 20))));
    sOK->setGeometry(56, 274, 145, 28);
    sOK->setDefault(true);
    connect(sOK, &QPushButton::clicked, this, &QDialog::accept);

    Lab = Named(new QLabel(this), "Lab");
    Lab->setGeometry(8, 304, 238, 30);
    Lab->setAlignment(Qt::AlignCenter);
    Lab->setWordWrap(true);

    Label2 = Named(new QLabel(ContactAddress(), this), "Label2");
    Label2->setGeometry(8, 334, 238, 16);
    Label2->setAlignment(Qt::AlignCenter);
    QFont link = font();
    link.setUnderline(true);
    Label2->setFont(link);
    QPalette blue = Label2->palette();
    blue.setColor(QPalette::WindowText, QColor(0, 0, 255));
    Label2->setPalette(blue);
    Label2->setCursor(Qt::PointingHandCursor);
    Label2->installEventFilter(this);
}

void TFormInfo::FormCreate() {
    const QIcon icon = QApplication::windowIcon();
    ImageICON->setPixmap(icon.isNull() ? QPixmap::fromImage(Artwork::AppIcon(32)) : icon.pixmap(32, 32));
    Lab->setText(
        QStringLiteral("Lob und Kritik, Verbesserungsvorschläge,\nFragen und Bestellungen bitte schriftlich über"));
}

void TFormInfo::Image1Click() {
    m_shell.open(ContactAddress());
}

bool TFormInfo::eventFilter(QObject* watched, QEvent* event) {
    if ((watched == Image1 || watched == Label2) && event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        Image1Click();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}
