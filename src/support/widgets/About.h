#pragma once

#include <QDialog>

class QFrame;
class QLabel;
class QPushButton;

namespace sonlet {

// The program's icon, from the resources built into the widgets library.
QIcon ProgramIcon();

// The About box, shown modally from Help > About... and hidden again by OK.
class TAboutBox final : public QDialog {
    Q_OBJECT

public:
    explicit TAboutBox(QWidget* parent = nullptr);

    QFrame* Panel1 = nullptr;
    QLabel* ProgramIconImage = nullptr;
    QLabel* ProductName = nullptr;
    QLabel* lbVersion = nullptr;
    QLabel* Notice = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* Comments = nullptr;
    QPushButton* OKButton = nullptr;

private:
    void FormCreate();
};

} // namespace sonlet
