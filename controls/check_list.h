#pragma once

// A QListWidget used as a check-list box: one check box per item, the items
// laid out column by column. Marks set in code go through these helpers,
// which keep the list's signals quiet, so only the user's clicks reach the
// handler bound to itemChanged.

#include <QStringList>

class QListWidget;

// Replaces the items; all start unmarked.
void SetCheckListItems(QListWidget* list, const QStringList& items);
void SetCheckListMark(QListWidget* list, int index, bool checked);
bool CheckListMark(const QListWidget* list, int index);
// Items fill a column top to bottom, then the next; the list's width is shared
// evenly among the columns, and its height decides how many rows a column has.
void SetCheckListColumns(QListWidget* list, int columns);
int CheckListColumns(const QListWidget* list);
