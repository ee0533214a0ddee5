#include "ui/BankDialog.h"

#include "model/BankImport.h"
#include "model/Instrument.h"
#include "playback/Player.h"
#include "support/Report.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QHeaderView>
#include <QPushButton>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>

namespace sonlet {

namespace {

constexpr int PreviewNote = 60;
constexpr int PreviewVelocity = 100;
constexpr int PreviewMilliseconds = 1500;

// The preview plays through a slot of its own that lives as long as the program, as the
// player requires of every slot a note went through; each preview replaces the instrument's
// content under its edit lock.
TInstrument& PreviewInstrument() {
    static TInstrument instrument;
    return instrument;
}
InstrumentSlot& PreviewSlot() {
    static InstrumentSlot slot{&PreviewInstrument()};
    return slot;
}

QTableWidget* MakeTable(QWidget* parent, const QStringList& headers, bool multiple) {
    auto* table = new QTableWidget(parent);
    table->setColumnCount(static_cast<int>(headers.size()));
    table->setHorizontalHeaderLabels(headers);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->setSelectionMode(multiple ? QAbstractItemView::ExtendedSelection
                                     : QAbstractItemView::SingleSelection);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->verticalHeader()->hide();
    table->horizontalHeader()->setStretchLastSection(true);
    return table;
}

QTableWidgetItem* Cell(const QString& text) { return new QTableWidgetItem(text); }

class PresetDialog final : public QDialog {
public:
    PresetDialog(QWidget* parent, TSoundBank& bank, TWavePlayer* player)
        : QDialog(parent), bank_(bank), player_(player) {
        setWindowTitle("Open a preset");
        table_ = MakeTable(this, {"Bank", "Program", "Name", "Zones"}, false);
        table_->setObjectName("presetTable");
        table_->setRowCount(static_cast<int>(bank.Presets().size()));
        for (int row = 0; row < table_->rowCount(); ++row) {
            const BankPreset& p = bank.Presets()[static_cast<std::size_t>(row)];
            table_->setItem(row, 0, Cell(QString::number(p.bank)));
            table_->setItem(row, 1, Cell(QString::number(p.program)));
            table_->setItem(row, 2, Cell(QString::fromLatin1(p.name)));
            table_->setItem(row, 3, Cell(QString::number(p.zoneCount)));
        }
        table_->resizeColumnsToContents();
        table_->selectRow(0);
        auto* buttons =
            new QDialogButtonBox(QDialogButtonBox::Open | QDialogButtonBox::Cancel, this);
        QPushButton* preview = buttons->addButton("Preview", QDialogButtonBox::ActionRole);
        preview->setObjectName("previewButton");
        preview->setEnabled(player_ != nullptr);
        connect(preview, &QPushButton::clicked, this, [this] { Preview(); });
        connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
        connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
        connect(table_, &QTableWidget::cellDoubleClicked, this, &QDialog::accept);
        auto* layout = new QVBoxLayout(this);
        layout->addWidget(table_);
        layout->addWidget(buttons);
        resize(520, 420);
    }
    ~PresetDialog() override { StopPreview(); }

    int Chosen() const { return table_->currentRow(); }

private:
    void Preview() {
        const int row = Chosen();
        if (row < 0 || player_ == nullptr) {
            return;
        }
        StopPreview();
        TInstrument converted;
        BankConversionNotes notes;
        {
            // What the preview leaves out is said when the preset is opened, not here.
            const HeldMessages held;
            if (!ConvertPreset(bank_, static_cast<std::size_t>(row), converted, notes)) {
                return;
            }
        }
        PreviewInstrument().ReplaceWith(converted);
        player_->NoteOn(PreviewSlot(), PreviewNote, PreviewVelocity);
        sounding_ = true;
        QTimer::singleShot(PreviewMilliseconds, this, [this] { StopPreview(); });
    }
    void StopPreview() {
        if (sounding_ && player_ != nullptr) {
            player_->NoteOff(PreviewSlot(), PreviewNote);
        }
        sounding_ = false;
    }

    TSoundBank& bank_;
    TWavePlayer* player_;
    QTableWidget* table_ = nullptr;
    bool sounding_ = false;
};

} // namespace

bool OpenBankPreset(QWidget* parent, TInstrument& inst, const std::string& fileName,
                    TWavePlayer* player) {
    std::unique_ptr<TSoundBank> bank = TSoundBank::Open(fileName);
    if (!bank) {
        return false;
    }
    PresetDialog dialog(parent, *bank, player);
    if (dialog.exec() != QDialog::Accepted || dialog.Chosen() < 0) {
        return false;
    }
    TInstrument converted;
    BankConversionNotes notes;
    if (!ConvertPreset(*bank, static_cast<std::size_t>(dialog.Chosen()), converted, notes)) {
        return false;
    }
    inst.ReplaceWith(converted);
    if (const std::string summary = notes.Summary(); !summary.empty()) {
        ShowMessage("The XI form cannot say all this preset does; " + summary + ".");
    }
    return true;
}

int AddBankSamples(QWidget* parent, TInstrument& inst, const std::string& fileName) {
    std::unique_ptr<TSoundBank> bank = TSoundBank::Open(fileName);
    if (!bank) {
        return 0;
    }
    QDialog dialog(parent);
    dialog.setWindowTitle("Add samples of the bank");
    QTableWidget* table = MakeTable(&dialog, {"Name", "Frames", "Rate", "Root key"}, true);
    table->setObjectName("sampleTable");
    table->setRowCount(static_cast<int>(bank->Samples().size()));
    for (int row = 0; row < table->rowCount(); ++row) {
        const BankSampleInfo& s = bank->Samples()[static_cast<std::size_t>(row)];
        table->setItem(row, 0, Cell(QString::fromLatin1(s.name)));
        table->setItem(row, 1, Cell(QString::number(s.frames)));
        table->setItem(row, 2, Cell(QString::number(s.rate)));
        table->setItem(row, 3, Cell(QString::number(s.rootKey)));
    }
    table->resizeColumnsToContents();
    table->selectRow(0);
    auto* buttons =
        new QDialogButtonBox(QDialogButtonBox::Open | QDialogButtonBox::Cancel, &dialog);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    auto* layout = new QVBoxLayout(&dialog);
    layout->addWidget(table);
    layout->addWidget(buttons);
    dialog.resize(520, 420);
    if (dialog.exec() != QDialog::Accepted) {
        return 0;
    }
    int added = 0;
    for (const QModelIndex& index : table->selectionModel()->selectedRows()) {
        if (inst.IsFull()) {
            ShowWarning(
                "An instrument holds at most 16 samples: the other samples were not added.");
            break;
        }
        if (auto sample = BankSampleToSample(*bank, static_cast<std::size_t>(index.row()))) {
            added += inst.AdoptSample(std::move(sample)) ? 1 : 0;
        }
    }
    return added;
}

} // namespace sonlet
