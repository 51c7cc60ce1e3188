#include "panel/compare_window.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

using pg5400::SettingRow;

namespace {

QString shown(const QString& value, SettingRow::State state, bool instrument) {
    if (instrument && state == SettingRow::State::NotOnThisModel)
        return QStringLiteral("(not on this model)");
    if (!instrument && state == SettingRow::State::NotInFile)
        return QStringLiteral("(not in the file)");
    return value;
}

} // namespace

SettingsCompareWindow::SettingsCompareWindow(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("CompareWindow"));
    summary = new QLabel(this);
    summary->setObjectName(QStringLiteral("CompareSummary"));
    table = new QTableWidget(0, 3, this);
    table->setObjectName(QStringLiteral("CompareTable"));
    table->setHorizontalHeaderLabels(
        {QStringLiteral("Setting"), QStringLiteral("Instrument"), QStringLiteral("File")});
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->verticalHeader()->hide();
    table->horizontalHeader()->setStretchLastSection(true);
    auto* buttons = new QDialogButtonBox(this);
    apply = buttons->addButton(QStringLiteral("Apply Differences"), QDialogButtonBox::ApplyRole);
    apply->setObjectName(QStringLiteral("ApplyDifferences"));
    QPushButton* refresh =
        buttons->addButton(QStringLiteral("Refresh"), QDialogButtonBox::ResetRole);
    refresh->setObjectName(QStringLiteral("CompareRefresh"));
    QPushButton* close = buttons->addButton(QStringLiteral("Close"), QDialogButtonBox::RejectRole);
    close->setObjectName(QStringLiteral("CompareClose"));
    connect(apply, &QPushButton::clicked, this, [this] {
        if (onApply)
            onApply();
    });
    connect(refresh, &QPushButton::clicked, this, [this] {
        if (onRefresh)
            onRefresh();
    });
    connect(close, &QPushButton::clicked, this, &QDialog::close);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(summary);
    layout->addWidget(table);
    layout->addWidget(buttons);
    resize(560, 520);
}

void SettingsCompareWindow::show(const QString& fileName, const std::vector<SettingRow>& rows) {
    rows_ = rows;
    setWindowTitle(QStringLiteral("Compare With %1").arg(fileName));
    table->setRowCount(int(rows.size()));
    int differing = 0, elsewhere = 0;
    for (int r = 0; r < int(rows.size()); ++r) {
        const SettingRow& row = rows[std::size_t(r)];
        const bool differs = row.state == SettingRow::State::Differs;
        differing += differs ? 1 : 0;
        elsewhere += (row.state == SettingRow::State::NotOnThisModel ||
                      row.state == SettingRow::State::NotInFile)
                         ? 1
                         : 0;
        const QString texts[] = {row.name, shown(row.instrument, row.state, true),
                                 shown(row.file, row.state, false)};
        for (int c = 0; c < 3; ++c) {
            auto* item = new QTableWidgetItem(texts[c]);
            item->setData(Qt::UserRole, int(row.state));
            if (differs) {
                QFont bold = item->font();
                bold.setBold(true);
                item->setFont(bold);
                item->setBackground(QColor(0xff, 0xf1, 0xc4));
            } else if (row.state != SettingRow::State::Same) {
                item->setForeground(QColor(0x80, 0x80, 0x80));
            }
            table->setItem(r, c, item);
        }
    }
    table->resizeColumnsToContents();
    summary->setText(
        differing == 0
            ? QStringLiteral("The instrument holds every setting of the file (%1 settings).")
                  .arg(rows.size() - std::size_t(elsewhere))
            : QStringLiteral("%1 of %2 settings differ.")
                  .arg(differing)
                  .arg(rows.size() - std::size_t(elsewhere)));
    apply->setEnabled(differing > 0);
    QDialog::show();
    raise();
}

QStringList SettingsCompareWindow::differingLines() const {
    QStringList lines;
    for (const SettingRow& row : rows_)
        if (row.state == SettingRow::State::Differs)
            lines << row.fileLine;
    return lines;
}
