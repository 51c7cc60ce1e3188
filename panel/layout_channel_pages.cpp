// The channel area: eight pages built from one table of rows, with the few
// ways the channels differ from each other in a second table.
#include "comm/keyword_tables.h"
#include "controls/plusspinedit.h"
#include "panel/layout_helpers.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QListWidget>
#include <QTabWidget>
#include <array>

namespace layout {

namespace {

namespace cmd = communication::cmd;

// The rows of a channel page, in the tab order of the common pattern.
enum Row {
    Enable,
    Delay,
    Width,
    Amplitude,
    Burst,
    Wait,
    SyncSource,
    Mux,
    Mode,
    GateMode,
    Polarity,
    DutyOn,
    DutyOff,
    MuxGate,
    RowCount
};

enum class Kind { Check, Spin, Combo, CheckList };

// One group box and the control inside it; the enable check box sits on the
// page itself. Names carry %d for the channel number.
struct RowSpec {
    const char* group; // nullptr: the control sits on the page
    QRect groupBounds;
    const char* caption; // of the group, or of the check box
    const char* tooltip; // nullptr: none
    const char* control;
    Kind kind;
    QRect bounds; // in its group
    SpinSpec spin;
    // A list's entries come from the command language's table, so an entry's
    // position is the keyword it sends; the check list has its own.
    const communication::cmd::KeywordTable* list;
    const char* items; // '|'-separated check list entries
    int index;
    Handler handler;
};

// clang-format off
const std::array<RowSpec, RowCount> kRows = {{
    // group, group bounds, caption, tooltip,
    //     control, kind, bounds, numeric entry (decimals, increment, min, max, value, separator),
    //     keyword table, check list entries, index (columns of the check list, checked state of the check box), handler
    {nullptr, {}, "Enabled", "Enables or disables channel ",
        "ChEnablebox%d", Kind::Check, {7, 7, 78, 17}, {},
        nullptr, nullptr, 1, &TMainForm::SetChEnableState},
    {"ChDelayGrp%d", {7, 25, 200, 55}, "Delay", "Sets channel delay from selected sync source",
        "ChDelayAdj%d", Kind::Spin, {10, 20, 180, 24}, {12, 1e-08, -1000, 1000, 1000, comma},
        nullptr, nullptr, 0, &TMainForm::SetChannelDelay},
    {"ChWidthGrp%d", {7, 85, 200, 55}, "Width", "Sets channel pulse width",
        "ChWidthAdj%d", Kind::Spin, {10, 20, 180, 24}, {9, 1e-08, 1e-08, 1000, 2e-07, comma},
        nullptr, nullptr, 0, &TMainForm::SetChannelWidth},
    {"ChAmplitudeAdjGrp%d", {7, 145, 100, 55}, "Amplitude (V)", "Sets channel output amplitude",
        "ChAmplitudeAdj%d", Kind::Spin, {10, 20, 80, 24}, {2, 0.01, 3.3, 5, 5, QChar()},
        nullptr, nullptr, 0, &TMainForm::SetChAmplitude},
    {"ChBurstCountGrp%d", {212, 85, 115, 55}, "Burst Count", "Sets channel burst count when in channel burst mode",
        "ChBurstAdj%d", Kind::Spin, {10, 20, 95, 24}, {0, 1, 1, 1000000, 1, comma},
        nullptr, nullptr, 0, &TMainForm::SetChannelBurst},
    {"ChWaitCountGrp%d", {212, 145, 115, 55}, "Wait Count", "Sets number of pulses to wait until outputs start",
        "ChWaitCountAdj%d", Kind::Spin, {10, 20, 95, 24}, {0, 1, 0, 100000, 1, comma},
        nullptr, nullptr, 0, &TMainForm::SetChannelWaitCount},
    {"ChSyncSourceGrp%d", {332, 25, 145, 55}, "Sync Source", nullptr,
        "ChSyncSourceSel%d", Kind::Combo, {10, 20, 125, 24}, {},
        &cmd::SyncSources, nullptr, 0, &TMainForm::SetChannelSyncSource},
    {"ChMuxGrp%d", {332, 145, 145, 55}, "Multiplexer", nullptr,
        "ChMuxSel%d", Kind::CheckList, {10, 15, 125, 36}, {},
        nullptr, "A|B|C|D|E|F|G|H", 4, &TMainForm::SetChannelMux},
    {"ChModeGrp%d", {212, 25, 115, 55}, "Channel Mode", nullptr,
        "ChModeSel%d", Kind::Combo, {10, 20, 95, 24}, {},
        &cmd::ChannelModes, nullptr, 0, &TMainForm::SetChannelMode},
    {"ChGateModeGrp%d", {482, 145, 115, 55}, "Gate Mode", nullptr,
        "ChGateModeSel%d", Kind::Combo, {10, 20, 95, 24}, {},
        &cmd::ChannelGateModes, nullptr, 0, &TMainForm::SetChannelGateMode},
    {"ChPolarityGrp%d", {117, 145, 90, 55}, "Polarity", nullptr,
        "ChPolaritySel%d", Kind::Combo, {10, 20, 70, 24}, {},
        &cmd::ChannelPolarities, nullptr, 0, &TMainForm::SetChannelPolarity},
    {"ChDutyOnGrp%d", {482, 25, 115, 55}, "Duty Cycle On", "Sets channel number of on counts when in channel duty cycle mode",
        "ChDutyOnAdj%d", Kind::Spin, {10, 20, 95, 24}, {0, 1, 1, 1000000, 1000000, comma},
        nullptr, nullptr, 0, &TMainForm::SetChannelDCOn},
    {"ChDutyOffGrp%d", {482, 85, 115, 55}, "Duty Cycle Off", "Sets channel number of off counts when in channel duty cycle mode",
        "ChDutyOffAdj%d", Kind::Spin, {10, 20, 95, 24}, {0, 1, 1, 1000000, 1000000, comma},
        nullptr, nullptr, 0, &TMainForm::SetChannelDCOff},
    // No item selected; the box shows the first item's text.
    {"ChMuxGateGrp%d", {333, 84, 144, 55}, "Mux Gate (Ch H)", nullptr,
        "ChMuxGateSel%d", Kind::Combo, {10, 20, 125, 24}, {},
        &cmd::MuxGateModes, nullptr, -1, &TMainForm::SetChMuxGate},
}};
// clang-format on

using TabPlan = std::array<Row, RowCount>;

// Rows are created in tab order, which makes the focus chain follow it.
const TabPlan kPatternTabs = {Enable, Delay, Width,    Amplitude, Burst,  Wait,    SyncSource,
                              Mux,    Mode,  GateMode, Polarity,  DutyOn, DutyOff, MuxGate};
const TabPlan kChannelATabs = {DutyOn,     Enable, Delay, Width,    Amplitude, Burst,   Wait,
                               SyncSource, Mux,    Mode,  GateMode, Polarity,  DutyOff, MuxGate};
const TabPlan kVirtualTabs = {Enable, Delay, Width,    Burst,    Wait,   Amplitude, SyncSource,
                              Mux,    Mode,  GateMode, Polarity, DutyOn, DutyOff,   MuxGate};

// Where a channel's page departs from the rows above.
struct ChannelVariant {
    int delayDecimals;
    double widthValue;
    double burstValue;
    bool burstGrouped;
    double waitMax;
    double waitValue;
    int modeIndex;
    int entryHeight;
    const TabPlan* tabs;
    bool pageEnabled;
    bool muxGateBound; // the virtual channels' mux gates are left unbound for now
    bool dutyTooltips;
    bool burstOpaque;
    const char* modeGroup;
};

// clang-format off
const std::array<ChannelVariant, 9> kChannels = {{
    {},
    //  delay dp  width  burst    grouped  wait max  wait     mode  height tabs            page   muxgate duty tips opaque burst  mode group
    {12,       1000,  1000000, true,    1000000,  1000000, 0,    25,    &kChannelATabs, true,  true,   false,    false, "ChModeGrp%d"},      // A
    {12,       1000,  1000000, true,    1000000,  1000000, 0,    24,    &kPatternTabs,  true,  true,   true,     false, "ChModeGrp%d"},      // B
    {12,       2e-07, 1,       true,    1000000,  1,       0,    24,    &kPatternTabs,  true,  true,   true,     false, "ChModeGrp%d"},      // C
    {12,       2e-07, 1,       true,    100000,   1,       0,    24,    &kPatternTabs,  true,  true,   true,     false, "ChModeGrp%d"},      // D
    {9,        2e-07, 1,       true,    100000,   1,       0,    24,    &kVirtualTabs,  false, false,  true,     false, "ChModeGrp%d"},      // E
    {9,        2e-07, 1,       false,   100000,   1,       0,    24,    &kVirtualTabs,  true,  false,  true,     false, "ChModeGrp%d"},      // F
    {9,        2e-07, 1,       true,    100000,   1,       0,    24,    &kVirtualTabs,  true,  false,  true,     false, "ChannelModeGrp%d"}, // G
    {9,        2e-07, 1,       true,    100000,   1,       3,    24,    &kVirtualTabs,  true,  false,  true,     true,  "ChModeGrp%d"},      // H
}};
// clang-format on

QString named(const char* pattern, int n) {
    return QString::fromLatin1(pattern).replace(QLatin1String("%d"), QString::number(n));
}

SpinSpec spinFor(Row row, const ChannelVariant& v) {
    SpinSpec entry = kRows[row].spin;
    switch (row) {
    case Delay:
        entry.decimals = v.delayDecimals;
        break;
    case Width:
        entry.value = v.widthValue;
        break;
    case Burst:
        entry.value = v.burstValue;
        entry.separator = v.burstGrouped ? comma : QChar();
        break;
    case Wait:
        entry.maxValue = v.waitMax;
        entry.value = v.waitValue;
        break;
    default:
        break;
    }
    return entry;
}

// Creates one row's group (if any) and control; returns the control.
QWidget* buildRow(QWidget* functions, Row row, int n, const ChannelVariant& v) {
    const RowSpec& entry = kRows[row];
    if (entry.kind == Kind::Check) {
        auto* check = NewCheck(functions, named(entry.control, n), entry.bounds,
                               QString::fromLatin1(entry.caption), entry.index != 0,
                               QString::fromLatin1(entry.tooltip));
        SetPanelFont(check, 16);
        return check;
    }
    QString tooltip = entry.tooltip ? QString::fromLatin1(entry.tooltip) : QString();
    if ((row == DutyOn || row == DutyOff) && !v.dutyTooltips)
        tooltip.clear();
    const char* groupName = row == Mode ? v.modeGroup : entry.group;
    QGroupBox* group = NewGroup(functions, named(groupName, n), entry.groupBounds,
                                QString::fromLatin1(entry.caption), tooltip);
    if (row == Burst && v.burstOpaque)
        SetOpaque(group);

    const QString name = named(entry.control, n);
    // Models without plus features start with the standard entries; the
    // read-back adds the others when the model has them.
    const QStringList items = entry.list ? entry.list->captionsFor(false)
                                         : QString::fromLatin1(entry.items).split(QLatin1Char('|'));
    switch (entry.kind) {
    case Kind::Spin: {
        QRect bounds = entry.bounds;
        bounds.setHeight(v.entryHeight);
        return NewSpin(group, name, bounds, spinFor(row, v));
    }
    case Kind::Combo: {
        QComboBox* combo =
            NewCombo(group, name, entry.bounds, items, row == Mode ? v.modeIndex : entry.index);
        if (combo->currentIndex() < 0)
            combo->setEditText(items.first());
        return combo;
    }
    case Kind::CheckList:
        return NewCheckList(group, name, entry.bounds, items, entry.index);
    case Kind::Check:
        break;
    }
    return nullptr;
}

void bindRow(TMainForm* form, Row row, QWidget* control) {
    const Handler handler = kRows[row].handler;
    switch (kRows[row].kind) {
    case Kind::Check:
        BindClick(form, static_cast<QCheckBox*>(control), handler);
        break;
    case Kind::Spin:
        BindChange(form, static_cast<TPlusSpinEdit*>(control), handler);
        break;
    case Kind::Combo:
        BindChange(form, static_cast<QComboBox*>(control), handler);
        break;
    case Kind::CheckList:
        BindClick(form, static_cast<QListWidget*>(control), handler);
        break;
    }
}

void buildChannelPage(TMainForm* form, QTabWidget* pages, int n) {
    const ChannelVariant& v = kChannels[n];
    auto* page = new QWidget;
    const QChar letter(u'A' + n - 1);
    page->setObjectName(QStringLiteral("TabCh") + letter);
    pages->addTab(page, QStringLiteral("Ch ") + letter);
    form->TabCh[n] = page;

    QGroupBox* functions = NewGroup(page, named("ChFunctGrp%d", n), {0, 2, 605, 207}, QString());
    SetPanelFont(functions, 13);

    std::array<QWidget*, RowCount> controls{};
    for (Row row : *v.tabs)
        controls[row] = buildRow(functions, row, n, v);
    for (int row = 0; row < RowCount; ++row)
        if (row != MuxGate || v.muxGateBound)
            bindRow(form, static_cast<Row>(row), controls[row]);

    if (!v.pageEnabled)
        pages->setTabEnabled(n - 1, false);
}

} // namespace

void BuildChannelArea(TMainForm* form, QWidget* client) {
    QGroupBox* area = NewGroup(client, QStringLiteral("ChannelGrp"), {0, 317, 619, 270},
                               QStringLiteral("Channels"));
    SetPanelFont(area, 16);
    SetOpaque(area);
    form->ChannelGrp = area;

    auto* pages = new QTabWidget(area);
    pages->setObjectName(QStringLiteral("ChPageControl"));
    pages->setGeometry(3, 25, 613, 265);
    SetPanelFont(pages, 16);
    form->ChPageControl = pages;

    for (int n = 1; n <= 8; ++n)
        buildChannelPage(form, pages, n);
    pages->setCurrentIndex(0);
}

} // namespace layout
