// GroupBox23: the system settings page and the plus features page.
#include "comm/keyword_tables.h"
#include "controls/plusspinedit.h"
#include "desktop/designed_sizes.h"
#include "panel/layout_helpers.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>

namespace layout {

namespace {

namespace cmd = communication::cmd;

// Shown in place of the plus features when the connected model has none.
const char* const kNoPlusFeaturesText = "The connected model has no plus features.\n"
                                        "\n"
                                        "Plus models add:\n"
                                        "  - a shot counter on T0 or one of the channels\n"
                                        "  - a period counter that averages the trigger period\n"
                                        "  - synchronised update of new settings\n"
                                        "  - duty-cycle counts for the system timer\n"
                                        "  - 5 ns timing resolution (10 ns on this model)";

// Controls are created in tab order within each container, so the focus
// chain follows it; none of them overlap, so the drawing order is free.
void buildSystemPage(TMainForm* f, QWidget* page) {
    QGroupBox* sys = f->Systemgrp =
        NewGroup(page, QStringLiteral("Systemgrp"), {-1, 0, 606, 200}, QStringLiteral("System"));
    SetPanelFont(sys, 13);
    SetOpaque(sys);

    QGroupBox* ext = f->Externalgrp =
        NewGroup(sys, QStringLiteral("Externalgrp"), {350, 63, 251, 130},
                 QStringLiteral("External Trigger/Gate"));
    f->ExtThresholdGrp = NewGroup(ext, QStringLiteral("ExtThresholdGrp"), {128, 15, 115, 55},
                                  QStringLiteral("Threshold (V)"),
                                  QStringLiteral("Sets input trigger/gate threshold level"));
    f->TrigThresholdAdj = NewSpin(f->ExtThresholdGrp, QStringLiteral("TrigThresholdAdj"),
                                  {10, 20, 100, 25}, {2, 0.01, 0.2, 15, 2.5, comma});
    QGroupBox* modeGrp =
        NewGroup(ext, QStringLiteral("GroupBox105"), {6, 15, 115, 55}, QStringLiteral("Mode"));
    f->ExtModeSel = NewCombo(modeGrp, QStringLiteral("ExtModeSel"), {8, 20, 100, 24},
                             cmd::ExternalModes.captionsFor(false), 0);
    f->GatePolGrp = NewGroup(ext, QStringLiteral("GatePolGrp"), {7, 72, 115, 55},
                             QStringLiteral("Gate Polarity"));
    f->GatePolaritySel = NewCombo(f->GatePolGrp, QStringLiteral("GatePolaritySel"),
                                  {6, 20, 100, 24}, cmd::GatePolarities.captionsFor(false), 0);
    f->ExtTrigEdgGrp = NewGroup(ext, QStringLiteral("ExtTrigEdgGrp"), {128, 72, 115, 55},
                                QStringLiteral("Trigger Edge"));
    f->TriggerEdgeSel = NewCombo(f->ExtTrigEdgGrp, QStringLiteral("TriggerEdgeSel"),
                                 {6, 22, 100, 24}, cmd::TriggerEdges.captionsFor(false), 0);

    f->PeriodGrp = NewGroup(sys, QStringLiteral("PeriodGrp"), {9, 78, 175, 55},
                            QStringLiteral("Period"), QStringLiteral("Sets system pulse period"));
    f->PeriodAdj = NewSpin(f->PeriodGrp, QStringLiteral("PeriodAdj"), {10, 20, 155, 25},
                           {9, 1e-08, 2e-07, 1000, 1000, comma});
    f->BurstCountGrp = NewGroup(
        sys, QStringLiteral("BurstCountGrp"), {9, 133, 175, 55}, QStringLiteral("Burst Count"),
        QStringLiteral("Sets number of burst counts when in system burst mode"));
    f->SysBurstAdj = NewSpin(f->BurstCountGrp, QStringLiteral("SysBurstAdj"), {10, 20, 155, 25},
                             {0, 1, 1, 4000000000.0, 4000000000.0, comma});
    f->AutoStartEnbl = NewCheck(sys, QStringLiteral("AutoStartEnbl"), {219, 40, 86, 17},
                                QStringLiteral("Auto Start"), false,
                                QStringLiteral("Sets system auto start (will start on power up)"));
    QGroupBox* pulseMode =
        NewGroup(sys, QStringLiteral("GroupBox88"), {9, 20, 175, 55}, QStringLiteral("Pulse Mode"));
    f->SystemModeSel = NewCombo(pulseMode, QStringLiteral("SystemModeSel"), {10, 22, 155, 24},
                                cmd::SystemModes.captionsFor(false), 0);

    QGroupBox* duty = f->DutyCycleGrp = NewGroup(sys, QStringLiteral("DutyCycleGrp"),
                                                 {190, 63, 154, 130}, QStringLiteral("Duty Cycle"));
    f->OnCountGrp =
        NewGroup(duty, QStringLiteral("OnCountGrp"), {6, 15, 139, 55}, QStringLiteral("On Counts"),
                 QStringLiteral("Sets number of on counts when in system duty cycle mode"));
    f->SysDutyOnAdj = NewSpin(f->OnCountGrp, QStringLiteral("SysDutyOnAdj"), {10, 18, 123, 25},
                              {0, 1, 1, 4000000000.0, 4000000000.0, comma});
    f->OffCountGrp = NewGroup(
        duty, QStringLiteral("OffCountGrp"), {6, 68, 139, 55}, QStringLiteral("Off Counts"),
        QStringLiteral("Sets number of off counts when in system duty cycle mode"));
    SetOpaque(f->OffCountGrp);
    f->SysDutyOffAdj = NewSpin(f->OffCountGrp, QStringLiteral("SysDutyOffAdj"), {10, 20, 121, 25},
                               {0, 1, 1, 4000000000.0, 4000000000.0, comma});

    BindChange(f, f->SystemModeSel, &TMainForm::SystemModeSelChange);
    BindChange(f, f->PeriodAdj, &TMainForm::PeriodAdjChange);
    BindChange(f, f->SysBurstAdj, &TMainForm::SysBurstAdjChange);
    BindClick(f, f->AutoStartEnbl, &TMainForm::AutoStartEnblClick);
    BindChange(f, f->SysDutyOnAdj, &TMainForm::SysDutyOnAdjChange);
    BindChange(f, f->SysDutyOffAdj, &TMainForm::SysDutyOffAdjChange);
    BindChange(f, f->ExtModeSel, &TMainForm::ExtModeSelChange);
    BindChange(f, f->TrigThresholdAdj, &TMainForm::TrigThresholdAdjChange);
    BindChange(f, f->GatePolaritySel, &TMainForm::GatePolaritySelChange);
    BindChange(f, f->TriggerEdgeSel, &TMainForm::TriggerEdgeSelClick);
}

void buildPlusPage(TMainForm* f, QWidget* page) {
    QGroupBox* plus = f->PlusOptionGrp = NewGroup(page, QStringLiteral("PlusOptionGrp"),
                                                  {3, 0, 448, 187}, QStringLiteral("Plus Options"));
    SetPanelFont(plus, 13);
    SetOpaque(plus);

    QGroupBox* period = f->PeriodCounterGrp =
        NewGroup(plus, QStringLiteral("PeriodCounterGrp"), {170, 20, 140, 156},
                 QStringLiteral("Period Counter"));
    f->PCountClear = NewButton(period, QStringLiteral("PCountClear"), {29, 103, 75, 22},
                               QStringLiteral("Clear"));
    SpinSpec average{0, 1, 1, 15, 1, QChar()};
    average.border = true;
    f->PCountadj = NewSpin(period, QStringLiteral("PCountadj"), {26, 75, 75, 25}, average);
    f->PeriodCounterEn = NewCheck(period, QStringLiteral("PeriodCounterEn"), {18, 18, 97, 17},
                                  QStringLiteral("Enabled"), false);
    f->PCAutoEn = NewCheck(period, QStringLiteral("PCAutoEn"), {18, 35, 97, 17},
                           QStringLiteral("Auto update"), false);
    NewLabel(period, QStringLiteral("Label1"), {11, 53, 108, 16},
             QStringLiteral("Periods to Average"));
    f->PCountlbl = NewLabel(period, QStringLiteral("PCountlbl"), {16, 131, 105, 16},
                            QStringLiteral("P: 21.474,836,480"));

    QGroupBox* sync = f->SynchUpdategrp = NewGroup(
        plus, QStringLiteral("SynchUpdategrp"), {316, 20, 122, 72}, QStringLiteral("Sync Update"));
    f->SynchEnable = NewCheck(sync, QStringLiteral("SynchEnable"), {34, 21, 65, 17},
                              QStringLiteral("Enable"), false);
    f->SynchUpdatebtn = NewButton(sync, QStringLiteral("SynchUpdatebtn"), {24, 44, 71, 21},
                                  QStringLiteral("Update"));
    f->SynchUpdatebtn->setEnabled(false);

    QGroupBox* shots = NewGroup(plus, QStringLiteral("GroupBox32"), {8, 20, 131, 133},
                                QStringLiteral("Shot Counter"));
    f->ShotCountEnbl = NewCheck(shots, QStringLiteral("ShotCountEnbl"), {9, 19, 111, 17},
                                QStringLiteral("Enable"), false);
    f->ClearShotCount = NewButton(shots, QStringLiteral("ClearShotCount"), {24, 80, 75, 21},
                                  QStringLiteral("Clear"));
    f->ShotCountSel = NewCombo(shots, QStringLiteral("ShotCountSel"), {8, 54, 112, 24},
                               cmd::ShotCounterSources.captionsFor(false), -1);
    NewLabel(shots, QStringLiteral("Label17"), {22, 38, 79, 16}, QStringLiteral("Source Select"));
    f->ShotCountlbl = NewLabel(shots, QStringLiteral("ShotCountlbl"), {4, 107, 124, 16},
                               QStringLiteral("Count: 4,294,967,296"));

    f->DutyCycleCCGrp = NewGroup(plus, QStringLiteral("DutyCycleCCGrp"), {316, 103, 122, 59},
                                 QStringLiteral("Duty Cycle Counts"));
    SpinSpec counts{0, 1, 0, 1000000, 1000000, comma};
    counts.autoSize = true;
    counts.border = true;
    f->CycleCountAdj =
        NewSpin(f->DutyCycleCCGrp, QStringLiteral("CycleCountAdj"), {8, 20, 91, 25}, counts);
    f->SystemResolutionlbl =
        NewLabel(plus, QStringLiteral("SystemResolutionlbl"), {11, 159, 138, 16},
                 QStringLiteral("System Resolution: 5 ns"));

    auto* memo = f->PlusOptionMemo = new QPlainTextEdit(page);
    memo->setObjectName(QStringLiteral("PlusOptionMemo"));
    memo->setGeometry(457, 7, 145, 180);
    SetPanelFont(memo, 11);
    memo->setLineWrapMode(QPlainTextEdit::NoWrap);
    memo->setReadOnly(true);
    memo->setPlainText(QString::fromLatin1(kNoPlusFeaturesText));
    memo->hide();

    BindClick(f, f->ShotCountEnbl, &TMainForm::ShotCountEnblClick);
    BindChange(f, f->ShotCountSel, &TMainForm::ShotCountSelChange);
    BindClick(f, f->ClearShotCount, &TMainForm::ClearShotCountClick);
    BindClick(f, f->PeriodCounterEn, &TMainForm::PeriodCounterEnClick);
    BindClick(f, f->PCAutoEn, &TMainForm::PCAutoEnClick);
    BindChange(f, f->PCountadj, &TMainForm::PCountadjChange);
    BindClick(f, f->PCountClear, &TMainForm::PCountClearClick);
    BindClick(f, f->SynchEnable, &TMainForm::SynchEnableClick);
    BindClick(f, f->SynchUpdatebtn, &TMainForm::SynchUpdatebtnClick);
    BindChange(f, f->CycleCountAdj, &TMainForm::CycleCountAdjChange);
}

} // namespace

void BuildSystemArea(TMainForm* form, QWidget* client) {
    form->GroupBox23 = NewGroup(client, QStringLiteral("GroupBox23"),
                                {0, pg5400::designed::StripHeight, 619, 241}, QString());

    auto* pages = form->SystemPageControl = new QTabWidget(form->GroupBox23);
    pages->setObjectName(QStringLiteral("SystemPageControl"));
    pages->setGeometry(0, -4, 616, 239);
    SetPanelFont(pages, 16);

    form->SystemPage = new QWidget;
    form->SystemPage->setObjectName(QStringLiteral("SystemPage"));
    pages->addTab(form->SystemPage, QStringLiteral("System Options"));
    buildSystemPage(form, form->SystemPage);

    form->PlusPage = new QWidget;
    form->PlusPage->setObjectName(QStringLiteral("PlusPage"));
    pages->addTab(form->PlusPage, QStringLiteral("Plus Options"));
    buildPlusPage(form, form->PlusPage);

    pages->setCurrentIndex(0);
}

} // namespace layout
