#pragma once

#include "panel/command_queue.h"
#include "scripting/serve_address.h"

#include <QHash>
#include <QMainWindow>
#include <QPointer>
#include <QVariant>
#include <array>
#include <functional>
#include <memory>
#include <vector>

class QAction;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QListWidget;
class QMenu;
class QMovie;
class QPlainTextEdit;
class QPushButton;
class QTabWidget;
class QTextEdit;
class QTimer;
class QUndoStack;
class SettingsCompareWindow;
class QWidget;
class TPGComPort;
class TPlusSpinEdit;
class TVersionInfoReader;
class TMessageForm;
class TerminalView;
class InputGate;
namespace pg5400 {
class ExitSignals;
class ScpiServer;
class WindowFit;
} // namespace pg5400
namespace communication {
class TerminalSink;
}
namespace timing {
class TimingWindow;
}

// Per-channel controls are reached through arrays indexed by channel number
// 1..8 (index 0 stays empty), filled at start-up by component name.
template <typename T> using ChannelArray = std::array<T*, 9>;

// The panel's one window. The layout is built from tables (main_form_layout.cpp);
// the handlers of each concern live in their own main_form_*.cpp file.
class TMainForm : public QMainWindow {
    Q_OBJECT

public:
    // How the panel was asked to start; the keyboard state and the
    // command-line switches both lead here.
    struct StartOptions {
        bool pick = false;     // choose the port by hand (Space held, -pick)
        bool demo = false;     // demonstration mode (left Shift held, -demo)
        bool log = false;      // logging on from the start (-log)
        QString simulateModel; // non-empty: -simulate[=MODEL]
        bool simulate = false;
        bool serve = false; // the command socket for scripts (-serve[=...])
        pg5400::ServeAddress serveAddress;
    };

    explicit TMainForm(QWidget* parent = nullptr);
    ~TMainForm() override;

    // Runs the start-up sequence; false when the program is to end without
    // showing the window (pick cancelled, no device and no retry).
    bool FormCreate(const StartOptions& options);
    // The program's life: a window, its start-up and the event loop; the
    // exit status.
    static int RunProgram(const StartOptions& options);

    // ---- non-visual components
    TPGComPort* ComPort = nullptr;
    QTimer* StatusTimer = nullptr;
    QTimer* TaskTimer = nullptr;
    QTimer* LaunchTimer = nullptr;
    TVersionInfoReader* VersionInfo = nullptr;

    // ---- top level
    QLabel* BlueBanner = nullptr;
    QLabel* GreenBanner = nullptr;
    QLabel* FeatureLabel = nullptr;
    QLabel* PulseAnimate = nullptr;
    QMovie* PulseMovie = nullptr;
    QLabel* ErrorLabel = nullptr;
    QGroupBox* ChannelGrp = nullptr;
    QGroupBox* TerminalBoxgrp = nullptr;
    QGroupBox* SystemInfoGrp = nullptr;
    QGroupBox* GroupBox23 = nullptr;
    QPushButton* RunStopbtn = nullptr;

    // ---- system page
    QTabWidget* SystemPageControl = nullptr;
    QWidget* SystemPage = nullptr;
    QWidget* PlusPage = nullptr;
    QGroupBox* Systemgrp = nullptr;
    QComboBox* SystemModeSel = nullptr;
    QGroupBox* PeriodGrp = nullptr;
    TPlusSpinEdit* PeriodAdj = nullptr;
    QGroupBox* BurstCountGrp = nullptr;
    TPlusSpinEdit* SysBurstAdj = nullptr;
    QCheckBox* AutoStartEnbl = nullptr;
    QGroupBox* DutyCycleGrp = nullptr;
    QGroupBox* OnCountGrp = nullptr;
    TPlusSpinEdit* SysDutyOnAdj = nullptr;
    QGroupBox* OffCountGrp = nullptr;
    TPlusSpinEdit* SysDutyOffAdj = nullptr;
    QGroupBox* Externalgrp = nullptr;
    QComboBox* ExtModeSel = nullptr;
    QGroupBox* ExtThresholdGrp = nullptr;
    TPlusSpinEdit* TrigThresholdAdj = nullptr;
    QGroupBox* GatePolGrp = nullptr;
    QComboBox* GatePolaritySel = nullptr;
    QGroupBox* ExtTrigEdgGrp = nullptr;
    QComboBox* TriggerEdgeSel = nullptr;

    // ---- plus page
    QGroupBox* PlusOptionGrp = nullptr;
    QPlainTextEdit* PlusOptionMemo = nullptr;
    QCheckBox* ShotCountEnbl = nullptr;
    QComboBox* ShotCountSel = nullptr;
    QPushButton* ClearShotCount = nullptr;
    QLabel* ShotCountlbl = nullptr;
    QGroupBox* PeriodCounterGrp = nullptr;
    QCheckBox* PeriodCounterEn = nullptr;
    QCheckBox* PCAutoEn = nullptr;
    TPlusSpinEdit* PCountadj = nullptr;
    QPushButton* PCountClear = nullptr;
    QLabel* PCountlbl = nullptr;
    QGroupBox* SynchUpdategrp = nullptr;
    QCheckBox* SynchEnable = nullptr;
    QPushButton* SynchUpdatebtn = nullptr;
    QGroupBox* DutyCycleCCGrp = nullptr;
    TPlusSpinEdit* CycleCountAdj = nullptr;
    QLabel* SystemResolutionlbl = nullptr;

    // ---- channel area
    QTabWidget* ChPageControl = nullptr;
    ChannelArray<QWidget> TabCh{};
    ChannelArray<QCheckBox> ChEnablebox{};
    ChannelArray<TPlusSpinEdit> ChDelayAdj{};
    ChannelArray<TPlusSpinEdit> ChWidthAdj{};
    ChannelArray<QComboBox> ChModeSel{};
    ChannelArray<TPlusSpinEdit> ChAmplitudeAdj{};
    ChannelArray<TPlusSpinEdit> ChBurstAdj{};
    ChannelArray<QGroupBox> ChBurstCountGrp{};
    ChannelArray<TPlusSpinEdit> ChWaitCountAdj{};
    ChannelArray<QComboBox> ChSyncSourceSel{};
    ChannelArray<QComboBox> ChPolaritySel{};
    ChannelArray<TPlusSpinEdit> ChDutyOnAdj{};
    ChannelArray<QGroupBox> ChDutyOnGrp{};
    ChannelArray<TPlusSpinEdit> ChDutyOffAdj{};
    ChannelArray<QGroupBox> ChDutyOffGrp{};
    ChannelArray<QComboBox> ChGateModeSel{};
    ChannelArray<QListWidget> ChMuxSel{};
    ChannelArray<QComboBox> ChMuxGateSel{};
    ChannelArray<QGroupBox> ChMuxGateGrp{};

    // ---- terminal and system information
    QComboBox* SendEdit = nullptr;
    QPushButton* SendBtn = nullptr;
    TerminalView* ResponseList = nullptr;
    // What the exchange primitives echo to: the terminal view.
    std::unique_ptr<communication::TerminalSink> terminalEcho;
    QLabel* SerialNumberlbl = nullptr;
    QLabel* FWVersionlbl = nullptr;
    QLabel* FPGAVersionlbl = nullptr;

    // ---- menu
    QMenu* File1 = nullptr;
    QAction* Exit1 = nullptr;
    QAction* R1 = nullptr;
    QMenu* Edit1 = nullptr;
    QAction* Undo1 = nullptr;
    QAction* Redo1 = nullptr;
    QAction* History1 = nullptr;
    QMenu* Storage1 = nullptr;
    QAction* CompareWithFile1 = nullptr;
    QMenu* SaveToBin1 = nullptr;
    std::array<QAction*, 7> SaveBinItems{}; // N11..N61 at 1..6
    QMenu* RestoreFromBin1 = nullptr;
    std::array<QAction*, 7> RestoreBinItems{}; // Default01 at 0, N12..N62 at 1..6
    QAction* SaveToFile1 = nullptr;
    QAction* RestoreSettingsFromFile1 = nullptr;
    QMenu* ools1 = nullptr;
    QAction* Up1 = nullptr;
    QAction* CaptureScreenShot1 = nullptr;
    QAction* TimingDiagram1 = nullptr;
    QAction* EnableLoggingMenu = nullptr;
    QMenu* Help1 = nullptr;
    QAction* WebSite1 = nullptr;
    QAction* About1 = nullptr;

    TMessageForm* MessageForm = nullptr;

    // How RestartApp starts the new instance (tests replace it).
    static std::function<bool(const QString& program, const QStringList& arguments)> StartDetached;

    // The channel number from the last character of a per-channel control's
    // name ("ChDelayAdj3" gives 3); 0 when it is no channel digit.
    static int ChannelOf(const QObject* Sender);

    // ---- command queue and task tick (main_form_tasks.cpp)
    // Queues one set line for the task tick; an empty line (no valid command)
    // is never queued.
    // False when the line was refused (queue full, no valid command): the
    // editor then shows the cached value again and keeps the cache as it is.
    bool QueuedCommandToPort(const QString& commandstr);
    // The terminal's path: queues the line even when it is empty (a bare
    // CR LF the user asked for). False when the queue refused it.
    bool QueueLine(const QString& commandstr);
    void ProcessTasks();
    // Runs action now, or after the read-back or file operation in progress
    // (menu commands must not start one inside another).
    void RunWhenIdle(std::function<void()> action);
    bool Busy() const { return busyDepth > 0; }
    // Queued lines, a refresh or a recall wait for the task tick.
    bool TasksWaiting() const;
    // True when nothing talks to the instrument: no exchange waits for its
    // reply, no task batch, poll, read-back or file operation is under way.
    // Everything a timer starts on the port waits for this.
    bool PortFree() const;
    // The command socket for scripts; null unless -serve asked for it.
    pg5400::ScpiServer* CommandSocket() const { return commandSocket; }

    // ---- read-back (main_form_readback.cpp, main_form_channel_readback.cpp)
    // A full read-back; first the lines queued so far go out unless the
    // caller has sent them.
    void Initialize(bool sendEarlier = true);

    // ---- resolution, ranges and enabling rules (main_form_rules.cpp)
    void SetResolution();
    void SetRanges();
    void SystemModesEnable();
    void ChModesEnable(int chnum);
    void TriggerModesEnable();
    static void EnabledAsParent(QWidget* container);
    static bool CheckResolution(double value, double resolution);

public Q_SLOTS:
    // start-up, shutdown, restart
    void FormClose();
    void ComPortTimeout(QObject* Sender);
    void Exit1Click(QObject* Sender);
    void R1Click(QObject* Sender);
    void ExitApp();
    void RestartApp();
    // SIGTERM, SIGHUP and SIGINT take the ExitApp path from now on.
    void ExitOnSignals();
    // task timer and read-back
    void TaskTimerTimer(QObject* Sender);
    void Up1Click(QObject* Sender);
    void LaunchTimerTimer(QObject* Sender);
    // system settings
    void SystemModeSelChange(QObject* Sender);
    void PeriodAdjChange(QObject* Sender);
    void SysBurstAdjChange(QObject* Sender);
    void AutoStartEnblClick(QObject* Sender);
    void SysDutyOnAdjChange(QObject* Sender);
    void SysDutyOffAdjChange(QObject* Sender);
    void ExtModeSelChange(QObject* Sender);
    void TrigThresholdAdjChange(QObject* Sender);
    void GatePolaritySelChange(QObject* Sender);
    void TriggerEdgeSelClick(QObject* Sender);
    // channel settings
    void SetChEnableState(QObject* Sender);
    void SetChannelDelay(QObject* Sender);
    void SetChannelWidth(QObject* Sender);
    void SetChAmplitude(QObject* Sender);
    void SetChannelBurst(QObject* Sender);
    void SetChannelWaitCount(QObject* Sender);
    void SetChannelSyncSource(QObject* Sender);
    void SetChannelMux(QObject* Sender);
    void SetChannelMode(QObject* Sender);
    void SetChannelGateMode(QObject* Sender);
    void SetChannelPolarity(QObject* Sender);
    void SetChannelDCOn(QObject* Sender);
    void SetChannelDCOff(QObject* Sender);
    void SetChMuxGate(QObject* Sender);
    // run control and status
    void RunStopbtnClick(QObject* Sender);
    void StatusTimerTimer(QObject* Sender);
    // storage: Save To Bin 1..6, Restore From Bin 0..6
    void N11Click(QObject* Sender);
    void N21Click(QObject* Sender);
    void N31Click(QObject* Sender);
    void N41Click(QObject* Sender);
    void N51Click(QObject* Sender);
    void N61Click(QObject* Sender);
    void Default01Click(QObject* Sender);
    void N12Click(QObject* Sender);
    void N22Click(QObject* Sender);
    void N32Click(QObject* Sender);
    void N42Click(QObject* Sender);
    void N52Click(QObject* Sender);
    void N62Click(QObject* Sender);
    void SaveToFile1Click(QObject* Sender);
    void RestoreSettingsFromFile1Click(QObject* Sender);
    // terminal
    void SendBtnClick(QObject* Sender);
    // Key presses in SendEdit; true when the key was consumed.
    bool SendEditKeyPress(QObject* Sender, int Key, Qt::KeyboardModifiers Modifiers);
    // about, capture, web
    void About1Click(QObject* Sender);
    void CaptureScreenShot1Click(QObject* Sender);
    void TimingDiagram1Click(QObject* Sender);
    // undo and redo: main_form_undo.cpp
    void History1Click(QObject* Sender);
    // comparing with a settings file: main_form_compare.cpp
    void CompareWithFile1Click(QObject* Sender);
    void WebSite1Click(QObject* Sender);
    // plus features
    void ShotCountEnblClick(QObject* Sender);
    void ShotCountSelChange(QObject* Sender);
    void ClearShotCountClick(QObject* Sender);
    void PeriodCounterEnClick(QObject* Sender);
    void PCAutoEnClick(QObject* Sender);
    void PCountadjChange(QObject* Sender);
    void PCountClearClick(QObject* Sender);
    void SynchEnableClick(QObject* Sender);
    void SynchUpdatebtnClick(QObject* Sender);
    void CycleCountAdjChange(QObject* Sender);
    // log
    void EnableLoggingMenuClick(QObject* Sender);

public:
    void ToggleLoggingState();
    // The timing diagram window, once opened (main_form_timing.cpp).
    timing::TimingWindow* TimingDiagram() const { return timingWindow; }
    // Where the window sits and what of it scrolls on a small screen.
    pg5400::WindowFit* Fit() const { return windowFit; }
    // The user's setting changes, to undo and redo (main_form_undo.cpp).
    QUndoStack* UndoStack() const { return undoStack; }
    // The handler a setting control runs on a change: undo and redo set the
    // control and run it, so they take the same path as the user's edit.
    void RememberSettingHandler(QObject* control, void (TMainForm::*handler)(QObject*));
    // Edit with Undo, Redo and History (the layout puts it after File).
    void buildEditMenu();
    // The comparison of the instrument with this settings file, after a
    // read-back; a file the restore would refuse is refused the same way.
    void CompareWithFile(const QString& path);
    SettingsCompareWindow* CompareWindow() const { return compareWindow; }

Q_SIGNALS:
    // The settings cache may hold new values: an edit was queued or a
    // read-back ended. Sent once per turn of the event loop at most.
    void SettingsCacheChanged();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    // main_form_layout.cpp (and the files it uses)
    void BuildLayout();
    // The banner pictures drawn for a screen of this pixel ratio.
    void showBanners(qreal ratio);
    // main_form_startup.cpp
    void FillChannelArrays();
    // What a restart passes on to the new instance.
    QStringList restartArguments() const;
    StartOptions started;
    void EnterDemoMode();
    bool startSimulator(const QString& model);
    // main_form_storage.cpp
    void SaveToBin(int bin);
    void RestoreFromBin(int bin);
    // main_form_tasks.cpp: read-backs and file operations mark themselves busy
    void beginBusy();
    void endBusy();
    int busyDepth = 0;
    InputGate* inputGate = nullptr;
    // main_form_scripts.cpp
    void startCommandSocket(const pg5400::ServeAddress& where);
    pg5400::ScpiServer* commandSocket = nullptr;
    pg5400::ExitSignals* exitSignals = nullptr;
    // main_form_timing.cpp
    void noteSettingsChanged();
    bool settingsNoticePending = false;
    timing::TimingWindow* timingWindow = nullptr;
    pg5400::WindowFit* windowFit = nullptr;
    // Sends the lines queued so far, oldest first (demo mode: shows them).
    void sendQueuedCommands();
    // One line to the instrument and its reply; in demonstration mode the
    // line is only shown.
    QString sendLine(const QString& command);
    // Queues a line and wakes the task tick for it.
    pg5400::QueueResult enqueueLine(const QString& line, pg5400::LineReply onReply = {});
    // Sends one batch, what is queued now, before a read-back or recall, so
    // the read-back shows what the instrument holds with the edits applied.
    void sendEarlierLines();
    // The channels a sync source may name: without a model (demonstration
    // mode) every channel the lists hold.
    static int syncChannels();
    std::vector<std::function<void()>> deferred;
    // ---- editing: main_form_system_edit.cpp, main_form_channel_edit.cpp,
    // main_form_plus_edit.cpp (private helpers go here)
    // The list entry the user has settled on: the selected entry while the
    // list shows its text, -1 while typed text stands in the list. Typed text
    // settles when the user leaves the list or presses Return: the name of an
    // entry is taken as a pick (handler runs), anything else gives way to the
    // selected entry again.
    int ListChoice(QComboBox* list, void (TMainForm::*handler)(QObject*));
    // An editor's line for a new value: stored in the cache once queued;
    // refused, the control shows the cached value again and nothing changes.
    // (main_form_edit_commit.h)
    template <typename T>
    bool commitSpin(TPlusSpinEdit* edit, T& cached, T value, const QString& line);
    bool commitCheck(QCheckBox* box, qint32& cached, const QString& line);
    bool commitList(QComboBox* list, qint32& cached, int index, const QString& line);
    // Sync source: the refusal text for source s of channel n, empty when accepted.
    static QString SyncRefusal(int n, int s);
    // main_form_undo.cpp: an edit the user made, from `before` to `after`
    // (a spin value, a list index, a check state, a mark mask, a sync
    // source), once its line is queued; nothing while a read-back or a
    // replayed step runs.
    void noteUserEdit(QObject* control, const QVariant& before, const QVariant& after);
    friend class SettingStep;
    friend class SettingsStep;
    void applySetting(QObject* control, const QVariant& value);
    // Sets the control to `to` where it still holds `expected`; otherwise
    // (changed elsewhere since) says so and leaves it: false.
    bool replaySetting(QObject* control, const QVariant& to, const QVariant& expected);
    QVariant settingValue(QObject* control) const;
    QString settingText(QObject* control, const QVariant& value) const;
    QString settingName(QObject* control) const;
    QUndoStack* undoStack = nullptr;
    SettingsCompareWindow* compareWindow = nullptr;
    QString compareFile;
    void showComparison(const QStringList& fileLines);
    QHash<const QObject*, void (TMainForm::*)(QObject*)> settingHandlers;
    QList<QObject*> settingControls; // in the order they were built
    // Every setting control's value now, in that order.
    QList<QVariant> settingValues() const;
    // One step for all that changed since `before` (a recall, a file played).
    void noteChangedTogether(const QString& what, const QList<QVariant>& before);
    bool replayingStep = false;

    // ---- run control and status: main_form_run_status.cpp; storage:
    // main_form_storage.cpp, main_form_settings_file.cpp (private helpers go here)
    void SystemStart();
    void SystemStop();
    void UpdateStatus();
    // The one place the run state is shown: Running, the button's caption
    // and accessible description, the animation, the timing diagram's note.
    void showRunState(bool running);
    // The instrument's device is gone: everything stops while the same
    // device is looked for during one poll interval (a USB device that
    // re-enumerates comes back under its stable name); found, it is taken up
    // again and read back, else the user is asked once to restart or exit.
    void portLost();
    void retakePort(qint64 deadlineMs);
    bool sameInstrumentAnswers();
    bool retakingPort = false;
    static QString errorText(qint32 code);
    // Runs a file operation once no read-back, file operation or exchange is
    // in progress, marked busy so menu commands wait for it.
    void runFileOperation(std::function<void()> operation);
    void saveSettingsToFile();
    void playSettingsFile();
    void playLines(const QStringList& lines);
    // Plays the lines, reads back and makes what they changed one undo step;
    // false where the program is ending.
    bool playAsOneStep(const QStringList& lines, const QString& what);
    void showMessage(const QString& text);

    // ---- terminal: main_form_terminal.cpp; about, capture, web:
    // main_form_about.cpp (private helpers go here)
    void sendTerminalText();
    // True when an entry was deleted (the key is then spent).
    bool deleteSelectedHistoryEntry();

    // main_form_readback.cpp, main_form_channel_readback.cpp
    void showIdentity();
    void setUpCapabilities();
    void readPlusFeatures();
    void readSystemSettings();
    void readChannel(int n);
    void setUpChannelTabs();
};
