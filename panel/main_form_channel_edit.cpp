// Editors of the channel pages. One handler serves the eight controls of a
// kind; the channel comes from the sending control's name.
#include "comm/command_set.h"
#include "comm/discovery.h"
#include "controls/check_list.h"
#include "controls/plusspinedit.h"
#include "instrument/settings_cache.h"
#include "panel/layout_helpers.h"
#include "panel/main_form.h"
#include "panel/main_form_edit_commit.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QListWidget>
#include <QMessageBox>

using namespace pg5400;
using communication::ChannelCount;
namespace cmd = communication::cmd;

namespace {

// The sync list of channel n shows its cached source; fires nothing.
void showSyncSource(QComboBox* list, int n) {
    const int index = GetChannelIndex(layout::ListEntries(list), ChannelSettings[n].SyncChannel);
    list->setCurrentIndex(index);
    list->setEditText(list->itemText(index));
}

} // namespace

void TMainForm::SetChEnableState(QObject* Sender) {
    const int n = ChannelOf(Sender);
    if (n == 0)
        return;
    commitCheck(ChEnablebox[n], ChannelSettings[n].Enabled,
                cmd::setChannelEnabled(n, ChEnablebox[n]->isChecked()));
}

void TMainForm::SetChannelDelay(QObject* Sender) {
    const int n = ChannelOf(Sender);
    if (n == 0)
        return;
    const double v = ChDelayAdj[n]->Value();
    const double grid = communication::HighResolution ? 5e-12 : communication::SystemResolution;
    if (!CheckResolution(v, grid)) {
        // Back to the last accepted delay; its change event sends it once more.
        ChDelayAdj[n]->setValue(ChannelSettings[n].Delay);
        return;
    }
    commitSpin(ChDelayAdj[n], ChannelSettings[n].Delay, v, cmd::setChannelDelay(n, v));
}

void TMainForm::SetChannelWidth(QObject* Sender) {
    const int n = ChannelOf(Sender);
    if (n == 0)
        return;
    const double v = ChWidthAdj[n]->Value();
    if (!CheckResolution(v, communication::SystemResolution)) {
        ChWidthAdj[n]->setValue(ChannelSettings[n].Width);
        return;
    }
    commitSpin(ChWidthAdj[n], ChannelSettings[n].Width, v, cmd::setChannelWidth(n, v));
}

void TMainForm::SetChAmplitude(QObject* Sender) {
    const int n = ChannelOf(Sender);
    if (n == 0)
        return;
    const double v = ChAmplitudeAdj[n]->Value();
    commitSpin(ChAmplitudeAdj[n], ChannelSettings[n].Amplitude, v, cmd::setChannelAmplitude(n, v));
}

void TMainForm::SetChannelMode(QObject* Sender) {
    const int n = ChannelOf(Sender);
    if (n == 0)
        return;
    const int index = ListChoice(ChModeSel[n], &TMainForm::SetChannelMode);
    if (commitList(ChModeSel[n], ChannelSettings[n].ModeIndex, index,
                   cmd::setChannelMode(n, index)))
        ChModesEnable(n);
}

void TMainForm::SetChannelBurst(QObject* Sender) {
    const int n = ChannelOf(Sender);
    if (n == 0)
        return;
    const auto v = cmd::wholeCountSigned(ChBurstAdj[n]->Value());
    commitSpin(ChBurstAdj[n], ChannelSettings[n].BurstCount, v, cmd::setChannelBurstCount(n, v));
}

void TMainForm::SetChannelWaitCount(QObject* Sender) {
    const int n = ChannelOf(Sender);
    if (n == 0)
        return;
    const auto v = cmd::wholeCountSigned(ChWaitCountAdj[n]->Value());
    commitSpin(ChWaitCountAdj[n], ChannelSettings[n].WaitCount, v, cmd::setChannelWaitCount(n, v));
}

void TMainForm::SetChannelDCOn(QObject* Sender) {
    const int n = ChannelOf(Sender);
    if (n == 0)
        return;
    const auto v = cmd::wholeCountSigned(ChDutyOnAdj[n]->Value());
    commitSpin(ChDutyOnAdj[n], ChannelSettings[n].DutyOnCount, v, cmd::setChannelDutyOnCount(n, v));
}

void TMainForm::SetChannelDCOff(QObject* Sender) {
    const int n = ChannelOf(Sender);
    if (n == 0)
        return;
    const auto v = cmd::wholeCountSigned(ChDutyOffAdj[n]->Value());
    commitSpin(ChDutyOffAdj[n], ChannelSettings[n].DutyOffCount, v,
               cmd::setChannelDutyOffCount(n, v));
}

void TMainForm::SetChannelPolarity(QObject* Sender) {
    const int n = ChannelOf(Sender);
    if (n == 0)
        return;
    const int index = ListChoice(ChPolaritySel[n], &TMainForm::SetChannelPolarity);
    commitList(ChPolaritySel[n], ChannelSettings[n].PolarityIndex, index,
               cmd::setChannelPolarity(n, index));
}

void TMainForm::SetChannelGateMode(QObject* Sender) {
    const int n = ChannelOf(Sender);
    if (n == 0)
        return;
    const int index = ListChoice(ChGateModeSel[n], &TMainForm::SetChannelGateMode);
    commitList(ChGateModeSel[n], ChannelSettings[n].GateModeIndex, index,
               cmd::setChannelGateMode(n, index));
}

int TMainForm::syncChannels() {
    return ChannelCount > 0 ? ChannelCount : 8;
}

QString TMainForm::SyncRefusal(int n, int s) {
    if (s == 0)
        return {};
    if (ChannelSettings[s].SyncChannel == n)
        return QStringLiteral("Error. You cannot sync two channels to each other.");
    if (s == n)
        return QStringLiteral("Error. Channel cannot sync to itself.");
    if (ChannelSettings[s].SyncChannel == 0)
        return {};
    // Follow the chain of sources from s towards T0; meeting n closes a loop.
    int k = s;
    for (int step = 0; step < syncChannels(); ++step) {
        if (k > syncChannels())
            k = 1;
        if (ChannelSettings[k].SyncChannel == n)
            return QStringLiteral("Error. Circular sync reference.");
        k = ChannelSettings[k].SyncChannel;
        if (k == 0)
            return {};
    }
    return {};
}

void TMainForm::SetChannelSyncSource(QObject* Sender) {
    const int n = ChannelOf(Sender);
    if (n == 0)
        return;
    QComboBox* list = ChSyncSourceSel[n];
    // The list's text, typed or picked, is read as a timer name at every
    // change. Until it names a timer of this model nothing is sent; text that
    // never does gives way to the present source when the user leaves the list.
    ListChoice(list, &TMainForm::SetChannelSyncSource);
    const int s = GetChannelNumber(list->currentText());
    if (s == NoChannel || s > syncChannels())
        return;
    const QString refusal = SyncRefusal(n, s);
    if (!refusal.isEmpty()) {
        // The list shows the present source before the box takes the focus:
        // the focus loss settles the list's text, which must then name no
        // new choice, or the refusal would come a second time.
        showSyncSource(list, n);
        QMessageBox::warning(this, QApplication::applicationName(), refusal, QMessageBox::Ok);
        return;
    }
    if (QueuedCommandToPort(cmd::setChannelSyncSource(n, s))) {
        noteUserEdit(list, ChannelSettings[n].SyncChannel, s);
        ChannelSettings[n].SyncChannel = s;
    }
    // A typed name ("CHB") turns into the source's entry ("Ch B"); a refused
    // line leaves the present source.
    showSyncSource(list, n);
}

void TMainForm::SetChannelMux(QObject* Sender) {
    const int n = ChannelOf(Sender);
    if (n == 0)
        return;
    // Entries beyond the model's channels count for nothing.
    const int marks = ChannelCount > 4 ? 8 : ChannelCount > 2 ? 4 : 2;
    int mask = 0;
    for (int i = 0; i < marks; ++i)
        if (CheckListMark(ChMuxSel[n], i))
            mask |= 1 << i;
    if (QueuedCommandToPort(cmd::setChannelMux(n, mask))) {
        noteUserEdit(ChMuxSel[n], ChannelSettings[n].MuxMask, mask);
        ChannelSettings[n].MuxMask = mask;
        return;
    }
    for (int i = 0; i < marks; ++i)
        SetCheckListMark(ChMuxSel[n], i, (ChannelSettings[n].MuxMask >> i) & 1);
}

void TMainForm::SetChMuxGate(QObject* Sender) {
    const int n = ChannelOf(Sender);
    if (n == 0)
        return;
    const int index = ListChoice(ChMuxGateSel[n], &TMainForm::SetChMuxGate);
    if (!cmd::MuxGateModes.isValidIndex(index))
        return;
    commitList(ChMuxGateSel[n], ChannelSettings[n].MuxGateIndex, index,
               cmd::setChannelMuxGate(n, index));
}
