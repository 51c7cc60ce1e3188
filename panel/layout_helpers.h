#pragma once

// Building blocks of the table-built window: every control is placed at fixed
// bounds with its object name, font and caption, and every handler is bound by
// the control's kind, so that the event rules hold for all controls alike.

#include "controls/panel_font.h"
#include "panel/main_form.h"

#include <QChar>
#include <QRect>
#include <QString>
#include <QStringList>

class QAction;
class QCheckBox;
class QComboBox;
class QFont;
class QGroupBox;
class QLabel;
class QListWidget;
class QPushButton;
class QWidget;
class TPlusSpinEdit;

namespace layout {

// The thousands separator of the spin edits that group their digits.
inline constexpr QChar comma{u','};

// Every handler of the window takes the sending object.
using Handler = void (TMainForm::*)(QObject*);

// The panel font on a widget (PanelFont).
void SetPanelFont(QWidget* widget, int pixels);

// Filled with the window colour instead of showing the parent through.
void SetOpaque(QWidget* widget);

// Stored properties of a numeric entry; the defaults are those of the panel's
// entries (no automatic sizing, no border, 15 px digits).
struct SpinSpec {
    int decimals = 0;
    double increment = 1;
    double minValue = 0;
    double maxValue = 0;
    double value = 0;
    QChar separator; // QChar() for none
    bool autoSize = false;
    bool border = false;
};

QGroupBox* NewGroup(QWidget* parent, const QString& name, const QRect& bounds,
                    const QString& caption, const QString& tooltip = QString());
// An editable combo box (its text can be typed); index -1 selects nothing.
QComboBox* NewCombo(QWidget* parent, const QString& name, const QRect& bounds,
                    const QStringList& items, int index);
QCheckBox* NewCheck(QWidget* parent, const QString& name, const QRect& bounds,
                    const QString& caption, bool checked, const QString& tooltip = QString());
QPushButton* NewButton(QWidget* parent, const QString& name, const QRect& bounds,
                       const QString& caption, const QString& tooltip = QString());
// A label that grows to its text when a longer caption is set later.
QLabel* NewLabel(QWidget* parent, const QString& name, const QRect& bounds, const QString& caption);
QLabel* NewPicture(QWidget* parent, const QString& name, const QRect& bounds);
// Stored properties are set without a handler bound yet, so loading fires none.
TPlusSpinEdit* NewSpin(QWidget* parent, const QString& name, const QRect& bounds,
                       const SpinSpec& entry);
// A check-list box: one check box per item, items laid out in columns.
QListWidget* NewCheckList(QWidget* parent, const QString& name, const QRect& bounds,
                          const QStringList& items, int columns);
QAction* NewAction(QWidget* menu, const QString& name, const QString& caption);

// The texts of a list's entries, first to last.
QStringList ListEntries(const QComboBox* list);

// Bindings by kind. Spin edits: OnChange. Check boxes: toggled, so a state set
// in code fires the handler too. Combo boxes: only what the user does (a list
// pick or typed text), so an index set in code fires nothing. Check lists:
// every mark change; code sets marks through SetCheckListMark, which stays
// silent. Buttons and menu items: clicks.
void BindChange(TMainForm* form, TPlusSpinEdit* edit, Handler handler);
void BindChange(TMainForm* form, QComboBox* combo, Handler handler);
void BindClick(TMainForm* form, QCheckBox* check, Handler handler);
void BindClick(TMainForm* form, QListWidget* list, Handler handler);
void BindClick(TMainForm* form, QPushButton* button, Handler handler);
void BindClick(TMainForm* form, QAction* action, Handler handler);

} // namespace layout

namespace layout {

// The window's areas, each built in its own file and bound when its controls
// hold their stored properties.
// GroupBox23 with the system and plus pages (layout_system_page.cpp).
void BuildSystemArea(TMainForm* form, QWidget* client);
// ChannelGrp with the eight channel pages (layout_channel_pages.cpp).
void BuildChannelArea(TMainForm* form, QWidget* client);

} // namespace layout
