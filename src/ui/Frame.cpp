#include "ui/Frame.h"

#include "playback/Player.h"
#include "ui/EnvPanel.h"
#include "ui/Icons.h"
#include "ui/KeyboardPanel.h"
#include "ui/TrackBar.h"

#include <QAction>
#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QFocusEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QRadioButton>
#include <QScrollBar>
#include <QSlider>
#include <QSpinBox>
#include <QStyledItemDelegate>
#include <QTabWidget>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>
#include <QValidator>
#include <algorithm>

namespace sonlet {

namespace {

constexpr int MainPanelHeight = 150;
constexpr int SampleListWidth = 159;
constexpr std::int32_t KeyboardVelocity = 100;

// The sample list moves with the arrow keys only: typed letters and digits are the piano's,
// and searching the list for them would switch the sample being played.
class SampleListBox final : public QListWidget {
public:
    using QListWidget::QListWidget;
    void keyboardSearch(const QString&) override {}
};

// Names are bytes of the code page: typed characters beyond it, and control characters, are
// refused as they are typed, as is a character past the field's length.
class CodePageValidator final : public QValidator {
public:
    CodePageValidator(int length, QObject* parent) : QValidator(parent), length_(length) {}
    State validate(QString& text, int&) const override {
        if (text.size() > length_) {
            return Invalid;
        }
        for (const QChar c : text) {
            const char16_t u = c.unicode();
            if (u < 0x20 || (u >= 0x7F && u < 0xA0) || u > 0xFF) {
                return Invalid;
            }
        }
        return Acceptable;
    }

private:
    int length_;
};

// The sample list edits a sample's name, not the "N:" before it; the new name goes to the
// frame as an edit once the editor has closed.
class SampleNameDelegate final : public QStyledItemDelegate {
public:
    SampleNameDelegate(TfrSonlet& frame, QObject* parent)
        : QStyledItemDelegate(parent), frame_(frame) {}
    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem&,
                          const QModelIndex&) const override {
        auto* editor = new QLineEdit(parent);
        editor->setValidator(new CodePageValidator(static_cast<int>(MaxSampleNameLength), editor));
        return editor;
    }
    void setEditorData(QWidget* editor, const QModelIndex& index) const override {
        const TInstrument* inst = frame_.Instrument();
        if (inst != nullptr && index.row() < inst->SampleCount) {
            const std::string& name =
                inst->Samples[static_cast<std::size_t>(index.row())]->SampleName;
            static_cast<QLineEdit*>(editor)->setText(
                QString::fromLatin1(name.data(), static_cast<qsizetype>(name.size())));
        }
    }
    void setModelData(QWidget* editor, QAbstractItemModel*,
                      const QModelIndex& index) const override {
        const std::string name = static_cast<QLineEdit*>(editor)->text().toLatin1().toStdString();
        const int row = index.row();
        TfrSonlet* frame = &frame_;
        QMetaObject::invokeMethod(
            frame, [frame, row, name] { frame->RenameSample(row, name); }, Qt::QueuedConnection);
    }

private:
    TfrSonlet& frame_;
};

// Focus the user gave: a click, Tab, a label's shortcut, or the return from a menu the user
// opened. A page switch or the window's activation gives none of these.
bool FocusFromUser(Qt::FocusReason reason) {
    return reason == Qt::MouseFocusReason || reason == Qt::TabFocusReason ||
           reason == Qt::BacktabFocusReason || reason == Qt::ShortcutFocusReason ||
           reason == Qt::PopupFocusReason;
}

} // namespace

TfrSonlet::TfrSonlet(QWidget* parent) : QWidget(parent) {
    PreviewInstrument.InitNew();
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    CoolBar1 = new QWidget(this);
    CoolBar1->setObjectName("CoolBar1");
    auto* coolLayout = new QVBoxLayout(CoolBar1);
    coolLayout->setContentsMargins(0, 0, 0, 0);
    coolLayout->setSpacing(0);
    layout->addWidget(CoolBar1);

    BuildWaveArea();
    layout->addWidget(Panel, 1);

    pnMain = new QWidget(this);
    pnMain->setObjectName("pnMain");
    pnMain->setFixedHeight(MainPanelHeight);
    auto* mainLayout = new QHBoxLayout(pnMain);
    mainLayout->setContentsMargins(0, 0, 0, 0);
    mainLayout->setSpacing(2);
    BuildSampleList();
    mainLayout->addWidget(Panel2);
    PageControl1 = new QTabWidget(pnMain);
    PageControl1->setObjectName("PageControl1");
    PageControl1->setTabPosition(QTabWidget::South);
    // The tabs' content is clipped in a narrow window rather than widening the window.
    PageControl1->setMinimumWidth(320);
    mainLayout->addWidget(PageControl1, 1);
    BuildSampleTab();
    BuildInstrumentTab();
    BuildPianoTab();
    PageControl1->setCurrentWidget(pnSample);
    layout->addWidget(pnMain);

    for (QWidget* control : std::initializer_list<QWidget*>{
             tbVolume,      tbPanning,       tbFinetune,    udTransposeSample, rbNoLoop,
             rbLoopForward, rbLoopPingPong,  tbLoopStart,   tbLoopLen,         cbVEEnabled,
             cbVESustain,   cbVELoop,        cbPEEnabled,   cbPESustain,       cbPELoop,
             tbVolFadeout,  lbSamples,       cbVibratoType, seVibratoSweep,    seVibratoDepth,
             seVibratoRate, edInstrumentName}) {
        GuardFocus(*control);
    }
    for (const QSpinBox* box : {udTransposeSample, seVibratoSweep, seVibratoDepth, seVibratoRate}) {
        for (QWidget* part : box->findChildren<QWidget*>()) {
            GuardFocus(*part);
        }
    }
    // One slider drag, one run of keys on a control, one typed value: one step each.
    for (QSlider* bar : {tbVolume, tbPanning, tbFinetune, tbLoopStart, tbLoopLen, tbVolFadeout}) {
        connect(bar, &QSlider::sliderReleased, this, [this] { History.EndGesture(); });
    }
    connect(udTransposeSample, &QSpinBox::editingFinished, this, [this] { History.EndGesture(); });
    connect(qApp, &QApplication::focusChanged, this, [this] { History.EndGesture(); });
    // Loop markers and envelope points move live while dragged; the drag becomes one step.
    for (QWidget* target : std::initializer_list<QWidget*>{PaintBox1, PaintBox2, envVol, envPan}) {
        target->installEventFilter(this);
    }
    for (const TEnvelopePanel* panel : {envVol, envPan}) {
        for (TShape* marker : panel->Markers) {
            marker->installEventFilter(this);
        }
    }
    // A page switch hands the focus to the new page; it goes back to the waveform instead
    // (a focused tab bar keeps it, for switching pages with the arrow keys).
    connect(PageControl1, &QTabWidget::currentChanged, this, [this] {
        QWidget* focus = QApplication::focusWidget();
        if (focus != nullptr && focus != PageControl1->tabBar() &&
            PageControl1->isAncestorOf(focus) && !IsFocusGuarded(focus)) {
            Panel->setFocus(Qt::OtherFocusReason);
        }
    });
}

void TfrSonlet::GuardFocus(QWidget& control) {
    control.installEventFilter(this);
    focusGuarded_.push_back(&control);
}

bool TfrSonlet::IsFocusGuarded(const QObject* object) const {
    return std::find(focusGuarded_.begin(), focusGuarded_.end(), object) != focusGuarded_.end();
}

bool TfrSonlet::ScrollsWithWheel(const QObject* object) const {
    const auto* widget = qobject_cast<const QWidget*>(object);
    return widget != nullptr && (widget == lbSamples || lbSamples->isAncestorOf(widget));
}

TfrSonlet::~TfrSonlet() = default;

void TfrSonlet::BuildWaveArea() {
    Panel = new QWidget(this);
    Panel->setObjectName("Panel");
    Panel->setAutoFillBackground(true);
    QPalette pal = Panel->palette();
    pal.setColor(QPalette::Window, Qt::white);
    Panel->setPalette(pal);
    Panel->setFocusPolicy(Qt::ClickFocus);
    Panel->setMinimumHeight(60);
    Panel->installEventFilter(this);

    for (TPaintBox** lane : {&PaintBox1, &PaintBox2}) {
        auto* box = new TPaintBox(Panel);
        box->setMouseTracking(true);
        box->OnPaint = [this](TPaintBox& s, QPainter& p) { PaintBox1Paint(s, p); };
        box->OnMouseDown = [this](TPaintBox& s, const MouseInput& in) {
            PaintBox1MouseDown(s, in);
        };
        box->OnMouseMove = [this](TPaintBox& s, const MouseInput& in) {
            PaintBox1MouseMove(s, in);
        };
        box->OnMouseUp = [this](TPaintBox& s, const MouseInput& in) { PaintBox1MouseUp(s, in); };
        *lane = box;
    }
    PaintBox1->setObjectName("PaintBox1");
    PaintBox1->Tag = 0;
    PaintBox2->setObjectName("PaintBox2");
    PaintBox2->Tag = 1;
    PaintBox2->hide();

    PlayLine = new TShape(Panel, TShape::Kind::DottedLine);
    PlayLine->setObjectName("PlayLine");
    PlayLine->SetOutline(Qt::gray);
    PlayLine->setGeometry(0, 0, 1, 0);

    ScrollBar = new QScrollBar(Qt::Horizontal, Panel);
    ScrollBar->setObjectName("ScrollBar");
    ScrollBar->setFocusPolicy(Qt::NoFocus);
    ScrollBar->hide();
    connect(ScrollBar, &QScrollBar::valueChanged, this, [this] { ScrollBarChange(); });
}

void TfrSonlet::BuildSampleList() {
    Panel2 = new QWidget(pnMain);
    Panel2->setObjectName("Panel2");
    Panel2->setFixedWidth(SampleListWidth);
    auto* outer = new QVBoxLayout(Panel2);
    outer->setContentsMargins(2, 0, 0, 2);
    gbSamples = new QGroupBox(" Samples ", Panel2);
    outer->addWidget(gbSamples);
    auto* inner = new QVBoxLayout(gbSamples);
    inner->setContentsMargins(3, 2, 3, 2);
    inner->setSpacing(1);
    lbSamples = new SampleListBox(gbSamples);
    lbSamples->setObjectName("lbSamples");
    lbSamples->setFocusPolicy(Qt::ClickFocus);
    inner->addWidget(lbSamples, 1);
    connect(lbSamples, &QListWidget::currentRowChanged, this, [this] { lbSamplesClick(); });
    lbSamples->setItemDelegate(new SampleNameDelegate(*this, lbSamples));
    lbSamples->setEditTriggers(QAbstractItemView::DoubleClicked |
                               QAbstractItemView::EditKeyPressed);

    ToolBar2 = new QToolBar(gbSamples);
    ToolBar2->setObjectName("ToolBar2");
    ToolBar2->setIconSize(QSize(16, 16));
    ToolBar2->setMovable(false);
    ToolBar2->setStyleSheet("QToolBar { border: 0px; padding: 0px; spacing: 0px; }"
                            "QToolButton { padding: 2px; margin: 0px; }");
    const auto add = [this](ToolIcon icon, const QString& tip) {
        QAction* action = ToolBar2->addAction(MakeToolIcon(icon), tip);
        action->setToolTip(tip);
        // Six buttons share the list's width; the style's default size would hide one.
        ToolBar2->widgetForAction(action)->setFixedSize(22, 22);
        return action;
    };
    tbSampleNew = add(ToolIcon::New, "Add a sample");
    tbSampleOpen = add(ToolIcon::Open, "Add a sample from an audio file");
    tbSampleSave = add(ToolIcon::Save, "Save the sample as a WAV file");
    tbSampleCut = add(ToolIcon::Cut, "Delete the sample");
    tbSampleCopy = add(ToolIcon::Copy, "Copy the sample");
    tbSamplePaste = add(ToolIcon::Paste, "Paste the copied sample after this one");
    connect(tbSampleCopy, &QAction::triggered, this, [this] { tbSampleCopyClick(); });
    connect(tbSamplePaste, &QAction::triggered, this, [this] { tbSamplePasteClick(); });
    connect(tbSampleNew, &QAction::triggered, this, [this] { tbSampleNewClick(); });
    connect(tbSampleOpen, &QAction::triggered, this, [this] { tbSampleOpenClick(); });
    connect(tbSampleSave, &QAction::triggered, this, [this] { tbSampleSaveClick(); });
    SampleOpenDialog.Title = "Add a sample";
    SampleOpenDialog.Filter = "Audio files (*.wav *.wave *.aif *.aiff *.aifc *.flac *.ogg *.oga "
                              "*.w64 *.rf64 *.caf *.au *.snd)|*.wav;*.wave;*.aif;*.aiff;*.aifc;"
                              "*.flac;*.ogg;*.oga;*.w64;*.rf64;*.caf;*.au;*.snd|"
                              "Xi files (*.xi)|*.xi|Banks (*.sf2 *.sf3 *.dls)|*.sf2;*.sf3;*.dls|"
                              "All files (*.*)|*.*";
    SampleSaveDialog.Title = "Save the sample";
    SampleSaveDialog.Filter = "Wave files (*.wav)|*.wav";
    SampleSaveDialog.DefaultExt = "wav";
    SampleSaveDialog.ForSave = true;
    connect(tbSampleCut, &QAction::triggered, this, [this] { tbSampleCutClick(); });
    inner->addWidget(ToolBar2);
}

void TfrSonlet::BuildSampleTab() {
    pnSample = new QWidget;
    pnSample->setObjectName("pnSample");
    PageControl1->addTab(pnSample, "Sample");
    auto* row = new QHBoxLayout(pnSample);
    // A narrow window clips the groups instead of forcing the whole window wider.
    row->setSizeConstraint(QLayout::SetNoConstraint);
    row->setContentsMargins(4, 2, 4, 2);
    row->setSpacing(6);

    auto* format = new QGroupBox(" Format ", pnSample);
    auto* formatLayout = new QVBoxLayout(format);
    formatLayout->setSpacing(2);
    lbFormat = new QLabel("16 bit, stereo", format);
    lbFreq = new QLabel("0 Hz", format);
    lbNumFrames = new QLabel("0 frames", format);
    for (QLabel* label : {lbFormat, lbFreq, lbNumFrames}) {
        formatLayout->addWidget(label);
    }
    formatLayout->addStretch(1);
    format->setMinimumWidth(110);
    row->addWidget(format);

    const auto labelledBar = [](QGridLayout& grid, int gridRow, QLabel*& label, QSlider*& bar,
                                QWidget* parent, const QString& text, int lo, int hi, int start) {
        label = new QLabel(text + QString::number(start), parent);
        bar = MakeTrackBar(parent, lo, hi, start);
        bar->setMinimumWidth(80);
        grid.addWidget(label, gridRow, 0);
        grid.addWidget(bar, gridRow + 1, 0);
    };

    auto* level = new QGroupBox(" Volume and panning ", pnSample);
    auto* levelGrid = new QGridLayout(level);
    levelGrid->setVerticalSpacing(0);
    labelledBar(*levelGrid, 0, lbSampleVolume, tbVolume, level, "Volume: ", 0, 64, 64);
    labelledBar(*levelGrid, 2, lbSamplePanning, tbPanning, level, "Panning: ", -128, 127, 0);
    levelGrid->setRowStretch(4, 1);
    row->addWidget(level);

    auto* tuning = new QGroupBox(" Tuning ", pnSample);
    auto* tuningGrid = new QGridLayout(tuning);
    tuningGrid->setVerticalSpacing(0);
    auto* transposeRow = new QHBoxLayout;
    lbTranspose = new QLabel("Transpose", tuning);
    udTransposeSample = new QSpinBox(tuning);
    udTransposeSample->setObjectName("udTransposeSample");
    udTransposeSample->setRange(-36, 36);
    udTransposeSample->setValue(0);
    lbTranspose->setBuddy(udTransposeSample);
    transposeRow->addWidget(lbTranspose);
    transposeRow->addWidget(udTransposeSample);
    transposeRow->addStretch(1);
    tuningGrid->addLayout(transposeRow, 0, 0);
    tuningGrid->addItem(new QSpacerItem(0, 4), 1, 0);
    labelledBar(*tuningGrid, 2, lbSampleFinetune, tbFinetune, tuning, "Finetune: ", -128, 127, 0);
    tuningGrid->setRowStretch(4, 1);
    row->addWidget(tuning);
    connect(udTransposeSample, &QSpinBox::valueChanged, this,
            [this] { udTransposeSampleChange(); });

    auto* loop = new QGroupBox(" Loop ", pnSample);
    auto* loopGrid = new QGridLayout(loop);
    loopGrid->setVerticalSpacing(0);
    loopGrid->setHorizontalSpacing(12);
    rbNoLoop = new QRadioButton("No loop", loop);
    rbLoopForward = new QRadioButton("Forward", loop);
    rbLoopPingPong = new QRadioButton("Pingpong", loop);
    rbNoLoop->setChecked(true);
    auto* radios = new QVBoxLayout;
    radios->setSpacing(2);
    for (QRadioButton* rb : {rbNoLoop, rbLoopForward, rbLoopPingPong}) {
        radios->addWidget(rb);
    }
    radios->addStretch(1);
    loopGrid->addLayout(radios, 0, 0, 4, 1);
    auto* bars = new QGridLayout;
    bars->setVerticalSpacing(0);
    labelledBar(*bars, 0, lbLoopStart, tbLoopStart, loop, "Loop start: ", 0, 0, 0);
    labelledBar(*bars, 2, lbLoopLen, tbLoopLen, loop, "Loop length: ", 1, 1, 1);
    bars->setRowStretch(4, 1);
    loopGrid->addLayout(bars, 0, 1, 4, 1);
    loopGrid->setColumnStretch(1, 1);
    row->addWidget(loop, 1);

    connect(tbVolume, &QSlider::valueChanged, this, [this] { tbVolumeChange(); });
    connect(tbPanning, &QSlider::valueChanged, this, [this] { tbPanningChange(); });
    connect(tbFinetune, &QSlider::valueChanged, this, [this] { tbFinetuneChange(); });
    connect(tbLoopStart, &QSlider::valueChanged, this, [this] { tbLoopStartChange(); });
    connect(tbLoopLen, &QSlider::valueChanged, this, [this] { tbLoopLenChange(); });
    connect(rbNoLoop, &QRadioButton::clicked, this, [this] { rbNoLoopClick(); });
    connect(rbLoopForward, &QRadioButton::clicked, this, [this] { rbLoopForwardClick(); });
    connect(rbLoopPingPong, &QRadioButton::clicked, this, [this] { rbLoopPingPongClick(); });
}

void TfrSonlet::BuildEnvelopeGroup(QGroupBox& group, TEnvelopePanel*& envelope,
                                   std::array<QToolButton*, 4>& zoomButtons,
                                   std::array<QCheckBox*, 3>& flags, bool panning) {
    constexpr int EnvWidth = 305;
    constexpr int EnvHeight = 65;
    auto* grid = new QGridLayout(&group);
    grid->setContentsMargins(4, 4, 2, 2);
    grid->setHorizontalSpacing(2);
    grid->setVerticalSpacing(2);

    envelope = new TEnvelopePanel(&group);
    envelope->setFixedHeight(EnvHeight);
    // Narrow windows get a narrower plot rather than a cut-off one.
    envelope->setMinimumWidth(150);
    envelope->setMaximumWidth(EnvWidth);
    envelope->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    grid->addWidget(envelope, 0, 0);

    auto* zoomColumn = new QVBoxLayout;
    zoomColumn->setSpacing(0);
    auto* buttons = new QButtonGroup(&group);
    buttons->setExclusive(true);
    const std::array<int, 4> factors{8, 4, 2, 1};
    for (std::size_t i = 0; i < factors.size(); ++i) {
        auto* button = new QToolButton(&group);
        button->setText("x" + QString::number(factors[i]));
        button->setProperty("Tag", factors[i]);
        button->setCheckable(true);
        button->setAutoRaise(true);
        button->setFocusPolicy(Qt::NoFocus);
        button->setFixedSize(22, EnvHeight / 4);
        buttons->addButton(button);
        zoomColumn->addWidget(button);
        zoomButtons[i] = button;
        connect(button, &QToolButton::clicked, this, [this, button, panning] {
            if (panning) {
                sbZoom1aClick(*button);
            } else {
                sbZoom1Click(*button);
            }
        });
    }
    zoomButtons[panning ? 1 : 0]->setChecked(true);
    grid->addLayout(zoomColumn, 0, 1, Qt::AlignTop);

    auto* checkRow = new QHBoxLayout;
    checkRow->setSpacing(2);
    const std::array<const char*, 3> captions{"Enabled", "Sustain", "Loop"};
    for (std::size_t i = 0; i < flags.size(); ++i) {
        flags[i] = new QCheckBox(captions[i], &group);
        flags[i]->setStyleSheet("QCheckBox { spacing: 2px; }");
        checkRow->addWidget(flags[i]);
    }
    checkRow->addStretch(1);
    grid->addLayout(checkRow, 1, 0, 1, 2);
    grid->setRowStretch(2, 1);
    group.setMaximumWidth(EnvWidth + 40);
}

void TfrSonlet::BuildInstrumentTab() {
    pnInstrument = new QWidget;
    pnInstrument->setObjectName("pnInstrument");
    // "Instument" is the program's own spelling of this caption; keep it.
    PageControl1->addTab(pnInstrument, "Instument");
    auto* row = new QHBoxLayout(pnInstrument);
    row->setSizeConstraint(QLayout::SetNoConstraint);
    row->setContentsMargins(4, 2, 2, 2);
    row->setSpacing(4);

    gbVolumeEnvelope = new QGroupBox(" Volume envelope ", pnInstrument);
    gbPanningEnvelope = new QGroupBox(" Panning envelope ", pnInstrument);
    std::array<QToolButton*, 4> volZoom{};
    std::array<QToolButton*, 4> panZoom{};
    std::array<QCheckBox*, 3> volFlags{};
    std::array<QCheckBox*, 3> panFlags{};
    BuildEnvelopeGroup(*gbVolumeEnvelope, envVol, volZoom, volFlags, false);
    BuildEnvelopeGroup(*gbPanningEnvelope, envPan, panZoom, panFlags, true);
    row->addWidget(gbVolumeEnvelope, 1);
    row->addWidget(gbPanningEnvelope, 1);
    envVol->setObjectName("envVol");
    envPan->setObjectName("envPan");
    envPan->Tag = 1;
    sbZoom8 = volZoom[0];
    sbZoom4 = volZoom[1];
    sbZoom2 = volZoom[2];
    sbZoom1 = volZoom[3];
    sbZoom8a = panZoom[0];
    sbZoom4a = panZoom[1];
    sbZoom2a = panZoom[2];
    sbZoom1a = panZoom[3];
    cbVEEnabled = volFlags[0];
    cbVESustain = volFlags[1];
    cbVELoop = volFlags[2];
    cbPEEnabled = panFlags[0];
    cbPESustain = panFlags[1];
    cbPELoop = panFlags[2];
    connect(cbVEEnabled, &QCheckBox::clicked, this, [this] { cbVEEnabledClick(); });
    connect(cbVESustain, &QCheckBox::clicked, this, [this] { cbVESustainClick(); });
    connect(cbVELoop, &QCheckBox::clicked, this, [this] { cbVELoopClick(); });
    connect(cbPEEnabled, &QCheckBox::clicked, this, [this] { cbPEEnabledClick(); });
    connect(cbPESustain, &QCheckBox::clicked, this, [this] { cbPESustainClick(); });
    connect(cbPELoop, &QCheckBox::clicked, this, [this] { cbPELoopClick(); });
    for (TEnvelopePanel* envelope : {envVol, envPan}) {
        envelope->OnEdit = [this](std::unique_ptr<TEditCommand> command) {
            Perform(std::move(command));
        };
    }

    // The instrument's name, fadeout and auto-vibrato.
    gbFadeout = new QGroupBox(" Instrument ", pnInstrument);
    gbFadeout->setMaximumWidth(260);
    auto* columns = new QHBoxLayout(gbFadeout);
    columns->setContentsMargins(4, 2, 4, 2);
    columns->setSpacing(4);
    auto* fadeLayout = new QVBoxLayout;
    fadeLayout->setSpacing(2);
    edInstrumentName = new QLineEdit(gbFadeout);
    edInstrumentName->setObjectName("edInstrumentName");
    edInstrumentName->setPlaceholderText("Name");
    edInstrumentName->setToolTip("The instrument's name (22 characters)");
    edInstrumentName->setFocusPolicy(Qt::ClickFocus);
    edInstrumentName->setValidator(new CodePageValidator(22, edInstrumentName));
    lbVolFadeout = new QLabel("Volume fadeout: 0", gbFadeout);
    tbVolFadeout = MakeTrackBar(gbFadeout, 0, 2047, 0);
    fadeLayout->addWidget(edInstrumentName);
    fadeLayout->addWidget(lbVolFadeout);
    fadeLayout->addWidget(tbVolFadeout);
    fadeLayout->addStretch(1);
    columns->addLayout(fadeLayout, 1);
    auto* vibrato = new QVBoxLayout;
    vibrato->setSpacing(1);
    BuildVibratoColumn(*vibrato, *gbFadeout);
    columns->addLayout(vibrato, 0);
    row->addWidget(gbFadeout, 1);
    row->addStretch(0);
    connect(tbVolFadeout, &QSlider::valueChanged, this, [this] { tbVolFadeoutChange(); });
    connect(edInstrumentName, &QLineEdit::textEdited, this, [this] { edInstrumentNameChange(); });
}

void TfrSonlet::BuildVibratoColumn(QVBoxLayout& column, QWidget& group) {
    cbVibratoType = new QComboBox(&group);
    cbVibratoType->setObjectName("cbVibratoType");
    cbVibratoType->addItems({"Sine", "Square", "Ramp down", "Ramp up"});
    cbVibratoType->setToolTip("The auto-vibrato's waveform");
    cbVibratoType->setFocusPolicy(Qt::ClickFocus);
    cbVibratoType->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    cbVibratoType->setMinimumContentsLength(5);
    column.addWidget(cbVibratoType);
    // Each box carries its caption, and arrow keys and the wheel step it: the column stays
    // narrow beside the envelopes.
    const auto spin = [&](const char* caption, int maximum, const char* tip) {
        auto* box = new QSpinBox(&group);
        box->setRange(0, maximum);
        box->setPrefix(caption);
        box->setToolTip(tip);
        box->setButtonSymbols(QAbstractSpinBox::NoButtons);
        box->setFocusPolicy(Qt::ClickFocus);
        column.addWidget(box);
        return box;
    };
    seVibratoSweep =
        spin("Sweep ", 255, "Vibrato sweep: ticks until it reaches its depth (0..255)");
    seVibratoDepth = spin("Depth ", 15, "Vibrato depth: how far the pitch swings (0..15)");
    seVibratoRate = spin("Rate ", 63, "Vibrato rate: how fast the pitch swings (0..63)");
    column.addStretch(1);
    connect(cbVibratoType, &QComboBox::activated, this, [this] { VibratoChange(0); });
    int control = 1;
    for (QSpinBox* box : {seVibratoSweep, seVibratoDepth, seVibratoRate}) {
        connect(box, &QSpinBox::valueChanged, this, [this, control] { VibratoChange(control); });
        ++control;
    }
}

void TfrSonlet::BuildPianoTab() {
    pnPiano = new QWidget;
    pnPiano->setObjectName("pnPiano");
    PageControl1->addTab(pnPiano, "Keyboard");
    auto* column = new QVBoxLayout(pnPiano);
    column->setContentsMargins(4, 2, 4, 1);
    column->setSpacing(1);
    lbKeyRange = new QLabel(pnPiano);
    lbKeyRange->setObjectName("lbKeyRange");
    column->addWidget(lbKeyRange);
    Keyboard = new TKeyboardPanel(pnPiano);
    Keyboard->setObjectName("Keyboard");
    column->addWidget(Keyboard, 1);
    Keyboard->OnEdit = [this](std::unique_ptr<TEditCommand> command) {
        Perform(std::move(command));
    };
    Keyboard->OnNoteOn = [this](std::int32_t note) {
        if (Player != nullptr) {
            Player->NoteOn(Slot, note, KeyboardVelocity);
        }
    };
    Keyboard->OnNoteOff = [this](std::int32_t note) {
        if (Player != nullptr) {
            Player->NoteOff(Slot, note);
        }
    };
    Keyboard->OnHover = [this](const QString& text) { SetStatus(StatusPositionPanel, text); };
    Keyboard->SoundingNotes = [this] { return SoundingNotes(); };
}

void TfrSonlet::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    FrameResize();
}

bool TfrSonlet::eventFilter(QObject* watched, QEvent* event) {
    if (IsLiveEditTarget(watched)) {
        if (event->type() == QEvent::MouseButtonPress) {
            BeginLiveEdit();
        } else if (event->type() == QEvent::MouseButtonRelease) {
            // Releasing changes nothing more; the step is complete.
            EndLiveEdit();
        }
    }
    if (event->type() == QEvent::FocusIn && IsFocusGuarded(watched) &&
        !FocusFromUser(static_cast<QFocusEvent*>(event)->reason())) {
        // Keys typed next would change the value: the waveform takes the focus instead.
        Panel->setFocus(Qt::OtherFocusReason);
        return true;
    }
    if (event->type() == QEvent::Resize) {
        if (watched == Panel) {
            FrameResize();
        }
    }
    return QWidget::eventFilter(watched, event);
}

void TfrSonlet::SetStatus(int panel, const QString& text) { emit StatusChanged(panel, text); }

void TfrSonlet::ShowStatusMessage(const QString& text) { emit StatusMessage(text); }

WaveColors TfrSonlet::Colors() const {
    return {BackgroundColor, SelectionColor, AccentColor, CenterLineColor, WaveColor};
}

} // namespace sonlet
