// The read-back: brings the panel in line with the instrument, adapts the
// window to the model and rebuilds the settings snapshot.
#include "comm/comm_log.h"
#include "comm/command_set.h"
#include "comm/discovery.h"
#include "comm/exchange.h"
#include "comm/model_table.h"
#include "controls/message_form.h"
#include "controls/plusspinedit.h"
#include "desktop/version_info.h"
#include "instrument/settings_cache.h"
#include "panel/accessible_names.h"
#include "panel/command_queue.h"
#include "panel/main_form.h"
#include "panel/panel_state.h"
#include "serial/pgcomport.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDateTime>
#include <QGroupBox>
#include <QLabel>
#include <QLocale>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTimer>

using namespace pg5400;
using namespace communication;
namespace c = communication::cmd;

namespace {

// A keyword reply selects its list entry; one outside the table leaves the
// field and the selection alone.
void selectKeyword(const c::KeywordTable& table, const QString& reply, qint32& field,
                   QComboBox* list) {
    const int index = table.indexOf(reply);
    if (index == c::NotFound)
        return;
    field = index;
    list->setCurrentIndex(index);
}

constexpr int kLaunchRetryMs = 10;

bool loadingRequested() {
    return RecallRequested != 0 || TaskList.RefreshRequested != 0;
}

} // namespace

void TMainForm::LaunchTimerTimer(QObject*) {
    LaunchTimer->stop();
    if (ShutdownBegun)
        return;
    // An edit, a click on Run or a poll may be talking to the instrument
    // (this timer can fire inside its reply wait): the first read-back starts
    // once that has ended, never inside it.
    if (!PortFree()) {
        LaunchTimer->start(kLaunchRetryMs);
        return;
    }
    TaskList.RefreshRequested = -1;
    beginBusy();
    Initialize();
    endBusy();
    TaskList.RefreshRequested = 0;
    if (ShutdownBegun)
        return;
    StatusTimer->start();
    Running = false;
}

void TMainForm::showIdentity() {
    const QString company = communication::CompanyName(InstrumentIdentity.Manufacturer);
    setWindowTitle(company + QStringLiteral(" Model ") + InstrumentIdentity.Model +
                   QStringLiteral("  SW Version: ") + VersionInfo->FileVersion() +
                   QStringLiteral(" ComPort: ") + QString::number(ComPort->Port()));
    SerialNumberlbl->setText(QStringLiteral("Serial Number: ") +
                             QString::number(InstrumentIdentity.SerialNumber));
    FWVersionlbl->setText(QStringLiteral("Firmware Ver: ") + InstrumentIdentity.FirmwareVersion);
    FPGAVersionlbl->setText(QStringLiteral("FPGA Ver: ") + InstrumentIdentity.FpgaVersion);
    for (const QString& text :
         {windowTitle(), SerialNumberlbl->text(), FWVersionlbl->text(), FPGAVersionlbl->text()})
        SettingsSnapshot << QStringLiteral("// ") + text;
}

void TMainForm::setUpCapabilities() {
    if (PlusOption || HighResolution) {
        SystemResolution = 5e-9;
        PlusOptionGrp->setEnabled(true);
        EnabledAsParent(PlusOptionGrp);
        PlusOptionMemo->hide();
        FeatureLabel->show();
        if (PlusOption) {
            FeatureLabel->setText(QStringLiteral("Plus Option"));
        } else {
            SystemResolution = 4e-9;
            BlueBanner->hide();
            GreenBanner->show();
            FeatureLabel->setText(QStringLiteral("Ambrel High Resolution 5450"));
            SystemPageControl->setTabText(1, QStringLiteral("Enhanced Options"));
            PlusOptionGrp->setTitle(QStringLiteral("Enhanced Options"));
            SystemResolutionlbl->setText(QStringLiteral("System Resolution: 4ns"));
        }
        readPlusFeatures();
    } else {
        PlusOptionMemo->setGeometry(0, PlusOptionMemo->y(), 400, 190);
        PlusOptionMemo->show();
        PlusOptionGrp->hide();
        PlusOptionGrp->setEnabled(false);
        EnabledAsParent(PlusOptionGrp);
        FeatureLabel->hide();
        SystemResolution = 1e-8;
    }
}

void TMainForm::readPlusFeatures() {
    using S = c::SystemSetting;
    TSystemSettings& s = SystemSettings;

    s.PeriodCounterEnabled = QueryInteger(c::header(S::PeriodCounterEnabled));
    PeriodCounterEn->setChecked(s.PeriodCounterEnabled == 1);
    PeriodCounterEn->setEnabled(true);
    SettingsSnapshot << c::snapshotValue(S::PeriodCounterEnabled, s.PeriodCounterEnabled);

    s.PeriodCounterAuto = QueryInteger(c::header(S::PeriodCounterAuto));
    PCAutoEn->setChecked(s.PeriodCounterAuto == 1);
    PCAutoEn->setEnabled(true);
    SettingsSnapshot << c::snapshotValue(S::PeriodCounterAuto, s.PeriodCounterAuto);

    s.PeriodCounterCount = QueryInteger(c::header(S::PeriodCounterCount));
    PCountadj->setValue(s.PeriodCounterCount);
    PCountadj->setEnabled(true);
    SettingsSnapshot << c::snapshotValue(S::PeriodCounterCount, s.PeriodCounterCount);

    s.ShotCounterEnabled = QueryInteger(c::header(S::ShotCounterEnabled));
    ShotCountEnbl->setChecked(s.ShotCounterEnabled == 1);
    SettingsSnapshot << c::snapshotValue(S::ShotCounterEnabled, s.ShotCounterEnabled);

    const QString source = QueryText(c::header(S::ShotCounterSource));
    selectKeyword(c::ShotCounterSources, source, s.ShotCounterSourceIndex, ShotCountSel);
    ShotCountSel->setEnabled(true);
    SettingsSnapshot << c::snapshotReply(S::ShotCounterSource, source);

    s.SyncAutoUpdate = QueryInteger(c::header(S::SyncAutoUpdate));
    SynchUpdatebtn->setEnabled(s.SyncAutoUpdate == 0);
    SynchEnable->setChecked(s.SyncAutoUpdate == 0);
    SettingsSnapshot << c::snapshotValue(S::SyncAutoUpdate, s.SyncAutoUpdate);

    s.CycleCount = QueryInteger(c::header(S::CycleCount));
    CycleCountAdj->setValue(s.CycleCount);
    SettingsSnapshot << c::snapshotValue(S::CycleCount, s.CycleCount);
}

void TMainForm::readSystemSettings() {
    using S = c::SystemSetting;
    TSystemSettings& s = SystemSettings;

    s.Period = QueryFloat(c::header(S::Period));
    PeriodAdj->setValue(s.Period);
    SettingsSnapshot << c::snapshotNumber(S::Period, s.Period);

    s.BurstCount = QueryInt64(c::header(S::BurstCount));
    SysBurstAdj->setValue(s.BurstCount);
    SettingsSnapshot << c::snapshotValue(S::BurstCount, s.BurstCount);

    const QString mode = QueryText(c::header(S::Mode));
    selectKeyword(c::SystemModes, mode, s.ModeIndex, SystemModeSel);
    SettingsSnapshot << c::snapshotReply(S::Mode, mode);

    s.DutyOnCount = QueryInt64(c::header(S::DutyOnCount));
    SysDutyOnAdj->setValue(s.DutyOnCount);
    SettingsSnapshot << c::snapshotValue(S::DutyOnCount, s.DutyOnCount);

    s.DutyOffCount = QueryInt64(c::header(S::DutyOffCount));
    SysDutyOffAdj->setValue(s.DutyOffCount);
    SettingsSnapshot << c::snapshotValue(S::DutyOffCount, s.DutyOffCount);

    const QString external = QueryText(c::header(S::ExternalMode));
    if ((PlusOption || HighResolution) && ExtModeSel->count() <= 3)
        ExtModeSel->addItem(c::ExternalModes.caption(3));
    selectKeyword(c::ExternalModes, external, s.TriggerModeIndex, ExtModeSel);
    SettingsSnapshot << c::snapshotReply(S::ExternalMode, external);

    s.TriggerLevel = QueryFloat(c::header(S::TriggerLevel));
    TrigThresholdAdj->setValue(s.TriggerLevel);
    SettingsSnapshot << c::snapshotNumber(S::TriggerLevel, s.TriggerLevel);

    const QString edge = QueryText(c::header(S::TriggerEdge));
    selectKeyword(c::TriggerEdges, edge, s.TriggerEdgeIndex, TriggerEdgeSel);
    SettingsSnapshot << c::snapshotReply(S::TriggerEdge, edge);

    const QString polarity = QueryText(c::header(S::GatePolarity));
    selectKeyword(c::GatePolarities, polarity, s.GatePolarityIndex, GatePolaritySel);
    SettingsSnapshot << c::snapshotReply(S::GatePolarity, polarity);

    s.AutoStart = QueryInteger(c::header(S::AutoStart));
    AutoStartEnbl->setChecked(s.AutoStart == 1);
    SettingsSnapshot << c::snapshotValue(S::AutoStart, s.AutoStart);
}

void TMainForm::Initialize(bool sendEarlier) {
    // What the user changed before this read-back goes out first, so that
    // the read-back shows it rather than undoing it on the screen only.
    if (sendEarlier)
        sendEarlierLines();
    if (ShutdownBegun)
        return;
    // Whichever way the read-back ends, the cache may hold new values.
    struct NoticeAtEnd {
        TMainForm* form;
        ~NoticeAtEnd() {
            // Some captions change with the model: the names follow them.
            pg5400::NameControlsForAccessibility(form);
            form->noteSettingsChanged();
        }
    } noticeAtEnd{this};
    SettingsSnapshot.clear();
    const QDateTime now = QDateTime::currentDateTime();
    SettingsSnapshot << QStringLiteral("// ") + communication::LocalStamp(now);
    ErrorLabel->hide();
    ErrorCode = 0;
    PCountlbl->setText(QStringLiteral("P: ----"));
    ShotCountlbl->setText(QStringLiteral("Count: ----"));

    if (DemoMode) {
        StatusTimer->stop();
        setWindowTitle(QStringLiteral(" Model 5404+  SW Version: ") + VersionInfo->FileVersion() +
                       QStringLiteral(" ComPort: Demo"));
        SerialNumberlbl->setText(QStringLiteral("Serial Number: 1234"));
        FWVersionlbl->setText(QStringLiteral("Firmware Ver: 1.00"));
        FPGAVersionlbl->setText(QStringLiteral("FPGA Ver: 1.25"));
        PlusOption = true;
        return;
    }

    StatusTimer->stop();
    TaskTimer->stop();
    CommandsSuspended = true;
    const bool showMessage = loadingRequested();
    if (showMessage && MessageForm) {
        MessageForm->show();
        MessageForm->raise();
    }
    // Paints the message; user input waits (the window is held meanwhile).
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    // The window repaints once at the end instead of after every value: the
    // replies are waited for with events flowing, and a repaint there would
    // hold up the next query.
    struct RepaintOnce {
        QWidget* w;
        ~RepaintOnce() { w->setUpdatesEnabled(true); }
    } repaintOnce{this};
    setUpdatesEnabled(false);

    showIdentity();
    SystemSettings.ShotCounterEnabled = 0;
    SystemSettings.PeriodCounterEnabled = 0;
    BlueBanner->show();
    GreenBanner->hide();
    ApplyModelTable();
    setUpCapabilities();
    SetResolution();
    SetRanges();
    readSystemSettings();

    MuxGateSupported = true;
    if (c::isErrorReply(QueryText(c::header(c::ChannelSetting::MuxGate, 1))))
        MuxGateSupported = false;
    for (int n = 1; n <= ChannelCount && !ShutdownBegun && !DeviceLost; ++n)
        readChannel(n);
    setUpChannelTabs();
    SetResolution();
    SetRanges();

    CommandsSuspended = false;
    if (ShutdownBegun)
        return;
    PeriodAdj->setEnabled(true);
    ChPageControl->setCurrentIndex(0);
    SystemPageControl->setCurrentIndex(0);
    SystemModesEnable();
    TriggerModesEnable();
    StatusTimer->start();
    TaskTimer->start();
    if (showMessage && MessageForm)
        MessageForm->close();
}
