// Editors of the channel pages. One handler serves the eight controls of a
// kind; the channel comes from the sending control's name.
#include "comm/command_set.h"
#include "comm/discovery.h"
#include "controls/plusspinedit.h"
#include "panel/check_list.h"
#include "panel/layout_helpers.h"
#include "panel/main_form.h"
#include "panel/settings_cache.h"

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
    ChannelSettings[n].Enabled = ChEnablebox[n]->isChecked() ? 1 : 0;
    QueuedCommandToPort(cmd::setChannelEnabled(n, ChannelSettings[n].Enabled == 1));
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
    ChannelSettings[n].Delay = v;
    QueuedCommandToPort(cmd::setChannelDelay(n, ChannelSettings[n].Delay));
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
    ChannelSettings[n].Width = v;
    QueuedCommandToPort(cmd::setChannelWidth(n, ChannelSettings[n].Width));
}

void TMainForm::SetChAmplitude(QObject* Sender) {
    const int n = ChannelOf(Sender);
    if (n == 0)
        return;
    ChannelSettings[n].Amplitude = ChAmplitudeAdj[n]->Value();
    QueuedCommandToPort(cmd::setChannelAmplitude(n, ChannelSettings[n].Amplitude));
}

void TMainForm::SetChannelMode(QObject* Sender) {
    const int n = ChannelOf(Sender);
    if (n == 0)
        return;
    const int index = ListChoice(ChModeSel[n], &TMainForm::SetChannelMode);
    const QString line = cmd::setChannelMode(n, index);
    if (line.isEmpty())
        return;
    QueuedCommandToPort(line);
    ChannelSettings[n].ModeIndex = index;
    ChModesEnable(n);
}

void TMainForm::SetChannelBurst(QObject* Sender) {
    const int n = ChannelOf(Sender);
    if (n == 0)
        return;
    ChannelSettings[n].BurstCount = qint32(WholeCount(ChBurstAdj[n]->Value()));
    QueuedCommandToPort(cmd::setChannelBurstCount(n, ChannelSettings[n].BurstCount));
}

void TMainForm::SetChannelWaitCount(QObject* Sender) {
    const int n = ChannelOf(Sender);
    if (n == 0)
        return;
    ChannelSettings[n].WaitCount = qint32(WholeCount(ChWaitCountAdj[n]->Value()));
    QueuedCommandToPort(cmd::setChannelWaitCount(n, ChannelSettings[n].WaitCount));
}

void TMainForm::SetChannelDCOn(QObject* Sender) {
    const int n = ChannelOf(Sender);
    if (n == 0)
        return;
    ChannelSettings[n].DutyOnCount = qint32(WholeCount(ChDutyOnAdj[n]->Value()));
    QueuedCommandToPort(cmd::setChannelDutyOnCount(n, ChannelSettings[n].DutyOnCount));
}

void TMainForm::SetChannelDCOff(QObject* Sender) {
    const int n = ChannelOf(Sender);
    if (n == 0)
        return;
    ChannelSettings[n].DutyOffCount = qint32(WholeCount(ChDutyOffAdj[n]->Value()));
    QueuedCommandToPort(cmd::setChannelDutyOffCount(n, ChannelSettings[n].DutyOffCount));
}

void TMainForm::SetChannelPolarity(QObject* Sender) {
    const int n = ChannelOf(Sender);
    if (n == 0)
        return;
    const int index = ListChoice(ChPolaritySel[n], &TMainForm::SetChannelPolarity);
    const QString line = cmd::setChannelPolarity(n, index);
    if (line.isEmpty())
        return;
    QueuedCommandToPort(line);
    ChannelSettings[n].PolarityIndex = index;
}

void TMainForm::SetChannelGateMode(QObject* Sender) {
    const int n = ChannelOf(Sender);
    if (n == 0)
        return;
    const int index = ListChoice(ChGateModeSel[n], &TMainForm::SetChannelGateMode);
    const QString line = cmd::setChannelGateMode(n, index);
    if (line.isEmpty())
        return;
    QueuedCommandToPort(line);
    ChannelSettings[n].GateModeIndex = index;
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
    for (int step = 0; step < ChannelCount; ++step) {
        if (k > ChannelCount)
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
    if (s == NoChannel || s > ChannelCount)
        return;
    const QString refusal = SyncRefusal(n, s);
    if (!refusal.isEmpty()) {
        QMessageBox::warning(this, QApplication::applicationName(), refusal, QMessageBox::Ok);
        showSyncSource(list, n);
        return;
    }
    ChannelSettings[n].SyncChannel = s;
    QueuedCommandToPort(cmd::setChannelSyncSource(n, s));
    // A typed name ("CHB") turns into the source's entry ("Ch B").
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
    ChannelSettings[n].MuxMask = mask;
    QueuedCommandToPort(cmd::setChannelMux(n, ChannelSettings[n].MuxMask));
}

void TMainForm::SetChMuxGate(QObject* Sender) {
    const int n = ChannelOf(Sender);
    if (n == 0)
        return;
    const int index = ListChoice(ChMuxGateSel[n], &TMainForm::SetChMuxGate);
    if (!cmd::MuxGateModes.isValidIndex(index))
        return;
    ChannelSettings[n].MuxGateIndex = index;
    QueuedCommandToPort(cmd::setChannelMuxGate(n, ChannelSettings[n].MuxGateIndex));
}
