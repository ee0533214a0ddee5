#pragma once

#include <QString>
#include <functional>

class QWidget;

namespace sonlet {

enum class SaveAnswer { Save, Discard, Cancel };

// What asking "Save changes to NAME?" returns; tests answer without a modal loop.
using SaveQuestionRunner = std::function<SaveAnswer(const QString& name)>;

// Replaces the message box (an empty runner restores it); returns the runner it replaced.
SaveQuestionRunner SetSaveQuestionRunner(SaveQuestionRunner runner);

// Asks whether to save the unsaved changes of the document called name.
SaveAnswer AskSaveChanges(QWidget* parent, const QString& name);

} // namespace sonlet
