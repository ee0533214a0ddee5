#include "support/widgets/Memo.h"

#include <QApplication>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPointer>
#include <QStatusBar>
#include <QThread>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

namespace sonlet {

namespace {

QPointer<TfrmMemo> traceWindow;

constexpr std::string_view ClearCommand = "clear it, please";

} // namespace

TfrmMemo::TfrmMemo(QWidget* parent) : QWidget(parent, Qt::Window | Qt::WindowStaysOnTopHint) {
    setWindowTitle("frmMemo");
    setGeometry(721, 436, 299, 298);

    Trace = new QPlainTextEdit(this);
    Trace->setReadOnly(true);
    Trace->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Trace->setPlainText("Trace");

    ToolBar1 = new QToolBar(this);
    ToolBar1->setFixedHeight(29);
    ToolButton1 = new QToolButton(ToolBar1);
    ToolButton1->setText("Clear");
    ToolButton1->setToolTip("Clear the log");
    ToolBar1->addWidget(ToolButton1);
    connect(ToolButton1, &QToolButton::clicked, this, [this] { ToolButton1Click(); });

    StatusBar = new QStatusBar(this);
    StatusBar->setSizeGripEnabled(false);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(Trace, 1);
    layout->addWidget(ToolBar1);
    layout->addWidget(StatusBar);

    traceWindow = this;
}

TfrmMemo::~TfrmMemo() {
    if (traceWindow == this) {
        traceWindow = nullptr;
    }
}

void TfrmMemo::TraceLine(std::string_view text) {
    const QString line = QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
    if (text == ClearCommand) {
        Trace->clear();
    } else {
        Trace->appendPlainText(line);
    }
    StatusBar->showMessage(line);
}

void TfrmMemo::ToolButton1Click() { Trace->clear(); }

void TfrmMemo::mouseDoubleClickEvent(QMouseEvent* event) {
    ToolButton1Click();
    event->accept();
}

void TraceLine(std::string_view text) {
    TfrmMemo* window = traceWindow.data();
    if (!window) {
        return;
    }
    if (QThread::currentThread() == window->thread()) {
        window->TraceLine(text);
        return;
    }
    QMetaObject::invokeMethod(
        window, [window, line = std::string(text)] { window->TraceLine(line); },
        Qt::QueuedConnection);
}

} // namespace sonlet
