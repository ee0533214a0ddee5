#include "ui/FunctionDialogs.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QPushButton>
#include <QSettings>
#include <QVBoxLayout>

namespace sonlet {

TFunctionDialog::TFunctionDialog(QWidget* parent, const QString& title, QString settingsPath)
    : QDialog(parent), settingsPath_(std::move(settingsPath)) {
    setWindowTitle(title);
    auto* layout = new QVBoxLayout(this);
    Form = new QFormLayout;
    layout->addLayout(Form);
    Buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    PreviewButton = Buttons->addButton("Preview", QDialogButtonBox::ActionRole);
    layout->addWidget(Buttons);
    connect(Buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(Buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(PreviewButton, &QPushButton::clicked, this, [this] {
        if (OnPreview) {
            OnPreview(Options());
        }
    });
}

void TFunctionDialog::accept() {
    if (!settingsPath_.isEmpty()) {
        QSettings ini(settingsPath_, QSettings::IniFormat);
        ini.beginGroup("Functions");
        Keep(ini);
        ini.endGroup();
    }
    QDialog::accept();
}

QVariant TFunctionDialog::Remembered(const QString& key, const QVariant& fallback) const {
    if (settingsPath_.isEmpty()) {
        return fallback;
    }
    QSettings ini(settingsPath_, QSettings::IniFormat);
    return ini.value("Functions/" + key, fallback);
}

FadeLaw RememberedFadeLaw(const QString& settingsPath) {
    if (settingsPath.isEmpty()) {
        return FadeLaw::Linear;
    }
    QSettings ini(settingsPath, QSettings::IniFormat);
    return ini.value("Functions/FadeLaw").toString() == "equal-power" ? FadeLaw::EqualPower
                                                                      : FadeLaw::Linear;
}

} // namespace sonlet
