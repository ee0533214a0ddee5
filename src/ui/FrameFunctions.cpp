// The Function menu: every sample function as one step of the history, its dialogs and their
// preview through the player.
#include "edit/SampleFunctionSteps.h"
#include "model/SampleLoop.h"
#include "playback/Player.h"
#include "support/Report.h"
#include "ui/Frame.h"
#include "ui/FunctionDialogs.h"

#include <QAction>
#include <QMenu>
#include <memory>

namespace sonlet {

namespace {

constexpr std::int32_t PreviewNote = 60;
constexpr std::int32_t PreviewVelocity = 100;

} // namespace

bool TfrSonlet::RunSampleFunction(SampleFunctionId id, const SampleFunctionOptions& options) {
    TInstrument* inst = Instrument();
    TSample* sample = Sample();
    if (inst == nullptr || sample == nullptr) {
        return false;
    }
    // The messages of a function that cannot run come once the view is up to date.
    const HeldMessages held;
    auto step = PrepareSampleFunction(*sample, id, SelectionOrAll(*sample), options);
    return step && Perform(MakeSampleFunctionCommand(std::move(*step), inst->CurrentIndex));
}

void TfrSonlet::PreviewSampleFunction(SampleFunctionId id, const SampleFunctionOptions& options) {
    const TSample* sample = Sample();
    if (sample == nullptr) {
        return;
    }
    auto step = PrepareSampleFunction(*sample, id, SelectionOrAll(*sample), options);
    if (!step) {
        return;
    }
    std::unique_ptr<TSample> copy = CopiedSample(*sample);
    if (auto replacement = RunStepOn(*copy, *step)) {
        copy = std::move(replacement);
    }
    if (Player != nullptr) {
        Player->NoteOff(PreviewSlot, PreviewNote);
    }
    {
        InstrumentEditGuard guard(PreviewInstrument.EditLock());
        PreviewInstrument.Fadeout = Instrument()->Fadeout;
        PreviewInstrument.Samples[0].swap(copy);
    }
    if (Player != nullptr) {
        Player->NoteOn(PreviewSlot, PreviewNote, PreviewVelocity);
    }
}

void TfrSonlet::StopPreview() {
    if (Player != nullptr) {
        Player->NoteOff(PreviewSlot, PreviewNote);
    }
    // An empty sample plays nothing; the copy is freed after the lock.
    auto silent = std::make_unique<TSample>();
    silent->MakeEmpty();
    {
        InstrumentEditGuard guard(PreviewInstrument.EditLock());
        PreviewInstrument.Samples[0].swap(silent);
    }
}

bool TfrSonlet::RunFunctionDialog(SampleFunctionId id, TFunctionDialog* dialog) {
    const std::unique_ptr<TFunctionDialog> owned(dialog);
    dialog->OnPreview = [this, id](const SampleFunctionOptions& options) {
        PreviewSampleFunction(id, options);
    };
    const int result = dialog->exec();
    StopPreview();
    if (result == NormalizeChosen) {
        return RunSampleFunction(SampleFunctionId::Normalize);
    }
    return result == QDialog::Accepted && RunSampleFunction(id, dialog->Options());
}

void TfrSonlet::UpdateFunctionItems() {
    const TSample* sample = Sample();
    const bool stereo = sample != nullptr && sample->Format.nChannels == 2;
    for (QAction* item : {mniSwapChannels, mniCopyLeftToRight, mniCopyRightToLeft}) {
        item->setEnabled(stereo);
    }
    mniToMono->menuAction()->setEnabled(stereo);
}

void TfrSonlet::mniSinClick() {
    const TSample* sample = Sample();
    if (sample == nullptr) {
        return;
    }
    if (sample->MarkA < 0 && sample->MarkB < 0 && sample->NumFrames > 0 &&
        !Confirm("No frames are selected: write the tone over the whole sample?")) {
        return;
    }
    RunFunctionDialog(SampleFunctionId::Tone,
                      MakeToneDialog(window(), SettingsPath, SampleRateOf(*sample)));
}

void TfrSonlet::mniVolumeClick() {
    RunFunctionDialog(SampleFunctionId::Volume, MakeVolumeDialog(window(), SettingsPath));
}

void TfrSonlet::mniEchoClick() {
    RunFunctionDialog(SampleFunctionId::Echo, MakeEchoDialog(window(), SettingsPath));
}

void TfrSonlet::mniResampleClick() {
    if (const TSample* sample = Sample()) {
        RunFunctionDialog(
            SampleFunctionId::Resample,
            MakeResampleDialog(window(), SettingsPath, SampleRateOf(*sample), sample->NumFrames));
    }
}

void TfrSonlet::mniCrossfadeLoopClick() {
    const TSample* sample = Sample();
    if (sample == nullptr) {
        return;
    }
    if (MaxCrossfadeFrames(*sample) <= 0) {
        ShowError("The crossfade needs a loop with frames before its start.");
        return;
    }
    RunFunctionDialog(SampleFunctionId::CrossfadeLoop,
                      MakeCrossfadeDialog(window(), SettingsPath, MaxCrossfadeFrames(*sample)));
}

void TfrSonlet::mniFadeInClick() {
    SampleFunctionOptions options;
    options.Fade = RememberedFadeLaw(SettingsPath);
    RunSampleFunction(SampleFunctionId::FadeIn, options);
}

void TfrSonlet::mniFadeOutClick() {
    SampleFunctionOptions options;
    options.Fade = RememberedFadeLaw(SettingsPath);
    RunSampleFunction(SampleFunctionId::FadeOut, options);
}

// The items without a dialog, and the submenus of the conversions.
void TfrSonlet::BuildFunctionItems() {
    auto add = [this](QMenu* menu, const QString& caption, SampleFunctionId id,
                      SampleFunctionOptions options = {}) {
        QAction* action = menu->addAction(caption);
        connect(action, &QAction::triggered, this,
                [this, id, options] { RunSampleFunction(id, options); });
        return action;
    };
    using Id = SampleFunctionId;
    mniFunction->addSeparator();
    QAction* resample = mniFunction->addAction("Resample...");
    connect(resample, &QAction::triggered, this, [this] { mniResampleClick(); });
    QMenu* to8 = mniFunction->addMenu("Convert to 8 bit");
    add(to8, "With dither", Id::To8Bit);
    SampleFunctionOptions plain;
    plain.Dither = false;
    add(to8, "Without dither", Id::To8Bit, plain);
    add(mniFunction, "Convert to 16 bit", Id::To16Bit);
    mniToMono = mniFunction->addMenu("Convert to mono");
    for (const auto& [caption, source] :
         {std::pair{"Mix", MonoSource::Mix}, std::pair{"Left", MonoSource::Left},
          std::pair{"Right", MonoSource::Right}}) {
        SampleFunctionOptions mono;
        mono.Mono = source;
        add(mniToMono, caption, Id::ToMono, mono);
    }
    add(mniFunction, "Convert to stereo", Id::ToStereo);
    add(mniFunction, "Remove DC offset", Id::RemoveDc);
    mniFunction->addSeparator();
    add(mniFunction, "Set loop to selection", Id::LoopToRange);
    add(mniFunction, "Trim after loop end", Id::TrimAfterLoop);
    QAction* crossfade = mniFunction->addAction("Crossfade loop...");
    connect(crossfade, &QAction::triggered, this, [this] { mniCrossfadeLoopClick(); });
    connect(mniFunction, &QMenu::aboutToShow, this, [this] { UpdateFunctionItems(); });
}

} // namespace sonlet
