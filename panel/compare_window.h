#pragma once

#include "instrument/settings_compare.h"

#include <QDialog>
#include <functional>

class QLabel;
class QPushButton;
class QTableWidget;

// Storage > Compare With Settings File: every setting of a file beside the
// instrument's, the differing ones marked and counted. It only shows; the
// window it belongs to applies and refreshes.
class SettingsCompareWindow : public QDialog {
    Q_OBJECT
public:
    explicit SettingsCompareWindow(QWidget* parent = nullptr);

    void show(const QString& fileName, const std::vector<pg5400::SettingRow>& rows);
    // The file's lines of the differing rows, in the file's order.
    QStringList differingLines() const;

    std::function<void()> onApply;
    std::function<void()> onRefresh;

    QTableWidget* table = nullptr;
    QLabel* summary = nullptr;
    QPushButton* apply = nullptr;

private:
    std::vector<pg5400::SettingRow> rows_;
};
