#include "controls/check_list.h"

#include <QListWidget>
#include <QProxyStyle>
#include <QSignalBlocker>
#include <algorithm>

namespace {

// Check box and caption packed tight, so a one-letter item fits a quarter of
// a narrow list.
class CompactItemStyle : public QProxyStyle {
public:
    int pixelMetric(PixelMetric metric, const QStyleOption* option,
                    const QWidget* widget) const override {
        if (metric == PM_FocusFrameHMargin)
            return 0;
        return QProxyStyle::pixelMetric(metric, option, widget);
    }
};

const char* const kColumnsProperty = "checkListColumns";

// Two rows fit the designed 36 px list inside its frame (a row only goes
// into a column whose last pixel it does not pass).
constexpr int kRowHeight = 15;

void applyGrid(QListWidget* list) {
    const int columns = CheckListColumns(list);
    // The frame's own width is not available to the cells.
    const int inner = list->width() - 2 * list->frameWidth();
    list->setGridSize(QSize(std::max(1, inner / columns), kRowHeight));
}

} // namespace

void SetCheckListItems(QListWidget* list, const QStringList& items) {
    const QSignalBlocker quiet(list);
    list->clear();
    for (const QString& text : items) {
        auto* item = new QListWidgetItem(text, list);
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
        item->setCheckState(Qt::Unchecked);
    }
}

void SetCheckListMark(QListWidget* list, int index, bool checked) {
    QListWidgetItem* item = list->item(index);
    if (!item)
        return;
    const QSignalBlocker quiet(list);
    item->setCheckState(checked ? Qt::Checked : Qt::Unchecked);
}

bool CheckListMark(const QListWidget* list, int index) {
    const QListWidgetItem* item = list->item(index);
    return item && item->checkState() == Qt::Checked;
}

void SetCheckListColumns(QListWidget* list, int columns) {
    list->setProperty(kColumnsProperty, std::max(1, columns));
    if (!dynamic_cast<CompactItemStyle*>(list->style())) {
        auto* style = new CompactItemStyle;
        style->setParent(list);
        list->setStyle(style);
    }
    list->setFlow(QListView::TopToBottom);
    list->setWrapping(true);
    list->setResizeMode(QListView::Adjust);
    // The columns are sized to show every item; a scroll bar would only
    // take the room of a row.
    list->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    applyGrid(list);
}

int CheckListColumns(const QListWidget* list) {
    return std::max(1, list->property(kColumnsProperty).toInt());
}
