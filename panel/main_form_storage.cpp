// Storage menu: the instrument's bins.
#include "panel/main_form.h"

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

void TMainForm::SaveToBin(int) {}
void TMainForm::RestoreFromBin(int) {}
