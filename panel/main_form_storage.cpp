// Storage menu: the instrument's bins.
#include "comm/command_set.h"
#include "panel/main_form.h"
#include "panel/panel_state.h"

#include <QTimer>

using namespace pg5400;

void TMainForm::N11Click(QObject*) {
    SaveToBin(1);
}
void TMainForm::N21Click(QObject*) {
    SaveToBin(2);
}
void TMainForm::N31Click(QObject*) {
    SaveToBin(3);
}
void TMainForm::N41Click(QObject*) {
    SaveToBin(4);
}
void TMainForm::N51Click(QObject*) {
    SaveToBin(5);
}
void TMainForm::N61Click(QObject*) {
    SaveToBin(6);
}
void TMainForm::Default01Click(QObject*) {
    RestoreFromBin(0);
}
void TMainForm::N12Click(QObject*) {
    RestoreFromBin(1);
}
void TMainForm::N22Click(QObject*) {
    RestoreFromBin(2);
}
void TMainForm::N32Click(QObject*) {
    RestoreFromBin(3);
}
void TMainForm::N42Click(QObject*) {
    RestoreFromBin(4);
}
void TMainForm::N52Click(QObject*) {
    RestoreFromBin(5);
}
void TMainForm::N62Click(QObject*) {
    RestoreFromBin(6);
}

// Both wait for a read-back or file operation in progress: the read-back
// suspends commands, and a recall requested during one would be cleared
// unseen when it ends.
void TMainForm::SaveToBin(int bin) {
    RunWhenIdle([this, bin] { QueuedCommandToPort(communication::cmd::saveToBin(bin)); });
}

void TMainForm::RestoreFromBin(int bin) {
    RunWhenIdle([this, bin] {
        // The task tick sends the recall and reads everything back; a later
        // choice before that tick replaces this one.
        RecallBin = bin;
        RecallRequested = -1;
        TaskTimer->start();
    });
}
