// Run control and the status poll: the run state, the counters of the plus
// page and the instrument's error state, once a second.
#include "comm/command_set.h"
#include "comm/discovery.h"
#include "comm/exchange.h"
#include "instrument/settings_cache.h"
#include "panel/accessible_names.h"
#include "panel/command_queue.h"
#include "panel/main_form.h"
#include "panel/panel_state.h"
#include "serial/pgcomport.h"
#include "timing/timing_window.h"

#include <QElapsedTimer>
#include <QLabel>
#include <QMessageBox>
#include <QMovie>
#include <QPushButton>
#include <QTabWidget>
#include <QTimer>

using namespace pg5400;
using namespace communication;
namespace c = communication::cmd;

namespace {

// The run indicator rests on its last frame while stopped.
constexpr int kRestingFrame = 5;
constexpr int kPlusPage = 1;
// How long and how often a lost device is looked for while it may come back
// (a USB device re-enumerating): one poll interval.
constexpr int kRetakeGraceMs = 1000;
constexpr int kRetakeRetryMs = 100;
// How long the search waits for the identity of a device that came back.
constexpr int kIdentityProbeMs = 300;

} // namespace

void TMainForm::RunStopbtnClick(QObject*) {
    if (Running)
        SystemStop();
    else
        SystemStart();
}

// A run line the queue refuses changes nothing on the screen.
void TMainForm::SystemStart() {
    if (!QueuedCommandToPort(c::setRunning(true)))
        return;
    showRunState(true);
}

void TMainForm::SystemStop() {
    if (!QueuedCommandToPort(c::setRunning(false)))
        return;
    showRunState(false);
}

void TMainForm::showRunState(bool running) {
    Running = running;
    RunStopbtn->setText(running ? QStringLiteral("Stop") : QStringLiteral("Run"));
    pg5400::SetOwnedAccessibleDescription(
        RunStopbtn, running ? QStringLiteral("Outputs running; press to stop")
                            : QStringLiteral("Outputs stopped; press to run"));
    noteSettingsChanged(); // the timing diagram says when the outputs are stopped
    PulseMovie->jumpToFrame(kRestingFrame);
    if (running) {
        if (PulseMovie->state() == QMovie::NotRunning)
            PulseMovie->start();
        else
            PulseMovie->setPaused(false);
        PulseAnimate->show();
    } else {
        PulseMovie->setPaused(true);
        PulseAnimate->hide();
    }
}

void TMainForm::StatusTimerTimer(QObject*) {
    // Inside another exchange's reply wait: the next tick polls.
    if (ExchangeInProgress())
        return;
    if (DemoMode) {
        StatusTimer->stop();
        return;
    }
    if (TaskBusy)
        return;
    // The next tick comes one interval after this poll has ended. While the
    // lost device is looked for or its question is open there is no poll:
    // the search starts it again if the device comes back.
    StatusTimer->stop();
    StatusBusy = true;
    UpdateStatus();
    StatusBusy = false;
    if (!ShutdownBegun && !retakingPort && !DeviceLost)
        StatusTimer->start();
}

void TMainForm::portLost() {
    if (ShutdownBegun || retakingPort)
        return;
    DeviceLost = true;
    retakingPort = true;
    StatusTimer->stop();
    QElapsedTimer clock;
    clock.start();
    retakePort(clock.msecsSinceReference() + kRetakeGraceMs);
}

void TMainForm::retakePort(qint64 deadlineMs) {
    if (ShutdownBegun)
        return;
    // Only the device the port was opened at will do; COM n may name
    // another device by now.
    ComPort->Close();
    ComPort->SetShowErrors(false);
    if (ComPort->Open() && sameInstrumentAnswers()) {
        retakingPort = false;
        // A full read-back so the window shows what it holds now.
        TaskList.RefreshRequested = -1;
        TaskTimer->start();
        StatusTimer->start();
        return;
    }
    QElapsedTimer clock;
    clock.start();
    if (clock.msecsSinceReference() < deadlineMs) {
        QTimer::singleShot(kRetakeRetryMs, this, [this, deadlineMs] { retakePort(deadlineMs); });
        return;
    }
    // retakingPort stays set while the question is open: nobody may be at
    // the desk, and nothing inside the box's loop may begin a second search
    // or a second box. Either answer ends this instance.
    const auto answer = QMessageBox::warning(this, QStringLiteral("Warning"),
                                             QStringLiteral("Port no longer available, restart?"),
                                             QMessageBox::Yes | QMessageBox::No);
    if (answer == QMessageBox::Yes)
        RestartApp();
    else
        ExitApp();
}

bool TMainForm::sameInstrumentAnswers() {
    // A device that came back may have been reset: echo off first. Then it
    // must be the same instrument, not another one now under that name.
    DeviceLost = false;
    const TInstrumentIdentity known = InstrumentIdentity;
    // A device back before its firmware answers is no reason for the
    // "Communications lost" box, and nothing here may start the poll again:
    // the search retries with a short limit of its own until its time is up.
    {
        const TQuietReplies quiet(ComPort, kIdentityProbeMs);
        SwitchEchoOff();
        ParseIDN();
    }
    const bool same = !DeviceLost && InstrumentIdentity.Model == known.Model &&
                      InstrumentIdentity.SerialNumber == known.SerialNumber;
    InstrumentIdentity = known;
    if (!same) {
        DeviceLost = true;
        ComPort->Close();
    }
    return same;
}

void TMainForm::UpdateStatus() {
    // The open descriptor tells whether the device is still there; closing and
    // reopening would drop the modem lines and the lock for a moment.
    if (!ComPort->Opened() || ComPort->DeviceGone()) {
        portLost();
        return;
    }

    const qint32 state = QueryInteger(c::header(c::SystemSetting::RunState));
    // A time-out box inside a query may have ended the program.
    if (ShutdownBegun)
        return;
    if ((state != 0) != Running)
        showRunState(state != 0);

    const bool plusShown = SystemPageControl->currentIndex() == kPlusPage;
    // The timing diagram draws a triggered sequence at the measured period,
    // so while it is open the reading is kept current as well.
    const bool diagramShown = timingWindow && timingWindow->isVisible();
    if ((PlusOption || HighResolution) && (plusShown || diagramShown)) {
        if (plusShown && SystemSettings.ShotCounterEnabled == 1) {
            const quint32 count = QueryInt64(c::header(c::SystemSetting::ShotCounterCount));
            if (ShutdownBegun)
                return;
            ShotCountlbl->setText(QString::asprintf("Count: %10u", count));
        }
        if (SystemSettings.PeriodCounterEnabled == 1) {
            const double period = QueryFloat(c::header(c::SystemSetting::PeriodCounterPeriod));
            if (ShutdownBegun)
                return;
            PCountlbl->setText(QString::asprintf("P: %11.10f", period));
            if (period != MeasuredTriggerPeriod) {
                MeasuredTriggerPeriod = period;
                noteSettingsChanged();
            }
        }
    }

    if (ErrorCode > 0) {
        // Blinks, one poll shown and one hidden, until a read-back clears it.
        ErrorLabel->setVisible(ErrorLabel->isHidden());
    } else if (InstrumentIdentity.FirmwareMajor >= 2) {
        ErrorCode = QueryInteger(c::errorStatusHeader());
        if (ShutdownBegun || ErrorCode <= 0)
            return;
        ErrorLabel->setText(errorText(ErrorCode));
        ErrorLabel->show();
    }
}

QString TMainForm::errorText(qint32 code) {
    switch (code) {
    case c::OverCurrentError:
        return QStringLiteral("Over Current Error");
    case c::OverTemperatureError:
        return QStringLiteral("Over Temperature Error");
    case c::FanFailureError:
        return QStringLiteral("Fan Failure");
    default:
        // A code without a text of its own still shows which error it is,
        // rather than the text of an earlier one.
        return QStringLiteral("Error Code ") + QString::number(code);
    }
}
