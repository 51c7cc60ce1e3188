#pragma once

// What the panel shows and caches, as "name=value" lines: every spin edit,
// check box, list and check-list mark of the window, the Run button and the
// settings cache. Two views taken around a read-back are equal exactly when
// the panel already showed what the instrument holds.

#include <QStringList>

class TMainForm;

namespace testsupport {

class PanelHarness;

QStringList PanelView(const TMainForm* form);

// Takes the view, runs one more read-back (Tools > Refresh) and compares; an
// empty result means nothing changed, else the differing lines, "before ->
// after". The panel must be idle.
QStringList ReadBackChanges(PanelHarness& h);

} // namespace testsupport
