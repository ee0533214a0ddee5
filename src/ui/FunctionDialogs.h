#pragma once

#include "edit/SampleFunctionSteps.h"

#include <QDialog>
#include <QString>
#include <functional>

class QDialogButtonBox;
class QFormLayout;
class QPushButton;
class QSettings;

namespace sonlet {

// A sample function's dialog: its fields, Preview (plays the edited copy; the sample stays as
// it is), OK and Cancel. The fields start from the values last confirmed, kept in the
// [Functions] section of sonlet.ini; OK keeps the new ones.
class TFunctionDialog : public QDialog {
public:
    // settingsPath empty: nothing is read or kept.
    TFunctionDialog(QWidget* parent, const QString& title, QString settingsPath);

    // The options as the fields hold them.
    virtual SampleFunctionOptions Options() const = 0;

    // Called with Options() when the user asks to hear them.
    std::function<void(const SampleFunctionOptions&)> OnPreview;
    QPushButton* PreviewButton = nullptr;
    QDialogButtonBox* Buttons = nullptr;

protected:
    void accept() override;
    // Reads and writes the dialog's values in the [Functions] section.
    virtual void Keep(QSettings& ini) const = 0;
    QVariant Remembered(const QString& key, const QVariant& fallback) const;
    QFormLayout* Form = nullptr;

private:
    QString settingsPath_;
};

// The dialogs, each in a file of its own. sampleRate is the rate the sample plays at C-5.
TFunctionDialog* MakeVolumeDialog(QWidget* parent, const QString& settingsPath);
TFunctionDialog* MakeEchoDialog(QWidget* parent, const QString& settingsPath);
TFunctionDialog* MakeToneDialog(QWidget* parent, const QString& settingsPath, double sampleRate);
TFunctionDialog* MakeResampleDialog(QWidget* parent, const QString& settingsPath, double sampleRate,
                                    std::int64_t frames);
TFunctionDialog* MakeCrossfadeDialog(QWidget* parent, const QString& settingsPath,
                                     std::int64_t mostFrames);

// The Volume dialog's Normalize button ends it with this result.
inline constexpr int NormalizeChosen = 2;

// The fade law the Volume dialog last kept, which Fade in and Fade out use.
FadeLaw RememberedFadeLaw(const QString& settingsPath);

} // namespace sonlet
