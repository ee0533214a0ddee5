#include "ui/SaveQuestion.h"

#include <QMessageBox>
#include <utility>

namespace sonlet {

namespace {

SaveQuestionRunner& Runner() {
    static SaveQuestionRunner runner;
    return runner;
}

} // namespace

SaveQuestionRunner SetSaveQuestionRunner(SaveQuestionRunner runner) {
    return std::exchange(Runner(), std::move(runner));
}

SaveAnswer AskSaveChanges(QWidget* parent, const QString& name) {
    if (Runner()) {
        return Runner()(name);
    }
    QMessageBox box(QMessageBox::Question, "Tulvo Sonlet", "Save changes to " + name + "?",
                    QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, parent);
    box.setDefaultButton(QMessageBox::Save);
    switch (box.exec()) {
    case QMessageBox::Save:
        return SaveAnswer::Save;
    case QMessageBox::Discard:
        return SaveAnswer::Discard;
    default:
        return SaveAnswer::Cancel;
    }
}

} // namespace sonlet
