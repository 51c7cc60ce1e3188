// Storage > Compare With Settings File: the instrument, read back, beside a
// settings file; Apply Differences sends only the file's differing lines,
// reads back and is one undo step.
#include "comm/exchange.h"
#include "instrument/settings_file.h"
#include "panel/compare_window.h"
#include "panel/main_form.h"
#include "panel/panel_state.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>

using namespace pg5400;
using communication::ShutdownBegun;

void TMainForm::CompareWithFile1Click(QObject*) {
    auto* openFile = findChild<QFileDialog*>(QStringLiteral("CompareFile"));
    if (!openFile) {
        openFile = new QFileDialog(this, QStringLiteral("Compare With Settings File"));
        openFile->setObjectName(QStringLiteral("CompareFile"));
        openFile->setAcceptMode(QFileDialog::AcceptOpen);
        openFile->setFileMode(QFileDialog::ExistingFile);
        openFile->setNameFilters(
            {QStringLiteral("Text file (*.txt)"), QStringLiteral("All files (*)")});
    }
    if (openFile->exec() != QDialog::Accepted || openFile->selectedFiles().isEmpty() ||
        ShutdownBegun)
        return;
    CompareWithFile(openFile->selectedFiles().constFirst());
}

void TMainForm::CompareWithFile(const QString& path) {
    QStringList read;
    QString error;
    // The same refusals as the restore: nothing is compared, nothing sent.
    if (!ReadSettingsFile(path, read, error) || !CheckSettingsLines(read, error)) {
        QMessageBox::warning(this, QStringLiteral("Warning"), error);
        return;
    }
    compareFile = path;
    if (DemoMode) {
        // Nothing to read back: the comparison would show every setting as
        // missing, which would be no comparison at all.
        showMessage(QStringLiteral("Demonstration mode: there is no instrument to compare the "
                                   "file with."));
        return;
    }
    runFileOperation([this, read] {
        // What the instrument holds now, not what the panel last sent.
        Initialize();
        if (!ShutdownBegun)
            showComparison(read);
    });
}

void TMainForm::showComparison(const QStringList& fileLines) {
    if (!compareWindow) {
        compareWindow = new SettingsCompareWindow(this);
        compareWindow->onRefresh = [this] { CompareWithFile(compareFile); };
        compareWindow->onApply = [this] {
            const QStringList lines = compareWindow->differingLines();
            if (lines.isEmpty())
                return;
            runFileOperation([this, lines] {
                if (!playAsOneStep(lines, QStringLiteral("differences from %1")
                                              .arg(QFileInfo(compareFile).fileName())))
                    return;
                QStringList again;
                QString error;
                if (ReadSettingsFile(compareFile, again, error))
                    showComparison(again);
            });
        };
    }
    compareWindow->show(QFileInfo(compareFile).fileName(),
                        CompareSettings(SettingsSnapshot, fileLines));
}
