// Storage bins and settings files against the simulated instrument.
#include "controls/message_form.h"
#include "controls/plusspinedit.h"
#include "panel/main_form.h"
#include "panel/panel_state.h"
#include "serial/pgcomport.h"
#include "tests/support/panel_harness.h"

#include <QAbstractButton>
#include <QAction>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <csignal>
#include <sys/resource.h>

using testsupport::PanelHarness;
using Lines = std::vector<std::string>;

namespace {

int countOf(const Lines& lines, const std::string& line) {
    return int(std::count(lines.begin(), lines.end(), line));
}

// The status poll runs between the other exchanges; these are its queries.
Lines withoutPolls(const Lines& lines) {
    Lines kept;
    for (const std::string& line : lines)
        if (line != ":PULS0:STAT?" && line != "*ERS?" && line != ":PULS0:COUN:COUN?" &&
            line != ":PULS0:EXTP:PER?")
            kept.push_back(line);
    return kept;
}

bool waitForLine(PanelHarness& h, std::size_t mark, const std::string& line) {
    return QTest::qWaitFor([&] { return countOf(h.linesSince(mark), line) > 0; }, 10000);
}

void setUp(PanelHarness& h, std::initializer_list<const char*> lines) {
    h.instrument().withInstrument([&](sim::Instrument& i) {
        for (const char* line : lines)
            QCOMPARE(i.handleLine(line), std::string("ok"));
    });
}

QByteArray fileBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeBytes(const QString& path, const QByteArray& data) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(data), data.size());
}

// What the user does in a file dialog: cancel it, or give a name and confirm.
struct FileDialogUser {
    explicit FileDialogUser(QString name = {}) : typed(std::move(name)) {}
    QString typed; // empty: cancel
    QString title;
    QStringList filters;
    QString selectedFilter;
    QString suffix;
    QString directory;
    int shown = 0;

    void operator()(QWidget* modal) {
        auto* dialog = qobject_cast<QFileDialog*>(modal);
        if (!dialog || !dialog->isVisible())
            return;
        ++shown;
        title = dialog->windowTitle();
        filters = dialog->nameFilters();
        selectedFilter = dialog->selectedNameFilter();
        suffix = dialog->defaultSuffix();
        directory = dialog->directory().absolutePath();
        if (typed.isEmpty()) {
            dialog->reject();
            return;
        }
        // As typed in the name field; the completer's popup stays out of the way.
        dialog->selectFile(typed);
        auto* box = dialog->findChild<QDialogButtonBox*>();
        QVERIFY(box);
        for (QAbstractButton* button : box->buttons())
            if (box->buttonRole(button) == QDialogButtonBox::AcceptRole)
                return button->click();
        QFAIL("no button to confirm the file dialog");
    }
};

// Samples the loading window while an operation runs.
struct LoadingWatch {
    QTimer timer;
    QString seen;
    LoadingWatch(TMainForm* f) {
        QObject::connect(&timer, &QTimer::timeout, [this, f] {
            if (f->MessageForm->isVisible())
                seen = f->MessageForm->MessageLabel->text();
        });
        timer.start(1);
    }
};

// The lines a file plays: all but those holding "//".
Lines playedLines(const QStringList& file) {
    Lines lines;
    for (const QString& line : file)
        if (!line.contains(QStringLiteral("//")))
            lines.push_back(line.toStdString());
    return lines;
}

Lines head(const Lines& lines, std::size_t n) {
    return Lines(lines.begin(), lines.begin() + std::ptrdiff_t(std::min(n, lines.size())));
}

} // namespace

class TstStorage : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();
    void saveToBinQueuesOnly();
    void recallSendsAndReadsBack();
    void recallChoicesAreNeitherLostNorDoubled();
    void saveToFile();
    void cancelledSave();
    void failedSaveKeepsTheOldFile();
    void fileFromOneModelPlayedToAnother();
    void playbackSkipsCommentsAndSendsBlankLines();
    void emptyFileAndCancelledOpen();
    void fileOfOtherBytesIsRefusedWhole();
    void handWrittenLatin1FilePlays();
    void fileChosenDuringAnExchangeWaitsForIt();

private:
    QTemporaryDir* dir = nullptr;
    QString previousDir;
};

void TstStorage::init() {
    // The save dialog starts in the working directory.
    dir = new QTemporaryDir;
    QVERIFY(dir->isValid());
    previousDir = QDir::currentPath();
    QDir::setCurrent(dir->path());
}

void TstStorage::cleanup() {
    QDir::setCurrent(previousDir);
    delete dir;
    dir = nullptr;
}

void TstStorage::saveToBinQueuesOnly() {
    PanelHarness h;
    QVERIFY(h.start());
    const std::size_t m = h.mark();
    h.form()->SaveBinItems[3]->trigger();
    QVERIFY(h.waitIdle());
    QCOMPARE(withoutPolls(h.linesSince(m)), Lines{"*SAV 3"});
}

void TstStorage::recallSendsAndReadsBack() {
    PanelHarness h;
    QVERIFY(h.start());
    setUp(h, {":PULS0:PER 0.002", "*SAV 2", ":PULS0:PER 0.001"});
    TMainForm* f = h.form();
    QCOMPARE(f->PeriodAdj->Value(), 0.001);

    LoadingWatch watch(f);
    const std::size_t m = h.mark();
    f->RestoreBinItems[2]->trigger();
    QVERIFY(waitForLine(h, m, "*RCL 2"));
    QVERIFY(h.waitIdle());
    const Lines lines = withoutPolls(h.linesSince(m));
    QCOMPARE(lines.front(), std::string("*RCL 2"));
    QCOMPARE(countOf(lines, ":PULS0:PER?"), 1);
    QCOMPARE(f->PeriodAdj->Value(), 0.002);
    QCOMPARE(watch.seen, QStringLiteral("Loading. Please wait..."));
    QVERIFY(!f->MessageForm->isVisible());
}

void TstStorage::recallChoicesAreNeitherLostNorDoubled() {
    PanelHarness h;
    QVERIFY(h.start());
    TMainForm* f = h.form();

    // Two choices before the next tick: the last one is recalled, once.
    std::size_t m = h.mark();
    f->RestoreBinItems[1]->trigger();
    f->RestoreBinItems[3]->trigger();
    QVERIFY(waitForLine(h, m, "*RCL 3"));
    QVERIFY(h.waitIdle());
    QCOMPARE(countOf(h.linesSince(m), "*RCL 1"), 0);
    QCOMPARE(countOf(h.linesSince(m), "*RCL 3"), 1);

    // Chosen during a read-back: recalled after it, not cleared with it.
    m = h.mark();
    bool chosen = false;
    QTimer chooser;
    QObject::connect(&chooser, &QTimer::timeout, [&] {
        if (!chosen && f->Busy()) {
            chosen = true;
            f->RestoreBinItems[0]->trigger();
            f->SaveBinItems[4]->trigger();
        }
    });
    chooser.start(1);
    f->Up1->trigger();
    QVERIFY(waitForLine(h, m, "*RCL 0"));
    QVERIFY(h.waitIdle());
    QVERIFY(chosen);
    const Lines lines = h.linesSince(m);
    // Refresh, then the recall with its own read-back, then the save.
    QCOMPARE(countOf(lines, ":PULS0:PER?"), 2);
    const auto recall = std::find(lines.begin(), lines.end(), "*RCL 0");
    const auto firstPeriod = std::find(lines.begin(), lines.end(), ":PULS0:PER?");
    QVERIFY(firstPeriod < recall);
    QCOMPARE(countOf(lines, "*SAV 4"), 1);
}

void TstStorage::saveToFile() {
    PanelHarness h;
    QVERIFY(h.start());
    setUp(h, {":PULS0:PER 0.002", ":PULS3:DEL 0.000001"});
    FileDialogUser user{QStringLiteral("saved")};
    h.answers().setDialogHandler(std::ref(user));
    const std::size_t m = h.mark();
    h.form()->SaveToFile1->trigger();

    QCOMPARE(user.shown, 1);
    QCOMPARE(user.title, QStringLiteral("Save system parameters"));
    QCOMPARE(user.filters, QStringList{QStringLiteral("Text file (*.txt)")});
    QCOMPARE(user.selectedFilter, QStringLiteral("Text file (*.txt)"));
    QCOMPARE(user.suffix, QStringLiteral("txt"));
    QCOMPARE(QDir(user.directory).canonicalPath(), QDir(dir->path()).canonicalPath());
    QVERIFY(h.answers().texts().isEmpty());
    // A fresh read-back came first.
    QCOMPARE(countOf(h.linesSince(m), ":PULS0:PER?"), 1);

    const QByteArray bytes = fileBytes(dir->filePath(QStringLiteral("saved.txt")));
    QVERIFY(bytes.endsWith("\r\n"));
    QVERIFY(!bytes.startsWith("\xEF\xBB\xBF"));
    QCOMPARE(QString::fromUtf8(bytes).split(QStringLiteral("\r\n")),
             pg5400::SettingsSnapshot + QStringList{QString()});
    const QStringList lines = pg5400::SettingsSnapshot;
    QVERIFY(lines.at(0).startsWith(QStringLiteral("// ")));
    QVERIFY(lines.at(0).contains(QLatin1Char(',')));
    QCOMPARE(lines.at(1), QStringLiteral("// ") + h.form()->windowTitle());
    QCOMPARE(lines.at(2), QStringLiteral("// Serial Number: 1234"));
    QCOMPARE(lines.at(3), QStringLiteral("// Firmware Ver: 2.1.0"));
    QCOMPARE(lines.at(4), QStringLiteral("// FPGA Ver: 1.0.3"));
    QVERIFY(!lines.at(5).startsWith(QStringLiteral("//")));
    QVERIFY(lines.contains(QStringLiteral(":PULS0:PER 0.002")));
}

void TstStorage::cancelledSave() {
    PanelHarness h;
    QVERIFY(h.start());
    FileDialogUser user;
    h.answers().setDialogHandler(std::ref(user));
    setUp(h, {":PULS0:PER 0.003"});
    const std::size_t m = h.mark();
    h.form()->SaveToFile1->trigger();
    QCOMPARE(user.shown, 1);
    QCOMPARE(h.answers().texts(), QStringList{QStringLiteral("Save to file was cancelled")});
    // The window was read back all the same.
    QCOMPARE(countOf(h.linesSince(m), ":PULS0:PER?"), 1);
    QCOMPARE(h.form()->PeriodAdj->Value(), 0.003);
    QVERIFY(QDir(dir->path()).entryList(QDir::Files).isEmpty());
}

void TstStorage::failedSaveKeepsTheOldFile() {
    PanelHarness h;
    QVERIFY(h.start());
    const QString path = dir->filePath(QStringLiteral("keep.txt"));
    writeBytes(path, "old\r\n");
    FileDialogUser user{QStringLiteral("keep")};
    h.answers().setDialogHandler(std::ref(user));

    // A file size limit makes the write fail part-way, even for root.
    rlimit saved{};
    QVERIFY(getrlimit(RLIMIT_FSIZE, &saved) == 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved;
    small.rlim_cur = 100;
    QVERIFY(setrlimit(RLIMIT_FSIZE, &small) == 0);
    h.form()->SaveToFile1->trigger();
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);

    QCOMPARE(h.answers().count(), 1);
    QVERIFY(h.answers().texts().constFirst().contains(QStringLiteral("keep.txt")));
    QCOMPARE(fileBytes(path), QByteArray("old\r\n"));
    QCOMPARE(QDir(dir->path()).entryList(QDir::Files), QStringList{QStringLiteral("keep.txt")});
}

void TstStorage::fileFromOneModelPlayedToAnother() {
    const QString path = dir->filePath(QStringLiteral("cross.txt"));
    QStringList saved;
    {
        PanelHarness h("5404+");
        QVERIFY(h.start());
        setUp(h, {":PULS0:PER 0.002", ":PULS1:DEL 0.000001", ":PULS2:WIDT 0.00002",
                  ":PULS7:DEL 0.000003"});
        FileDialogUser user{QStringLiteral("cross")};
        h.answers().setDialogHandler(std::ref(user));
        h.form()->SaveToFile1->trigger();
        saved = pg5400::SettingsSnapshot;
        QCOMPARE(fileBytes(path), (saved.join(QStringLiteral("\r\n")) + "\r\n").toUtf8());
    }

    PanelHarness h("5402");
    QVERIFY(h.start());
    TMainForm* f = h.form();
    QCOMPARE(f->PeriodAdj->Value(), 0.001);
    FileDialogUser user{dir->filePath(QStringLiteral("cross"))}; // the default extension is added
    h.answers().setDialogHandler(std::ref(user));
    LoadingWatch watch(f);
    const std::size_t m = h.mark();
    f->RestoreSettingsFromFile1->trigger();

    QCOMPARE(user.shown, 1);
    QCOMPARE(user.suffix, QStringLiteral("txt"));
    QCOMPARE(h.answers().texts(), QStringList{QStringLiteral("Settings loaded.")});
    QCOMPARE(watch.seen, QStringLiteral("Loading. Please wait..."));
    QVERIFY(!f->MessageForm->isVisible());
    // Every setting line goes out in file order, those of channels 3 to 8
    // as well; the instrument's refusals do not stop the playback.
    const Lines played = playedLines(saved);
    const Lines lines = withoutPolls(h.linesSince(m));
    QCOMPARE(head(lines, played.size()), played);
    QVERIFY(std::any_of(played.begin(), played.end(),
                        [](const std::string& l) { return l.rfind(":PULS8:", 0) == 0; }));
    // Then the read-back shows what the 5402 now holds.
    QCOMPARE(
        countOf(Lines(lines.begin() + std::ptrdiff_t(played.size()), lines.end()), ":PULS0:PER?"),
        1);
    QCOMPARE(f->PeriodAdj->Value(), 0.002);
    QCOMPARE(f->ChDelayAdj[1]->Value(), 0.000001);
    QCOMPARE(f->ChWidthAdj[2]->Value(), 0.00002);
    QCOMPARE(countOf(lines, ":PULS3:DEL?"), 0);
    QVERIFY(pg5400::SettingsSnapshot.filter(QStringLiteral(":PULS3:")).isEmpty());
    QVERIFY(pg5400::SettingsSnapshot.contains(QStringLiteral(":PULS0:PER 0.002")));
}

void TstStorage::playbackSkipsCommentsAndSendsBlankLines() {
    PanelHarness h;
    QVERIFY(h.start());
    TMainForm* f = h.form();
    // UTF-16 with a byte-order mark and CR line ends.
    const QString text = QStringLiteral("// made by hand\r:PULS0:PER 0.003\r\r"
                                        ":PULS0:BCO 7 // not this one\r:SYST:AUT 1\r");
    QByteArray utf16("\xFF\xFE", 2);
    for (QChar c : text) {
        utf16 += char(c.unicode() & 0xFF);
        utf16 += char(c.unicode() >> 8);
    }
    writeBytes(dir->filePath(QStringLiteral("hand.txt")), utf16);
    FileDialogUser user{dir->filePath(QStringLiteral("hand.txt"))};
    h.answers().setDialogHandler(std::ref(user));

    // A refresh asked for during the playback waits for its end; the lines
    // played are the file's, whatever the snapshot becomes meanwhile.
    bool refreshed = false;
    QTimer refresher;
    QObject::connect(&refresher, &QTimer::timeout, [&] {
        if (!refreshed && f->MessageForm->isVisible()) {
            refreshed = true;
            f->Up1->trigger();
        }
    });
    refresher.start(1);
    const std::size_t m = h.mark();
    f->RestoreSettingsFromFile1->trigger();
    QVERIFY(refreshed);
    QVERIFY(QTest::qWaitFor([&] { return countOf(h.linesSince(m), ":PULS0:PER?") == 2; }, 10000));
    QVERIFY(h.waitIdle());

    const Lines lines = withoutPolls(h.linesSince(m));
    QCOMPARE(head(lines, 4), (Lines{":PULS0:PER 0.003", "", ":SYST:AUT 1", ":PULS0:EXTP:STAT?"}));
    QCOMPARE(countOf(lines, ":PULS0:BCO 7 // not this one"), 0);
    QCOMPARE(h.answers().texts(), QStringList{QStringLiteral("Settings loaded.")});
    QCOMPARE(f->PeriodAdj->Value(), 0.003);
    QVERIFY(!pg5400::SettingsSnapshot.contains(QStringLiteral("// made by hand")));
}

// Random bytes chosen by mistake: refused as a whole, with the first line
// that is no command named, and nothing reaches the instrument. A Latin-1
// file written by hand still plays.
void TstStorage::fileOfOtherBytesIsRefusedWhole() {
    PanelHarness h;
    QVERIFY(h.start());
    QByteArray noise(300 * 1024, '\0');
    quint32 x = 12345;
    for (char& c : noise) {
        x = x * 1103515245u + 12345u;
        c = char(x >> 24);
    }
    writeBytes(dir->filePath(QStringLiteral("noise.txt")),
               QByteArray(":PULS0:PER 0.004\r\n") + noise);
    FileDialogUser user{dir->filePath(QStringLiteral("noise.txt"))};
    h.answers().setDialogHandler(std::ref(user));
    const std::size_t m = h.mark();
    h.form()->RestoreSettingsFromFile1->trigger();
    QVERIFY(h.waitIdle());
    QCOMPARE(h.answers().count(), 1);
    QVERIFY2(h.answers().texts().at(0).startsWith(
                 QStringLiteral("This is not a settings file; nothing was sent.\nLine ")),
             qPrintable(h.answers().texts().at(0)));
    QVERIFY(h.setLinesSince(m).empty());
}

void TstStorage::handWrittenLatin1FilePlays() {
    PanelHarness h;
    QVERIFY(h.start());
    writeBytes(dir->filePath(QStringLiteral("latin.txt")),
               "// r\xE9glage de l'\xE9t\xE9\r\n:PULS0:PER 0.004\r\n:SYST:NOTE \xB5s\r\n");
    FileDialogUser user{dir->filePath(QStringLiteral("latin.txt"))};
    h.answers().setDialogHandler(std::ref(user));
    const std::size_t m = h.mark();
    h.form()->RestoreSettingsFromFile1->trigger();
    QVERIFY(h.waitIdle());
    QCOMPARE(h.answers().texts(), QStringList{QStringLiteral("Settings loaded.")});
    // The 8-bit byte reaches the instrument as it stood in the file.
    QCOMPARE(h.setLinesSince(m),
             (std::vector<std::string>{":PULS0:PER 0.004", ":SYST:NOTE \xB5s"}));
}

void TstStorage::emptyFileAndCancelledOpen() {
    PanelHarness h;
    QVERIFY(h.start());
    writeBytes(dir->filePath(QStringLiteral("empty.txt")), {});
    FileDialogUser user{dir->filePath(QStringLiteral("empty"))};
    h.answers().setDialogHandler(std::ref(user));
    std::size_t m = h.mark();
    h.form()->RestoreSettingsFromFile1->trigger();
    QCOMPARE(h.answers().texts(),
             (QStringList{QStringLiteral("Empty file."), QStringLiteral("Settings loaded.")}));
    QVERIFY(h.setLinesSince(m).empty());
    QCOMPARE(countOf(h.linesSince(m), ":PULS0:PER?"), 1);

    // Cancelled: nothing is loaded, sent or read back, and nothing is said.
    h.answers().clear();
    user.typed.clear();
    const QStringList before = pg5400::SettingsSnapshot;
    m = h.mark();
    h.form()->RestoreSettingsFromFile1->trigger();
    QCOMPARE(user.shown, 2);
    QVERIFY(h.answers().texts().isEmpty());
    QVERIFY(h.linesSince(m).empty());
    QCOMPARE(pg5400::SettingsSnapshot, before);
}

void TstStorage::fileChosenDuringAnExchangeWaitsForIt() {
    PanelHarness h;
    QVERIFY(h.start());
    TMainForm* f = h.form();
    writeBytes(dir->filePath(QStringLiteral("two.txt")), ":PULS0:PER 0.004\r\n:SYST:AUT 1\r\n");
    FileDialogUser user{dir->filePath(QStringLiteral("two.txt"))};
    h.answers().setDialogHandler(std::ref(user));

    // Slow replies catch the status poll waiting for one; the menu command
    // arrives in the middle of that wait.
    sim::Faults slow;
    slow.replyDelay = std::chrono::milliseconds(200);
    h.instrument().setFaults(slow);
    bool chosen = false;
    QTimer chooser;
    QObject::connect(&chooser, &QTimer::timeout, [&] {
        if (!chosen && pg5400::StatusBusy && f->ComPort->InUse()) {
            chosen = true;
            f->RestoreSettingsFromFile1->trigger();
            h.instrument().setFaults({});
        }
    });
    chooser.start(1);
    const std::size_t m = h.mark();
    QVERIFY(QTest::qWaitFor([&] { return chosen; }, 5000));
    QVERIFY(QTest::qWaitFor([&] { return h.answers().count() > 0; }, 20000));
    QVERIFY(h.waitIdle());

    QCOMPARE(h.answers().texts(), QStringList{QStringLiteral("Settings loaded.")});
    QCOMPARE(h.setLinesSince(m), (Lines{":PULS0:PER 0.004", ":SYST:AUT 1"}));
    QCOMPARE(f->PeriodAdj->Value(), 0.004);
}

QTEST_MAIN(TstStorage)
#include "tst_storage.moc"
