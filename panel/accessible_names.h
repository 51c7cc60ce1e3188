#pragma once

class QWidget;
class TPlusSpinEdit;
class QString;
class TMainForm;

// What a screen reader announces: every control named from its caption (the
// group it sits in, or its own text) and, on a channel page, the channel
// ("Channel B delay"); its tooltip, or its group's, as the description; spin
// edits as spin boxes whose value carries its unit ("100 ns", "5.00 V").
namespace pg5400 {

// Names the controls as the window shows them now; again after a read-back,
// which re-captions some groups.
void NameControlsForAccessibility(TMainForm* form);
// Spin edits as spin boxes with a value, setting lists named as lists;
// once per program.
void InstallAccessibleControls();
// A description the control's owner keeps current (the run button's run
// state): the naming above leaves it alone.
void SetOwnedAccessibleDescription(QWidget* control, const QString& description);
// The unit the naming gave a spin edit's value: "s", "V", or none.
QString SpinUnit(const TPlusSpinEdit* edit);

} // namespace pg5400
