#pragma once

#include "edit/Clipboard.h"
#include "edit/EditCommand.h"
#include "edit/History.h"
#include "edit/ParamCommands.h"
#include "edit/SampleFunctionSteps.h"
#include "model/Instrument.h"
#include "playback/VoiceTable.h"
#include "ui/FrameCommands.h"
#include "ui/LanePainter.h"
#include "ui/PaintBox.h"
#include "ui/logic/WaveDrag.h"
#include "ui/logic/WaveWindow.h"

#include <QColor>
#include <QPointF>
#include <QString>
#include <QWidget>
#include <array>
#include <atomic>
#include <bitset>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class QAction;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QImage;
class QKeyEvent;
class QLabel;
class QLineEdit;
class QListWidget;
class QMenu;
class QMenuBar;
class QRadioButton;
class QScrollBar;
class QSlider;
class QSpinBox;
class QTabWidget;
class QVBoxLayout;
class QToolBar;
class QToolButton;

namespace sonlet {

class TEnvelopePanel;
class TFunctionDialog;
class TKeyboardPanel;
class TWavePlayer;

// The status bar panels the frame writes through SetStatus.
inline constexpr int StatusPositionPanel = 0;
inline constexpr int StatusSelectionPanel = 1;
inline constexpr int StatusZoomPanel = 2;

// The editor frame: the waveform view of the current sample on top, the sample list and
// the sample, instrument and keyboard tabs below. It edits the instrument it is given and
// owns neither the instrument nor the player. Everything here runs on the GUI thread; every
// change to the instrument is made while holding the instrument's edit lock.
class TfrSonlet : public QWidget {
    Q_OBJECT

public:
    explicit TfrSonlet(QWidget* parent = nullptr);
    ~TfrSonlet() override;

    // ---- set-up and refresh ----
    void SetInstrument(TInstrument* instrument);
    void SetPlayer(TWavePlayer* player);
    // One-time set-up once the instrument is set: lanes, envelopes, piano, first refresh.
    void InitEditor();
    // Shows a whole instrument (after New, Open and at set-up).
    void RefreshInstrument();
    // Makes one edit of the instrument as a step of History and shows its result; false, with
    // nothing changed, when the edit could not be made. Every change a user makes goes
    // through here.
    bool Perform(std::unique_ptr<TEditCommand> command);

    // ---- document: history, clipboard, file (FrameHistory.cpp) ----
    THistory History;
    // What Copy and Cut left; kept across New and Open.
    TClip Clipboard;
    // The sample list's Copy: a whole sample with its settings.
    std::unique_ptr<TSample> SampleClipboard;
    // The XI file Save writes at once; empty until one was opened or saved with Save As.
    QString DocumentFile;
    // The file the document came from or went to, for the title; empty for a new one.
    QString DocumentName;
    // True when the instrument differs from what was last opened or saved.
    bool Modified() const { return History.Modified(); }
    // "piano10.xi* - Tulvo Sonlet": the file and a mark for unsaved changes.
    QString WindowTitle() const;
    // With unsaved changes, asks whether to save them first; false when the user cancelled
    // or the save failed, so that the caller stops and nothing is lost.
    bool MayDiscardChanges();
    // Saves to DocumentFile, or through the Save As dialog without one; true when written.
    bool SaveDocument();
    bool SaveDocumentAs();
    // The document is new or freshly loaded: a new history, counted as saved.
    void StartDocument(const QString& name, bool saveTarget);
    // True when key, one of the Edit menu's shortcuts, belongs to the focused control
    // instead: a value control keeps the sample's shortcuts, a text box also Undo and Redo.
    bool KeyBelongsToControl(const QKeyEvent& key, const QWidget* focus) const;
    // Sets the Undo and Redo items' names and states and tells the window the title.
    void UpdateEditActions();
    // Fills the "Sample" tab from the current sample.
    void ShowSampleInfo();
    void FillSampleList();
    // Shows the key map on the "Keyboard" tab and the current sample's notes.
    void ShowKeyMap();

    // The instrument being edited, or none.
    TInstrument* Instrument() const { return Slot.load(std::memory_order_acquire); }
    // The current sample, or none when there is no instrument or it holds no sample.
    TSample* Sample() const;

    // The frame's instrument slot: voices started by the frame's Play read it.
    InstrumentSlot Slot{nullptr};
    // The player used by Play and Stop; none until SetPlayer.
    TWavePlayer* Player = nullptr;

    // ---- waveform view ----
    // The frames a lane shows at the current width, zoom and scroll position.
    WaveWindow Window() const;
    std::int64_t XToFrame(std::int32_t x) const;
    std::int32_t FrameToX(std::int64_t frame) const;
    // Lays out lanes, scroll bar and play line, repaints, refreshes the "Sample" tab.
    // scrollPosition -1 keeps the scroll position.
    void UpdateView(std::int32_t scrollPosition);
    void RedrawWaveforms();
    // Paints lane `channel` of the current sample into image, at the image's size.
    void PaintToImage(QImage& image, int channel) const;
    void ZoomIn();
    void ZoomOut();
    void ResetZoom();
    // Shows exactly the selected frames; nothing without a selection.
    void ZoomToSelection();
    // One zoom step in or out that keeps the frame under column x of the lanes where it is.
    void ZoomAbout(std::int32_t x, bool in);
    // Scrolls a zoomed view by a wheel's angle (120 a notch); nothing at full view.
    void ScrollByWheel(std::int32_t delta);
    // The lane column under a screen point, or none when the point is outside the lanes.
    std::optional<std::int32_t> LaneColumnAt(QPointF global) const;
    // Column peaks (on) or one value per column (off); View > Show peaks.
    bool ShowPeaks = true;
    void SetShowPeaks(bool on);

    // Colours of the waveform view, set by the main window's colour schemes.
    QColor BackgroundColor{0xFF, 0xFF, 0xFF};
    QColor SelectionColor{0xF0, 0xF0, 0xFA};
    QColor AccentColor{0xFF, 0xFF, 0xFF};
    QColor CenterLineColor{0xC0, 0xC0, 0xC0};
    QColor WaveColor{0x00, 0x00, 0x00};
    WaveColors Colors() const;

    // Hands a status text to the status bar panel `panel` (0 position, 1 selection, 2 zoom).
    void SetStatus(int panel, const QString& text);
    // A message for the whole width of the status bar, shown for a few seconds.
    void ShowStatusMessage(const QString& text);
    // True for the controls a mouse wheel may scroll: the sample list.
    bool ScrollsWithWheel(const QObject* object) const;

    // ---- components ----
    QWidget* CoolBar1 = nullptr; // holds the main tool bar, above the waveform area
    QWidget* Panel = nullptr;
    TPaintBox* PaintBox1 = nullptr;
    TPaintBox* PaintBox2 = nullptr;
    TShape* PlayLine = nullptr;
    QScrollBar* ScrollBar = nullptr;

    QWidget* pnMain = nullptr;
    QWidget* Panel2 = nullptr;
    QGroupBox* gbSamples = nullptr;
    QListWidget* lbSamples = nullptr;
    QToolBar* ToolBar2 = nullptr;
    QAction* tbSampleNew = nullptr;
    QAction* tbSampleOpen = nullptr;
    QAction* tbSampleSave = nullptr;
    QAction* tbSampleCut = nullptr;
    QAction* tbSampleCopy = nullptr;
    QAction* tbSamplePaste = nullptr;
    QTabWidget* PageControl1 = nullptr;

    QWidget* pnSample = nullptr;
    QLabel* lbFormat = nullptr;
    QLabel* lbFreq = nullptr;
    QLabel* lbNumFrames = nullptr;
    QSlider* tbVolume = nullptr;
    QLabel* lbSampleVolume = nullptr;
    QSlider* tbPanning = nullptr;
    QLabel* lbSamplePanning = nullptr;
    QLabel* lbTranspose = nullptr;
    QSpinBox* udTransposeSample = nullptr; // the transpose box with its up-down buttons
    QSlider* tbFinetune = nullptr;
    QLabel* lbSampleFinetune = nullptr;
    QRadioButton* rbNoLoop = nullptr;
    QRadioButton* rbLoopForward = nullptr;
    QRadioButton* rbLoopPingPong = nullptr;
    QSlider* tbLoopStart = nullptr;
    QLabel* lbLoopStart = nullptr;
    QSlider* tbLoopLen = nullptr;
    QLabel* lbLoopLen = nullptr;

    QWidget* pnInstrument = nullptr;
    QGroupBox* gbVolumeEnvelope = nullptr;
    QGroupBox* gbPanningEnvelope = nullptr;
    QGroupBox* gbFadeout = nullptr; // " Instrument ": name, fadeout, vibrato
    TEnvelopePanel* envVol = nullptr;
    TEnvelopePanel* envPan = nullptr;
    QToolButton* sbZoom8 = nullptr;
    QToolButton* sbZoom4 = nullptr;
    QToolButton* sbZoom2 = nullptr;
    QToolButton* sbZoom1 = nullptr;
    QToolButton* sbZoom8a = nullptr;
    QToolButton* sbZoom4a = nullptr;
    QToolButton* sbZoom2a = nullptr;
    QToolButton* sbZoom1a = nullptr;
    QCheckBox* cbVEEnabled = nullptr;
    QCheckBox* cbVESustain = nullptr;
    QCheckBox* cbVELoop = nullptr;
    QCheckBox* cbPEEnabled = nullptr;
    QCheckBox* cbPESustain = nullptr;
    QCheckBox* cbPELoop = nullptr;
    QSlider* tbVolFadeout = nullptr;
    QLabel* lbVolFadeout = nullptr;
    QComboBox* cbVibratoType = nullptr;
    QSpinBox* seVibratoSweep = nullptr;
    QSpinBox* seVibratoDepth = nullptr;
    QSpinBox* seVibratoRate = nullptr;
    QLineEdit* edInstrumentName = nullptr;

    QWidget* pnPiano = nullptr;
    QLabel* lbKeyRange = nullptr;
    TKeyboardPanel* Keyboard = nullptr;

    // ---- waveform view handlers ----
    void PaintBox1Paint(TPaintBox& sender, QPainter& canvas);
    void PaintBox1MouseDown(TPaintBox& sender, const MouseInput& input);
    void PaintBox1MouseMove(TPaintBox& sender, const MouseInput& input);
    void PaintBox1MouseUp(TPaintBox& sender, const MouseInput& input);
    void ScrollBarChange();
    void FrameResize();

    // ---- property panel handlers ----
    void tbVolumeChange();
    void tbPanningChange();
    void tbFinetuneChange();
    void tbLoopStartChange();
    void tbLoopLenChange();
    void tbVolFadeoutChange();
    void udTransposeSampleChange();
    void rbNoLoopClick();
    void rbLoopForwardClick();
    void rbLoopPingPongClick();
    void cbVEEnabledClick();
    void cbVESustainClick();
    void cbVELoopClick();
    void cbPEEnabledClick();
    void cbPESustainClick();
    void cbPELoopClick();
    void sbZoom1Click(QToolButton& sender);
    void sbZoom1aClick(QToolButton& sender);
    void lbSamplesClick();
    void tbSampleNewClick();
    void tbSampleOpenClick();
    void tbSampleSaveClick();
    void tbSampleCutClick();
    // control: 0 type, 1 sweep, 2 depth, 3 rate.
    void VibratoChange(int control);
    void edInstrumentNameChange();
    // Renames sample `index` (from 0); name in the code page's bytes.
    void RenameSample(std::int32_t index, const std::string& name);
    // Starts editing the current sample's name in the list (double-click, F2).
    void EditSampleName();

    // ---- commands ----
    // Menus, the main tool bar, the file dialogs and their handlers (New, Open, Save, Play,
    // Stop, sample functions, ...), defined in FrameCommands.cpp.

    // Builds the main menu, the main tool bar (into CoolBar1) and the file dialogs; once.
    void BuildCommands();

    QMenuBar* MainMenu = nullptr;
    QMenu* mniFile = nullptr;
    QAction* mniNew = nullptr;
    QAction* mniOpen = nullptr;
    QAction* mniSave = nullptr;
    QAction* mniSaveAs = nullptr;
    QAction* mniExit = nullptr;
    QMenu* mniEdit = nullptr;
    QAction* mniUndo = nullptr;
    QAction* mniRedo = nullptr;
    QAction* mniCut = nullptr;
    QAction* mniCopy = nullptr;
    QAction* mniPaste = nullptr;
    QAction* mniPasteMix = nullptr;
    QAction* mniCrop = nullptr;
    QAction* mniDelete = nullptr;
    QAction* mniSelectAll = nullptr;
    QMenu* mniView = nullptr;
    QMenu* mniZoom = nullptr;
    QAction* mniZoomIn = nullptr;
    QAction* mniZoomOut = nullptr;
    QAction* mniOriginalZoom = nullptr;
    QAction* mniZoomToSelection = nullptr;
    QAction* mniShowPeaks = nullptr;
    QAction* mniFileInfo = nullptr;
    QAction* mniChannels = nullptr;
    QMenu* mniFunction = nullptr;
    QAction* mniFillRandom = nullptr;
    QAction* mniSilence = nullptr;
    QAction* mniSin = nullptr;
    QAction* mniInvert = nullptr;
    QAction* mniFlipByZero = nullptr;
    QAction* mniReverse = nullptr;
    QAction* mniSwapChannels = nullptr;
    QAction* mniCopyLeftToRight = nullptr;
    QAction* mniCopyRightToLeft = nullptr;
    QAction* mniVolume = nullptr;
    QAction* mniNormalize = nullptr;
    QAction* mniFadeIn = nullptr;
    QAction* mniFadeOut = nullptr;
    QAction* mniEcho = nullptr;
    QMenu* mniAudio = nullptr;
    // The "Play" submenu; the main window fills it with its semitone items.
    QMenu* mniPlay = nullptr;
    QAction* mniStop = nullptr;
    QAction* mniLoop = nullptr; // hidden
    // Notes play as a FastTracker 2-compatible tracker plays the saved instrument.
    QAction* mniTrackerPlayback = nullptr;
    QMenu* mniHelp = nullptr;
    QAction* mniAbout = nullptr;

    QToolBar* ToolBar1 = nullptr;
    QAction* tbPlay = nullptr;
    QToolButton* tbFunction = nullptr;
    QAction* tbSave = nullptr;
    // Hidden tool buttons.
    QAction* tbLoop = nullptr;
    QAction* ToolButton21 = nullptr;

    TFileDialog OpenDialog;
    TFileDialog SaveDialog;
    // The sample list's own dialogs: any audio file in, the current sample out as WAV.
    TFileDialog SampleOpenDialog;
    TFileDialog SampleSaveDialog;

    void mniNewClick();
    void mniOpenClick();
    // Loads the file into the instrument and shows it, as File > Open does after its dialog.
    void OpenFile(const QString& fileName);
    void mniSaveClick();
    void mniSaveAsClick();
    void mniExitClick();
    void mniFileInfoClick();
    void mniChannelsClick();
    void mniZoomInClick();
    void mniZoomOutClick();
    void mniOriginalZoomClick();
    void mniShowPeaksClick();
    void mniFillRandomClick();
    void mniSilenceClick();
    void mniSinClick();
    void mniInvertClick();
    void mniFlipByZeroClick();
    void mniReverseClick();
    void mniSwapChannelsClick();
    void mniVolumeClick();
    void mniNormalizeClick();
    void mniFadeInClick();
    void mniFadeOutClick();
    void mniEchoClick();
    void mniPlayClick();
    void mniStopClick();
    void mniLoopClick();
    void mniTrackerPlaybackClick();
    // Checks or unchecks "Tracker playback" and sets the player's mode to match.
    void SetTrackerPlayback(bool on);
    void tbLoopClick();
    void ToolButton21Click();
    // The Edit items, on the current sample and its marks.
    void mniUndoClick();
    void mniRedoClick();
    void mniCutClick();
    void mniCopyClick();
    void mniPasteClick();
    void mniPasteMixClick();
    void mniCropClick();
    void mniDeleteClick();
    void mniSelectAllClick();
    void tbSampleCopyClick();
    void tbSamplePasteClick();
    void mniCopyLeftToRightClick() { RunSampleFunction(SampleFunctionId::CopyLeftToRight); }
    void mniCopyRightToLeftClick() { RunSampleFunction(SampleFunctionId::CopyRightToLeft); }

    // ---- sample functions (FrameFunctions.cpp) ----
    // One function on the current sample's selection (the whole sample without one), as one
    // step; false, after a message, when it cannot run there.
    bool RunSampleFunction(SampleFunctionId id, const SampleFunctionOptions& options = {});
    // Plays the current sample as the function would leave it; the sample stays as it is.
    void PreviewSampleFunction(SampleFunctionId id, const SampleFunctionOptions& options);
    void StopPreview();
    // Runs a function's dialog (taking it over) with its preview; true when the step was made.
    bool RunFunctionDialog(SampleFunctionId id, TFunctionDialog* dialog);
    // Greys the stereo items for a mono sample.
    void UpdateFunctionItems();
    void BuildFunctionItems();
    void mniResampleClick();
    void mniCrossfadeLoopClick();
    QAction* mniSignFlip = nullptr;
    QMenu* mniToMono = nullptr;
    QAction* mniSnapToZero = nullptr;
    // sonlet.ini, where the dialogs keep their values; empty keeps nothing.
    QString SettingsPath;
    // What a dialog's Preview plays: a copy of the current sample, edited.
    TInstrument PreviewInstrument;
    InstrumentSlot PreviewSlot{&PreviewInstrument};
    // Note 60 + offset through the frame's slot, when the frame has a player.
    void PlayNote(std::int32_t offset);
    // Releases every held note of the frame's slot (Play and its semitone items), when the
    // frame has a player.
    void StopNote();

signals:
    // The title changed: another file, or its unsaved state.
    void DocumentChanged();
    void StatusChanged(int panel, const QString& text);
    void StatusMessage(const QString& text);

protected:
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void BuildWaveArea();
    void BuildSampleList();
    void BuildSampleTab();
    void BuildInstrumentTab();
    void BuildEnvelopeGroup(QGroupBox& group, TEnvelopePanel*& envelope,
                            std::array<QToolButton*, 4>& zoomButtons,
                            std::array<QCheckBox*, 3>& flags, bool panning);
    void BuildPianoTab();
    void BuildVibratoColumn(QVBoxLayout& column, QWidget& group);
    // The notes now sounding from this instrument, for the keyboard's lit keys.
    std::bitset<KeyMapNotes> SoundingNotes() const;
    void SetLoopType(std::uint8_t type);
    void SetEnvelopeFlag(std::uint8_t EnvelopeParams::*flag, const QCheckBox& box,
                         TEnvelopePanel& envelope);
    // One change of the current sample's or the instrument's settings, as a step.
    void ChangeSample(const char* name, TSampleParamsCommand::Change change);
    void ChangeInstrument(const char* name, TInstrumentParamsCommand::Change change,
                          bool gesture = false);
    // The selection panel's text for the current sample's marks.
    void ShowSelectionStatus();
    // Keeps the keyboard focus off a value control unless the user put it there.
    void GuardFocus(QWidget& control);
    bool IsFocusGuarded(const QObject* object) const;

    // After an undo or redo: the sample it touched becomes current, its frames in view.
    void ShowFocus(const EditFocus& focus);
    // Turns the edits a drag makes live (loop markers, envelope points) into one step.
    void BeginLiveEdit();
    void EndLiveEdit();
    bool IsLiveEditTarget(const QObject* object) const;

    bool lanesSet_ = false;
    bool liveEdit_ = false;
    std::int32_t liveSample_ = -1;
    SampleParams liveSampleBefore_;
    InstrumentParams liveInstrumentBefore_;
    std::vector<const QObject*> focusGuarded_;
    TWaveDrag drag_;
};

} // namespace sonlet
