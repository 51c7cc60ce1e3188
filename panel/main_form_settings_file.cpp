// Storage menu: saving the settings as a text file of commands and playing
// such a file back to the instrument.
#include "comm/exchange.h"
#include "controls/message_form.h"
#include "instrument/settings_file.h"
#include "panel/main_form.h"
#include "panel/panel_state.h"
#include "serial/pgcomport.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QMessageBox>
#include <QThread>
#include <QTimer>

using namespace pg5400;
using communication::ShutdownBegun;

namespace {

// The playback paces the instrument with this wait before every line.
constexpr unsigned long kLinePauseMs = 30;
constexpr int kRetryMs = 10;

} // namespace

void TMainForm::runFileOperation(std::function<void()> operation) {
    RunWhenIdle([this, operation = std::move(operation)]() mutable {
        if (ShutdownBegun)
            return;
        // Chosen from the menu while an exchange waits for its reply: the
        // operation's own exchanges would be refused, so it starts once that
        // exchange, task tick or poll has ended.
        if (communication::ExchangeInProgress() || TaskBusy || StatusBusy) {
            QTimer::singleShot(kRetryMs, this, [this, operation = std::move(operation)]() mutable {
                runFileOperation(std::move(operation));
            });
            return;
        }
        beginBusy();
        operation();
        endBusy();
    });
}

void TMainForm::showMessage(const QString& text) {
    QMessageBox::information(this, QApplication::applicationName(), text);
}

void TMainForm::SaveToFile1Click(QObject*) {
    runFileOperation([this] { saveSettingsToFile(); });
}

void TMainForm::saveSettingsToFile() {
    Initialize();
    if (ShutdownBegun)
        return;
    // What the instrument holds now, whatever runs while the dialog is open.
    const QStringList lines = SettingsSnapshot;

    QFileDialog dialog(this, QStringLiteral("Save system parameters"), QDir::currentPath(),
                       QStringLiteral("Text file (*.txt)"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setDefaultSuffix(QStringLiteral("txt"));
    dialog.setOption(QFileDialog::DontConfirmOverwrite);
    const bool accepted = dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty();
    if (ShutdownBegun)
        return;
    if (!accepted) {
        showMessage(QStringLiteral("Save to file was cancelled"));
        return;
    }
    QString error;
    if (!WriteSettingsFile(dialog.selectedFiles().constFirst(), lines, error))
        QMessageBox::warning(this, QStringLiteral("Warning"), error);
}

void TMainForm::RestoreSettingsFromFile1Click(QObject*) {
    runFileOperation([this] { playSettingsFile(); });
}

void TMainForm::playSettingsFile() {
    // The window's open dialog lives as long as the window and remembers
    // the folder last used.
    auto* openFile = findChild<QFileDialog*>(QStringLiteral("OpenFile"));
    if (!openFile) {
        openFile = new QFileDialog(this);
        openFile->setObjectName(QStringLiteral("OpenFile"));
        openFile->setAcceptMode(QFileDialog::AcceptOpen);
        openFile->setFileMode(QFileDialog::ExistingFile);
    }
    openFile->setDefaultSuffix(QStringLiteral("txt"));
    const bool accepted =
        openFile->exec() == QDialog::Accepted && !openFile->selectedFiles().isEmpty();
    if (!accepted || ShutdownBegun)
        return;

    SettingsSnapshot.clear();
    QString error;
    QStringList read;
    // The whole file is checked before a line goes out.
    if (!ReadSettingsFile(openFile->selectedFiles().constFirst(), read, error) ||
        !CheckSettingsLines(read, error)) {
        QMessageBox::warning(this, QStringLiteral("Warning"), error);
        return;
    }
    SettingsSnapshot = read;
    if (SettingsSnapshot.isEmpty()) {
        showMessage(QStringLiteral("Empty file."));
        if (ShutdownBegun)
            return;
        Initialize();
    } else {
        MessageForm->MessageLabel->setText(QStringLiteral("Loading. Please wait..."));
        MessageForm->show();
        // Played from a copy: a read-back run between two lines rebuilds the snapshot.
        const QStringList lines = SettingsSnapshot;
        if (!playAsOneStep(lines,
                           QStringLiteral("playback of %1")
                               .arg(QFileInfo(openFile->selectedFiles().constFirst()).fileName())))
            return;
    }
    if (ShutdownBegun)
        return;
    MessageForm->close();
    showMessage(QStringLiteral("Settings loaded."));
}

bool TMainForm::playAsOneStep(const QStringList& lines, const QString& what) {
    const QList<QVariant> before = settingValues();
    playLines(lines);
    if (ShutdownBegun)
        return false;
    Initialize();
    if (ShutdownBegun)
        return false;
    noteChangedTogether(what, before);
    return true;
}

void TMainForm::playLines(const QStringList& lines) {
    for (const QString& line : lines) {
        QThread::msleep(kLinePauseMs);
        if (!line.contains(QStringLiteral("//")))
            sendLine(line);
        // Polls, ticks and the close box get their turn between lines.
        QCoreApplication::processEvents();
        if (ShutdownBegun || communication::DeviceLost)
            return;
    }
}
