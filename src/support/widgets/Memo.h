#pragma once

#include <QWidget>
#include <string_view>

class QPlainTextEdit;
class QStatusBar;
class QToolBar;
class QToolButton;

namespace sonlet {

// The trace window: a diagnostic log, kept on top of other windows, that TraceLine writes
// into. It lives hidden from start-up to the end; lines written meanwhile stay in the log.
class TfrmMemo final : public QWidget {
    Q_OBJECT

public:
    explicit TfrmMemo(QWidget* parent = nullptr);
    ~TfrmMemo() override;

    QPlainTextEdit* Trace = nullptr;
    QToolBar* ToolBar1 = nullptr;
    QToolButton* ToolButton1 = nullptr;
    QStatusBar* StatusBar = nullptr;

    // "clear it, please" empties the log; any other text becomes its new last line. Either
    // way the status bar shows the text.
    void TraceLine(std::string_view text);
    void ToolButton1Click();

protected:
    void mouseDoubleClickEvent(QMouseEvent* event) override;
};

// Writes into the program's trace window, when one exists; from any thread.
void TraceLine(std::string_view text);

} // namespace sonlet
