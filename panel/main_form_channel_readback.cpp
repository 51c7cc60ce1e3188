// The per-channel half of the read-back and the channel tabs per model.
#include "comm/command_set.h"
#include "comm/discovery.h"
#include "comm/exchange.h"
#include "comm/model_table.h"
#include "controls/check_list.h"
#include "controls/plusspinedit.h"
#include "instrument/settings_cache.h"
#include "panel/layout_helpers.h"
#include "panel/main_form.h"
#include "panel/panel_state.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QListWidget>
#include <QTabWidget>

using namespace pg5400;
using namespace communication;
namespace c = communication::cmd;

namespace {

// "T0" and the model's channels stay, less the channel's own entry.
void trimSyncList(QComboBox* list, int n) {
    if (list->count() <= ChannelCount)
        return;
    for (int i = list->count() - 1; i >= ChannelCount + 1; --i)
        list->removeItem(i);
    list->removeItem(n);
}

void layOutMuxList(QListWidget* list, qint32 mask) {
    const int columns = ChannelCount == 2 ? 2 : 4;
    const int height = ChannelCount == 2 || ChannelCount == 4 ? 20 : 40;
    list->resize(list->width(), height);
    SetCheckListColumns(list, columns);
    const int marked = ChannelCount > 4 ? 8 : ChannelCount > 2 ? 4 : 2;
    for (int i = 0; i < marked && i < list->count(); ++i)
        SetCheckListMark(list, i, (mask >> i) & 1);
    while (list->count() > ChannelCount)
        delete list->takeItem(list->count() - 1);
}

} // namespace

void TMainForm::readChannel(int n) {
    using C = c::ChannelSetting;
    TChannelSettings& ch = ChannelSettings[n];
    auto snapshot = [](const QString& line) { SettingsSnapshot << line; };

    ch.Enabled = QueryInteger(c::header(C::Enabled, n));
    ChEnablebox[n]->setChecked(ch.Enabled == 1);
    snapshot(c::snapshotValue(C::Enabled, n, ch.Enabled));

    ch.Delay = QueryFloat(c::header(C::Delay, n));
    ChDelayAdj[n]->setValue(ch.Delay);
    snapshot(c::snapshotNumber(C::Delay, n, ch.Delay));

    ch.Width = QueryFloat(c::header(C::Width, n));
    ChWidthAdj[n]->setValue(ch.Width);
    snapshot(c::snapshotNumber(C::Width, n, ch.Width));

    const QString mode = QueryText(c::header(C::Mode, n));
    if (const int i = c::ChannelModes.indexOf(mode); i != c::NotFound) {
        ch.ModeIndex = i;
        ChModeSel[n]->setCurrentIndex(i);
    }
    snapshot(c::snapshotReply(C::Mode, n, mode));

    ch.BurstCount = QueryInteger(c::header(C::BurstCount, n));
    ChBurstAdj[n]->setValue(ch.BurstCount);
    snapshot(c::snapshotValue(C::BurstCount, n, ch.BurstCount));

    ch.DutyOnCount = QueryInteger(c::header(C::DutyOnCount, n));
    ChDutyOnAdj[n]->setValue(ch.DutyOnCount);
    snapshot(c::snapshotValue(C::DutyOnCount, n, ch.DutyOnCount));

    ch.DutyOffCount = QueryInteger(c::header(C::DutyOffCount, n));
    ChDutyOffAdj[n]->setValue(ch.DutyOffCount);
    snapshot(c::snapshotValue(C::DutyOffCount, n, ch.DutyOffCount));

    trimSyncList(ChSyncSourceSel[n], n);

    // A reply that names no channel leaves the field and the selection alone.
    const QString sync = QueryText(c::header(C::SyncSource, n));
    if (const int source = GetChannelNumber(sync); source != NoChannel) {
        ch.SyncChannel = source;
        ChSyncSourceSel[n]->setCurrentIndex(
            GetChannelIndex(layout::ListEntries(ChSyncSourceSel[n]), ch.SyncChannel));
    }
    snapshot(c::snapshotReply(C::SyncSource, n, sync));

    const QString polarity = QueryText(c::header(C::Polarity, n));
    if (const int i = c::ChannelPolarities.indexOf(polarity); i != c::NotFound) {
        ch.PolarityIndex = i;
        ChPolaritySel[n]->setCurrentIndex(i);
    }
    snapshot(c::snapshotReply(C::Polarity, n, polarity));

    ch.WaitCount = QueryInteger(c::header(C::WaitCount, n));
    ChWaitCountAdj[n]->setValue(ch.WaitCount);
    snapshot(c::snapshotValue(C::WaitCount, n, ch.WaitCount));

    const QString gate = QueryText(c::header(C::GateMode, n));
    if ((PlusOption || HighResolution) && ChGateModeSel[n]->count() < 4)
        ChGateModeSel[n]->addItems(
            {c::ChannelGateModes.caption(3), c::ChannelGateModes.caption(4)});
    if (const int i = c::ChannelGateModes.indexOf(gate); i != c::NotFound) {
        ch.GateModeIndex = i;
        ChGateModeSel[n]->setCurrentIndex(i);
    }
    snapshot(c::snapshotReply(C::GateMode, n, gate));

    if (n <= ModelInfoFor(InstrumentIdentity.Model).outputChannels) {
        ch.Amplitude = QueryFloat(c::header(C::Amplitude, n));
        ChAmplitudeAdj[n]->setValue(ch.Amplitude);
        snapshot(c::snapshotNumber(C::Amplitude, n, ch.Amplitude));

        ch.MuxMask = QueryInteger(c::header(C::Mux, n));
        snapshot(c::snapshotValue(C::Mux, n, ch.MuxMask));

        if (MuxGateSupported) {
            // A mode the list does not have leaves the field and the
            // selection alone, as an unknown keyword does; the snapshot keeps
            // what the instrument said.
            const qint32 gate = QueryInteger(c::header(C::MuxGate, n));
            if (c::MuxGateModes.isValidIndex(gate)) {
                ch.MuxGateIndex = gate;
                ChMuxGateSel[n]->setCurrentIndex(gate);
            }
            ChMuxGateGrp[n]->show();
            snapshot(c::snapshotValue(C::MuxGate, n, gate));
        } else {
            ChMuxGateGrp[n]->hide();
        }
    }
    layOutMuxList(ChMuxSel[n], ch.MuxMask);
    ChModesEnable(n);
}

void TMainForm::setUpChannelTabs() {
    const QString& model = InstrumentIdentity.Model;
    auto hideGroups = [this](int n) {
        for (const char* prefix :
             {"ChAmplitudeAdjGrp", "ChPolarityGrp", "ChMuxGrp", "ChMuxGateGrp"})
            if (auto* group = findChild<QGroupBox*>(QLatin1String(prefix) + QString::number(n)))
                group->hide();
    };
    auto showPage = [this](int index, const QString& caption = QString()) {
        ChPageControl->setTabEnabled(index, true);
        ChPageControl->setTabVisible(index, true);
        if (!caption.isEmpty())
            ChPageControl->setTabText(index, caption);
    };
    for (int index = 2; index <= 7; ++index) {
        ChPageControl->setTabEnabled(index, false);
        ChPageControl->setTabVisible(index, false);
    }
    if (model == QLatin1String("5402+") || model == QLatin1String("5452")) {
        showPage(2, QStringLiteral("ChC(V)"));
        hideGroups(3);
        showPage(3, QStringLiteral("ChD(V)"));
        hideGroups(4);
    }
    if (model == QLatin1String("5404") || model == QLatin1String("5404+") ||
        model == QLatin1String("5452") || model == QLatin1String("5454")) {
        showPage(2);
        showPage(3);
        if (model == QLatin1String("5404+") || model == QLatin1String("5454")) {
            for (int n = 5; n <= 8; ++n) {
                showPage(n - 1, QStringLiteral("Ch %1(V)").arg(QChar('A' + n - 1)));
                hideGroups(n);
            }
        }
    }
}
