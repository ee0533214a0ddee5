#include "support/widgets/MessageBoxReporter.h"

#include <QApplication>
#include <QMessageBox>
#include <QThread>

namespace sonlet {

namespace {

QMessageBox::Icon ToQtIcon(MessageIcon icon) {
    switch (icon) {
    case MessageIcon::Information:
        return QMessageBox::Information;
    case MessageIcon::Warning:
        return QMessageBox::Warning;
    case MessageIcon::Error:
        return QMessageBox::Critical;
    case MessageIcon::Question:
        return QMessageBox::Question;
    case MessageIcon::None:
        break;
    }
    return QMessageBox::NoIcon;
}

// Texts are byte strings of the program's single-byte code page.
QString FromBytes(std::string_view text) {
    return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

} // namespace

MessageBoxReporter::MessageBoxReporter(QObject* parent) : QObject(parent) {}

void MessageBoxReporter::ShowBox(std::string_view caption, std::string_view text,
                                 MessageIcon icon) {
    Run(Kind::Ok, caption, text, icon);
}

bool MessageBoxReporter::AskYesNo(std::string_view caption, std::string_view text) {
    return Run(Kind::YesNo, caption, text, MessageIcon::Question);
}

bool MessageBoxReporter::AskRetryIgnore(std::string_view caption, std::string_view text) {
    return Run(Kind::RetryIgnore, caption, text, MessageIcon::Warning);
}

bool MessageBoxReporter::Run(Kind kind, std::string_view caption, std::string_view text,
                             MessageIcon icon) {
    const QString qCaption = FromBytes(caption);
    const QString qText = FromBytes(text);
    if (QThread::currentThread() == thread()) {
        return RunHere(kind, qCaption, qText, icon);
    }
    bool answer = false;
    // Blocks this thread until the GUI thread has run the box to its end.
    QMetaObject::invokeMethod(
        this, [&] { answer = RunHere(kind, qCaption, qText, icon); }, Qt::BlockingQueuedConnection);
    return answer;
}

bool MessageBoxReporter::RunHere(Kind kind, const QString& caption, const QString& text,
                                 MessageIcon icon) {
    QMessageBox box(ToQtIcon(icon), caption, text);
    switch (kind) {
    case Kind::Ok:
        box.setStandardButtons(QMessageBox::Ok);
        break;
    case Kind::YesNo:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box.setDefaultButton(QMessageBox::Yes);
        break;
    case Kind::RetryIgnore:
        box.setStandardButtons(QMessageBox::Retry | QMessageBox::Ignore);
        box.setDefaultButton(QMessageBox::Retry);
        break;
    }
    const int result = box.exec();
    return result == QMessageBox::Yes || result == QMessageBox::Retry;
}

} // namespace sonlet
