// Tools > Timing Diagram: the window is handed the settings cache, as the
// timing model's settings, whenever the cache may have changed. It never
// talks to the port, so it opens at any moment, demonstration mode included.
#include "comm/discovery.h"
#include "comm/model_table.h"
#include "controls/plusspinedit.h"
#include "instrument/settings_cache.h"
#include "panel/main_form.h"
#include "panel/panel_state.h"
#include "timing/timing_window.h"
#include "timing/trace_view.h"

#include <QTimer>

using namespace pg5400;

namespace {

timing::Settings timingSettings(const TMainForm* form) {
    using communication::ChannelCount;
    using communication::InstrumentIdentity;
    timing::Settings s;
    const TSystemSettings& t = SystemSettings;
    // Period and width go out with 9 decimals, the delay with 12.
    s.timer.period = timing::ToPs(t.Period, 9);
    s.timer.mode = t.ModeIndex;
    s.timer.burstCount = t.BurstCount;
    s.timer.dutyOn = t.DutyOnCount;
    s.timer.dutyOff = t.DutyOffCount;
    s.timer.cycleCount = (communication::PlusOption || communication::HighResolution)
                             ? std::max(t.CycleCount, 0)
                             : 0;
    s.timer.externalMode = t.TriggerModeIndex;
    if (t.PeriodCounterEnabled == 1)
        s.timer.measuredPeriod = timing::ToPs(MeasuredTriggerPeriod);
    // Without a model (demonstration mode) the window shows what the pages
    // show: the model's channels, or all eight.
    const communication::ModelInfo info = communication::ModelInfoFor(InstrumentIdentity.Model);
    const int count = ChannelCount > 0 ? ChannelCount : 8;
    const int outputs = ChannelCount > 0 ? info.outputChannels : 4;
    for (int n = 1; n <= count; ++n) {
        const TChannelSettings& c = ChannelSettings[n];
        timing::ChannelSettings ch;
        ch.enabled = c.Enabled == 1;
        ch.delay = timing::ToPs(c.Delay);
        ch.width = timing::ToPs(c.Width, 9);
        ch.mode = c.ModeIndex;
        ch.burstCount = c.BurstCount;
        ch.dutyOn = c.DutyOnCount;
        ch.dutyOff = c.DutyOffCount;
        ch.waitCount = c.WaitCount;
        ch.sync = c.SyncChannel;
        ch.inverted = c.PolarityIndex == 0;
        ch.gateMode = c.GateModeIndex;
        ch.output = n <= outputs;
        ch.muxMask = unsigned(c.MuxMask); // bits beyond the model's channels count for nothing
        ch.muxGate = c.MuxGateIndex;
        // Set from the diagram on the grid and within the range of the spin
        // edits; in demonstration mode without a model there is none.
        if (ChannelCount > 0 || !DemoMode) {
            const TPlusSpinEdit* delay = form->ChDelayAdj[n];
            const TPlusSpinEdit* width = form->ChWidthAdj[n];
            ch.delayStep = timing::ToPs(delay->Increment());
            ch.delayMin = timing::ToPs(delay->MinValue());
            ch.delayMax = timing::ToPs(delay->MaxValue());
            ch.widthStep = timing::ToPs(width->Increment());
            ch.widthMin = timing::ToPs(width->MinValue());
            ch.widthMax = timing::ToPs(width->MaxValue());
        }
        s.channels.push_back(ch);
    }
    s.muxGateSupported = MuxGateSupported;
    s.outputsStopped = !Running;
    s.changesHeld =
        (communication::PlusOption || communication::HighResolution) && t.SyncAutoUpdate == 0;
    return s;
}

} // namespace

void TMainForm::noteSettingsChanged() {
    if (settingsNoticePending)
        return;
    settingsNoticePending = true;
    // After the handler that changed the cache has finished with it.
    QTimer::singleShot(0, this, [this] {
        settingsNoticePending = false;
        Q_EMIT SettingsCacheChanged();
    });
}

void TMainForm::TimingDiagram1Click(QObject*) {
    if (!timingWindow) {
        timingWindow = new timing::TimingWindow(this);
        const auto refresh = [this] {
            const QString model = DemoMode ? QStringLiteral("demonstration")
                                           : communication::InstrumentIdentity.Model;
            const qint32 serial = communication::InstrumentIdentity.SerialNumber;
            timingWindow->setSettings(timingSettings(this), model,
                                      serial > 0 ? QString::number(serial) : QString());
        };
        connect(this, &TMainForm::SettingsCacheChanged, timingWindow, refresh);
        // An edge dragged in edit mode: the spin edit takes the value and
        // its handler sends it, as for a value typed there (one undo step).
        connect(timingWindow->view(), &timing::TraceView::edgeEdited, this,
                [this](int n, bool width, timing::Ps value) {
                    if (n < 1 || n > 8)
                        return;
                    TPlusSpinEdit* edit = width ? ChWidthAdj[n] : ChDelayAdj[n];
                    edit->setValue(double(value) / double(timing::PsPerSecond));
                });
        refresh();
        timingWindow->resize(960, timingWindow->sizeHint().height());
    }
    timingWindow->show();
    timingWindow->raise();
    timingWindow->activateWindow();
}
