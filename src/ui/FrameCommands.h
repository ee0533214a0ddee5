#pragma once

#include <QString>
#include <functional>
#include <optional>
#include <string>

class QWidget;

namespace sonlet {

// One of the frame's file dialogs, as its commands set it up.
struct TFileDialog {
    QString Title;
    // Pairs of description and patterns, all joined by '|':
    // "Xi files (*.xi)|*.xi|All files (*.*)|*.*". Patterns of one pair are split by ';'.
    QString Filter;
    // Added (without its dot) to a chosen name that has no extension; empty adds nothing.
    QString DefaultExt;
    QString InitialDir;
    bool ForSave = false;
    // Whether a save dialog itself asks before a chosen file is replaced; off where the
    // command asks about the name it really writes.
    bool ConfirmOverwrite = true;
    // The chosen file after a confirmed Execute.
    QString FileName;

    // Runs the dialog; true when the user chose a file.
    bool Execute(QWidget* parent);
};

// What a dialog run returns: the chosen name, or nothing when the user cancelled.
using FileDialogRunner = std::function<std::optional<QString>(const TFileDialog& dialog)>;

// Replaces the desktop's dialogs (tests answer them without a modal loop); an empty runner
// restores the real ones. Returns the runner it replaced.
FileDialogRunner SetFileDialogRunner(FileDialogRunner runner);

// The file Save As writes for a chosen name: the name with ".xi" added unless that is its
// extension already (any case), since only XI files are saved, so "bass.wav" gives
// "bass.wav.xi". Empty when that file exists and the user declines to replace it.
QString XiSaveName(const QString& chosen);

// A file name as the model's paths are: bytes in the file system's encoding.
std::string ToPath(const QString& name);

// The Qt name filters of a '|'-joined filter text.
QStringList QtNameFilters(const QString& filter);

} // namespace sonlet
