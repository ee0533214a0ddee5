#include "support/widgets/About.h"

#include "support/Version.h"

#include <QFrame>
#include <QGuiApplication>
#include <QIcon>
#include <QLabel>
#include <QPushButton>
#include <QScreen>

namespace sonlet {

namespace {

constexpr int ClientWidth = 298;
constexpr int ClientHeight = 213;

QLabel* PlaceLabel(QWidget* parent, int x, int y, int width) {
    auto* label = new QLabel(parent);
    label->move(x, y);
    label->setFixedWidth(width);
    return label;
}

} // namespace

QIcon ProgramIcon() { return QIcon(":/sonlet/sonlet-256.png"); }

TAboutBox::TAboutBox(QWidget* parent) : QDialog(parent) {
    setWindowTitle("About");
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    setFixedSize(ClientWidth, ClientHeight);
    setModal(true);

    Panel1 = new QFrame(this);
    Panel1->setGeometry(8, 8, 281, 161);
    Panel1->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    Panel1->setLineWidth(2);

    ProgramIconImage = new QLabel(Panel1);
    ProgramIconImage->setGeometry(16, 16, 41, 41);
    ProgramIconImage->setPixmap(ProgramIcon().pixmap(41, 41));

    const int textWidth = Panel1->width() - 16;
    ProductName = PlaceLabel(Panel1, 88, 16, Panel1->width() - 96);
    QFont productFont = ProductName->font();
    productFont.setBold(true);
    ProductName->setFont(productFont);
    lbVersion = PlaceLabel(Panel1, 88, 40, Panel1->width() - 96);
    Notice = PlaceLabel(Panel1, 8, 80, textWidth);
    Notice->setText("Copyright (c) 2026 Tulvo");
    Label1 = PlaceLabel(Panel1, 8, 104, textWidth);
    Label1->setStyleSheet("color: blue; font-weight: bold; text-decoration: underline;");
    Label1->setCursor(Qt::PointingHandCursor);
    Comments = PlaceLabel(Panel1, 8, 128, textWidth);
    Comments->setWordWrap(true);
    Comments->setText("Send to us Your quesions and comments ");

    OKButton = new QPushButton("OK", this);
    OKButton->setGeometry(111, 180, 75, 25);
    OKButton->setDefault(true);
    connect(OKButton, &QPushButton::clicked, this, &QDialog::accept);

    FormCreate();

    for (QLabel* label : {ProductName, lbVersion, Notice, Label1, Comments}) {
        label->adjustSize();
        label->setFixedWidth(label == ProductName || label == lbVersion ? Panel1->width() - 96
                                                                        : textWidth);
    }
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        move(screen->availableGeometry().center() - rect().center());
    }
}

void TAboutBox::FormCreate() {
    ProductName->setText("Sonlet");
    lbVersion->setText(QStringLiteral("Version: ") +
                       QString::fromLatin1(ProgramVersion.data(), ProgramVersion.size()));
    Label1->setText("https://sonlet.tulvo.org");
}

} // namespace sonlet
