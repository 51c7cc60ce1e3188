// Handlers whose behaviour arrives with later work: they do nothing yet.
#include "panel/main_form.h"

void TMainForm::RunStopbtnClick(QObject*) {}
void TMainForm::StatusTimerTimer(QObject*) {}
void TMainForm::SaveToFile1Click(QObject*) {}
void TMainForm::RestoreSettingsFromFile1Click(QObject*) {}
