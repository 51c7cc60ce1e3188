#include "panel/layout_helpers.h"

#include "controls/check_list.h"
#include "controls/plusspinedit.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

namespace layout {

namespace {

// Labels keep their designed bounds but widen and heighten to a caption that
// needs more room (a serial number, an error text), as the read-back and the
// status poll set captions of any length.
class AutoSizeLabel : public QLabel {
public:
    AutoSizeLabel(QWidget* parent, const QSize& designed) : QLabel(parent), designed(designed) {}

protected:
    void paintEvent(QPaintEvent* event) override {
        const QSize wanted = sizeHint().expandedTo(designed);
        if (wanted != size()) {
            resize(wanted); // paints again at the new size
            return;
        }
        QLabel::paintEvent(event);
    }

private:
    QSize designed;
};

void place(QWidget* widget, const QString& name, const QRect& bounds) {
    widget->setObjectName(name);
    widget->setGeometry(bounds);
}

} // namespace

void SetPanelFont(QWidget* widget, int pixels) {
    widget->setFont(PanelFont(pixels));
}

void SetOpaque(QWidget* widget) {
    widget->setBackgroundRole(QPalette::Window);
    widget->setAutoFillBackground(true);
}

QGroupBox* NewGroup(QWidget* parent, const QString& name, const QRect& bounds,
                    const QString& caption, const QString& tooltip) {
    auto* group = new QGroupBox(caption, parent);
    place(group, name, bounds);
    group->setToolTip(tooltip);
    return group;
}

QStringList ListEntries(const QComboBox* list) {
    QStringList items;
    for (int i = 0; i < list->count(); ++i)
        items << list->itemText(i);
    return items;
}

QComboBox* NewCombo(QWidget* parent, const QString& name, const QRect& bounds,
                    const QStringList& items, int index) {
    auto* combo = new QComboBox(parent);
    combo->setEditable(true);
    // Typed text only edits the selection; it never becomes a list item.
    combo->setInsertPolicy(QComboBox::NoInsert);
    combo->addItems(items);
    combo->setCurrentIndex(index);
    // A narrow box shows the start of a chosen item's text, not its end.
    QLineEdit* edit = combo->lineEdit();
    edit->setCursorPosition(0);
    QObject::connect(combo, &QComboBox::currentIndexChanged, edit, [edit] {
        if (!edit->hasFocus())
            edit->setCursorPosition(0);
    });
    place(combo, name, bounds);
    return combo;
}

QCheckBox* NewCheck(QWidget* parent, const QString& name, const QRect& bounds,
                    const QString& caption, bool checked, const QString& tooltip) {
    auto* check = new QCheckBox(caption, parent);
    place(check, name, bounds);
    check->setChecked(checked);
    check->setToolTip(tooltip);
    return check;
}

QPushButton* NewButton(QWidget* parent, const QString& name, const QRect& bounds,
                       const QString& caption, const QString& tooltip) {
    auto* button = new QPushButton(caption, parent);
    place(button, name, bounds);
    button->setToolTip(tooltip);
    button->setAutoDefault(false);
    return button;
}

QLabel* NewLabel(QWidget* parent, const QString& name, const QRect& bounds,
                 const QString& caption) {
    auto* label = new AutoSizeLabel(parent, bounds.size());
    place(label, name, bounds);
    label->setText(caption);
    label->setTextFormat(Qt::PlainText);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    return label;
}

QLabel* NewPicture(QWidget* parent, const QString& name, const QRect& bounds) {
    auto* picture = new QLabel(parent);
    place(picture, name, bounds);
    picture->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    return picture;
}

TPlusSpinEdit* NewSpin(QWidget* parent, const QString& name, const QRect& bounds,
                       const SpinSpec& entry) {
    auto* edit = new TPlusSpinEdit(parent);
    edit->setObjectName(name);
    SetPanelFont(edit, 15);
    edit->setAutoSize(false);
    edit->setBorderStyle(entry.border ? TPlusSpinEdit::bsSingle : TPlusSpinEdit::bsNone);
    edit->setGeometry(bounds);
    edit->setDecimals(entry.decimals);
    edit->setIncrement(entry.increment);
    edit->setMinValue(entry.minValue);
    edit->setMaxValue(entry.maxValue);
    edit->SetValue(entry.value);
    edit->setThousandSeparator(entry.separator);
    // Last, as loading does: the size follows from all the other properties.
    edit->setAutoSize(entry.autoSize);
    return edit;
}

QListWidget* NewCheckList(QWidget* parent, const QString& name, const QRect& bounds,
                          const QStringList& items, int columns) {
    auto* list = new QListWidget(parent);
    place(list, name, bounds);
    SetCheckListItems(list, items);
    SetCheckListColumns(list, columns);
    return list;
}

QAction* NewAction(QWidget* menu, const QString& name, const QString& caption) {
    auto* action = new QAction(caption, menu);
    action->setObjectName(name);
    menu->addAction(action);
    return action;
}

void BindChange(TMainForm* form, TPlusSpinEdit* edit, Handler handler) {
    form->RememberSettingHandler(edit, handler);
    QObject::connect(edit, &TPlusSpinEdit::OnChange, form,
                     [form, handler](TPlusSpinEdit* sender) { (form->*handler)(sender); });
}

void BindChange(TMainForm* form, QComboBox* combo, Handler handler) {
    form->RememberSettingHandler(combo, handler);
    QObject::connect(combo, &QComboBox::activated, form,
                     [form, handler, combo](int) { (form->*handler)(combo); });
    if (QLineEdit* edit = combo->lineEdit())
        QObject::connect(edit, &QLineEdit::textEdited, form,
                         [form, handler, combo](const QString&) { (form->*handler)(combo); });
}

void BindClick(TMainForm* form, QCheckBox* check, Handler handler) {
    form->RememberSettingHandler(check, handler);
    QObject::connect(check, &QCheckBox::toggled, form,
                     [form, handler, check](bool) { (form->*handler)(check); });
}

void BindClick(TMainForm* form, QListWidget* list, Handler handler) {
    form->RememberSettingHandler(list, handler);
    QObject::connect(list, &QListWidget::itemChanged, form,
                     [form, handler, list](QListWidgetItem*) { (form->*handler)(list); });
}

void BindClick(TMainForm* form, QPushButton* button, Handler handler) {
    QObject::connect(button, &QPushButton::clicked, form,
                     [form, handler, button](bool) { (form->*handler)(button); });
}

void BindClick(TMainForm* form, QAction* action, Handler handler) {
    QObject::connect(action, &QAction::triggered, form,
                     [form, handler, action](bool) { (form->*handler)(action); });
}

} // namespace layout
