// The main window as built: names, kinds, bounds, initial state, tab order,
// tooltips, menus, the event bindings, and the artwork and version strings.
#include "controls/check_list.h"
#include "controls/message_form.h"
#include "controls/plusspinedit.h"
#include "controls/terminal_view.h"
#include "desktop/designed_sizes.h"
#include "desktop/jpeg_io.h"
#include "desktop/version_info.h"
#include "panel/main_form.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QMovie>
#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>

namespace {

struct Kind {
    const char* prefix;
    const char* className;
};

// Every per-channel kind that start-up looks up by name.
const Kind kKinds[] = {
    {"ChEnablebox", "QCheckBox"},        {"ChDelayAdj", "TPlusSpinEdit"},
    {"ChWidthAdj", "TPlusSpinEdit"},     {"ChModeSel", "QComboBox"},
    {"ChAmplitudeAdj", "TPlusSpinEdit"}, {"ChBurstAdj", "TPlusSpinEdit"},
    {"ChBurstCountGrp", "QGroupBox"},    {"ChWaitCountAdj", "TPlusSpinEdit"},
    {"ChSyncSourceSel", "QComboBox"},    {"ChPolaritySel", "QComboBox"},
    {"ChDutyOnAdj", "TPlusSpinEdit"},    {"ChDutyOnGrp", "QGroupBox"},
    {"ChDutyOffAdj", "TPlusSpinEdit"},   {"ChDutyOffGrp", "QGroupBox"},
    {"ChGateModeSel", "QComboBox"},      {"ChMuxSel", "QListWidget"},
    {"ChMuxGateSel", "QComboBox"},       {"ChMuxGateGrp", "QGroupBox"},
};

QString ch(const char* prefix, int n) {
    return QLatin1String(prefix) + QString::number(n);
}

// The controls of channel n in the order Tab visits them.
QStringList channelTabOrder(TMainForm* form, int n) {
    QStringList order;
    for (QWidget* w = form->nextInFocusChain(); w != form; w = w->nextInFocusChain()) {
        const QString name = w->objectName();
        if (!(w->focusPolicy() & Qt::TabFocus) || TMainForm::ChannelOf(w) != n ||
            !name.startsWith(QLatin1String("Ch")))
            continue;
        if (!order.contains(name))
            order << name;
    }
    return order;
}

QStringList names(const std::initializer_list<const char*>& prefixes, int n) {
    QStringList list;
    for (const char* p : prefixes)
        list << ch(p, n);
    return list;
}

} // namespace

class TstMainFormLayout : public QObject {
    Q_OBJECT

    std::unique_ptr<TMainForm> form;

    template <typename T> T* find(const QString& name) {
        T* w = form->findChild<T*>(name);
        if (!w)
            qWarning("missing %s", qPrintable(name));
        return w;
    }

private slots:
    void init() { form = std::make_unique<TMainForm>(); }
    void cleanup() { form.reset(); }

    void perChannelControlsHaveTheirNamesAndKinds() {
        for (const Kind& kind : kKinds) {
            for (int n = 1; n <= 8; ++n) {
                QObject* o = form->findChild<QObject*>(ch(kind.prefix, n));
                QVERIFY2(o, qPrintable(ch(kind.prefix, n)));
                QVERIFY2(o->inherits(kind.className), qPrintable(ch(kind.prefix, n)));
            }
        }
        // Filled by name at construction.
        for (int n = 1; n <= 8; ++n) {
            QVERIFY(form->ChMuxGateGrp[n] && form->ChDelayAdj[n] && form->ChMuxSel[n]);
            QCOMPARE(form->TabCh[n]->objectName(), QStringLiteral("TabCh") + QChar(u'A' + n - 1));
        }
        QVERIFY(find<QGroupBox>(QStringLiteral("ChannelModeGrp7")));
        QVERIFY(!form->findChild<QGroupBox*>(QStringLiteral("ChModeGrp7")));
        QVERIFY(find<QGroupBox>(QStringLiteral("ChModeGrp8")));
    }

    void windowIsFixedAtItsDesignedSize() {
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form.get()));
        QCOMPARE(form->centralWidget()->size(), pg5400::designed::Client);
        QCOMPARE(form->minimumSize(), form->maximumSize());
        const QSize before = form->size();
        form->resize(before + QSize(100, 100));
        QCoreApplication::processEvents();
        QCOMPARE(form->size(), before);
        QCOMPARE(form->windowTitle(), QStringLiteral("5400 Pulse Generator"));
        QVERIFY(!form->windowIcon().isNull());
        QCOMPARE(form->font().pixelSize(), 11);
        QCOMPARE(form->font().families().value(0), QStringLiteral("Tahoma"));
    }

    void boundsFontsAndOpaqueGroups() {
        QCOMPARE(form->ChannelGrp->geometry(), QRect(0, 317, 619, 270));
        QCOMPARE(form->TerminalBoxgrp->geometry(), QRect(-2, 590, 456, 121));
        QCOMPARE(form->RunStopbtn->geometry(), QRect(524, 0, 95, 68));
        QCOMPARE(form->PulseAnimate->geometry(), QRect(444, 11, 65, 46));
        QCOMPARE(form->SendEdit->geometry(), QRect(24, 21, 318, 21));
        QCOMPARE(form->SysDutyOffAdj->geometry(), QRect(10, 20, 121, 25));
        QCOMPARE(find<QGroupBox>(QStringLiteral("ChMuxGateGrp5"))->geometry(),
                 QRect(333, 84, 144, 55));
        QCOMPARE(find<QGroupBox>(QStringLiteral("ChAmplitudeAdjGrp3"))->geometry(),
                 QRect(7, 145, 100, 55));
        QCOMPARE(form->ChMuxSel[2]->geometry(), QRect(10, 15, 125, 36));

        QCOMPARE(form->RunStopbtn->font().pixelSize(), 21);
        QCOMPARE(form->ChEnablebox[4]->font().pixelSize(), 16);
        QCOMPARE(form->ChModeSel[4]->font().pixelSize(), 13);
        QCOMPARE(form->ChDelayAdj[4]->font().pixelSize(), 15);
        QCOMPARE(form->ErrorLabel->font().pixelSize(), 27);
        QCOMPARE(form->ResponseList->font().pixelSize(), 11);

        for (QWidget* w : std::initializer_list<QWidget*>{
                 form->ChannelGrp, form->TerminalBoxgrp, form->SystemInfoGrp, form->Systemgrp,
                 form->OffCountGrp, form->PlusOptionGrp, form->ChBurstCountGrp[8]})
            QVERIFY2(w->autoFillBackground(), qPrintable(w->objectName()));
        QVERIFY(!form->ChBurstCountGrp[7]->autoFillBackground());
        QVERIFY(!form->DutyCycleGrp->autoFillBackground());
    }

    void initialStateOfPagesAndLists() {
        QCOMPARE(form->SystemPageControl->currentWidget(), form->SystemPage);
        QCOMPARE(form->ChPageControl->currentWidget(), form->TabCh[1]);
        for (int n = 1; n <= 8; ++n) {
            QCOMPARE(form->ChPageControl->isTabEnabled(n - 1), n != 5);
            QCOMPARE(form->ChModeSel[n]->currentIndex(), n == 8 ? 3 : 0);
            QVERIFY(form->ChEnablebox[n]->isChecked());
            QCOMPARE(form->ChMuxGateSel[n]->currentIndex(), -1);
            QCOMPARE(form->ChMuxGateSel[n]->currentText(), QStringLiteral("Disabled"));
            QCOMPARE(form->ChSyncSourceSel[n]->count(), 9);
            QCOMPARE(form->ChMuxSel[n]->count(), 8);
            for (int i = 0; i < 8; ++i)
                QVERIFY(!CheckListMark(form->ChMuxSel[n], i));
        }
        QVERIFY(!form->TabCh[5]->isEnabled());
        QCOMPARE(form->ShotCountSel->currentIndex(), -1);
        QVERIFY(form->ShotCountSel->currentText().isEmpty());
        QVERIFY(form->SendEdit->currentText().isEmpty());
        QVERIFY(!form->SynchUpdatebtn->isEnabled());
        QVERIFY(form->PlusOptionMemo->isHidden());
        QVERIFY(!form->PlusOptionMemo->toPlainText().isEmpty());
        QVERIFY(form->ErrorLabel->isHidden());
        QVERIFY(form->FeatureLabel->isHidden());
        QVERIFY(!form->StatusTimer->isActive() && !form->TaskTimer->isActive());
    }

    void numericEntriesPerChannel() {
        for (int n = 1; n <= 8; ++n) {
            for (TPlusSpinEdit* e :
                 {form->ChDelayAdj[n], form->ChWidthAdj[n], form->ChAmplitudeAdj[n],
                  form->ChBurstAdj[n], form->ChWaitCountAdj[n], form->ChDutyOnAdj[n],
                  form->ChDutyOffAdj[n]}) {
                QCOMPARE(e->height(), n == 1 ? 25 : 24);
                QVERIFY(!e->AutoSize());
                QCOMPARE(e->BorderStyle(), TPlusSpinEdit::bsNone);
            }
            QCOMPARE(form->ChDelayAdj[n]->Decimals(), n <= 4 ? 12 : 9);
            QCOMPARE(form->ChWidthAdj[n]->Value(), n <= 2 ? 1000.0 : 2e-07);
            QCOMPARE(form->ChWaitCountAdj[n]->MaxValue(), n <= 3 ? 1000000.0 : 100000.0);
            // A burst count of a million shows grouped everywhere but on F.
            form->ChBurstAdj[n]->SetValue(1000000);
            QCOMPARE(form->ChBurstAdj[n]->Text(),
                     n == 6 ? QStringLiteral("1000000") : QStringLiteral("1,000,000"));
        }
        QCOMPARE(form->SysBurstAdj->MaxValue(), 4000000000.0);
        QCOMPARE(form->TrigThresholdAdj->Value(), 2.5);
        QVERIFY(form->CycleCountAdj->AutoSize());
        QCOMPARE(form->CycleCountAdj->BorderStyle(), TPlusSpinEdit::bsSingle);
        QCOMPARE(form->PCountadj->BorderStyle(), TPlusSpinEdit::bsSingle);
        QVERIFY(!form->PCountadj->AutoSize());
    }

    void tabOrderOfChannelPages() {
        QCOMPARE(channelTabOrder(form.get(), 1),
                 names({"ChDutyOnAdj", "ChEnablebox", "ChDelayAdj", "ChWidthAdj", "ChAmplitudeAdj",
                        "ChBurstAdj", "ChWaitCountAdj", "ChSyncSourceSel", "ChMuxSel", "ChModeSel",
                        "ChGateModeSel", "ChPolaritySel", "ChDutyOffAdj", "ChMuxGateSel"},
                       1));
        for (int n = 2; n <= 4; ++n)
            QCOMPARE(channelTabOrder(form.get(), n),
                     names({"ChEnablebox", "ChDelayAdj", "ChWidthAdj", "ChAmplitudeAdj",
                            "ChBurstAdj", "ChWaitCountAdj", "ChSyncSourceSel", "ChMuxSel",
                            "ChModeSel", "ChGateModeSel", "ChPolaritySel", "ChDutyOnAdj",
                            "ChDutyOffAdj", "ChMuxGateSel"},
                           n));
        for (int n = 5; n <= 8; ++n)
            QCOMPARE(channelTabOrder(form.get(), n),
                     names({"ChEnablebox", "ChDelayAdj", "ChWidthAdj", "ChBurstAdj",
                            "ChWaitCountAdj", "ChAmplitudeAdj", "ChSyncSourceSel", "ChMuxSel",
                            "ChModeSel", "ChGateModeSel", "ChPolaritySel", "ChDutyOnAdj",
                            "ChDutyOffAdj", "ChMuxGateSel"},
                           n));
    }

    void tabOrderOfSystemPageAndTerminal() {
        const QStringList wanted = {"TrigThresholdAdj", "ExtModeSel",    "GatePolaritySel",
                                    "TriggerEdgeSel",   "PeriodAdj",     "SysBurstAdj",
                                    "AutoStartEnbl",    "SystemModeSel", "SysDutyOnAdj",
                                    "SysDutyOffAdj",    "RunStopbtn"};
        const QStringList terminal = {"SendBtn", "SendEdit", "ResponseList"};
        QStringList seen;
        for (QWidget* w = form->nextInFocusChain(); w != form.get(); w = w->nextInFocusChain())
            if (wanted.contains(w->objectName()) || terminal.contains(w->objectName()))
                if (!seen.contains(w->objectName()))
                    seen << w->objectName();
        QCOMPARE(seen, terminal + wanted);
    }

    void tooltipsWhereListedOnly() {
        for (int n = 1; n <= 8; ++n) {
            QCOMPARE(form->ChEnablebox[n]->toolTip(),
                     QStringLiteral("Enables or disables channel "));
            QCOMPARE(find<QGroupBox>(ch("ChDelayGrp", n))->toolTip(),
                     QStringLiteral("Sets channel delay from selected sync source"));
            QVERIFY(!form->ChBurstCountGrp[n]->toolTip().isEmpty());
            for (const char* silent :
                 {"ChSyncSourceGrp", "ChMuxGrp", "ChGateModeGrp", "ChPolarityGrp", "ChMuxGateGrp"})
                QVERIFY2(find<QGroupBox>(ch(silent, n))->toolTip().isEmpty(), silent);
            QVERIFY(find<QGroupBox>(ch(n == 7 ? "ChannelModeGrp" : "ChModeGrp", n))
                        ->toolTip()
                        .isEmpty());
            QCOMPARE(form->ChDutyOnGrp[n]->toolTip().isEmpty(), n == 1);
            QCOMPARE(form->ChDutyOffGrp[n]->toolTip().isEmpty(), n == 1);
        }
        for (QGroupBox* g : form->PlusOptionGrp->findChildren<QGroupBox*>())
            QVERIFY2(g->toolTip().isEmpty(), qPrintable(g->objectName()));
        QVERIFY(form->PlusOptionGrp->toolTip().isEmpty());
        QCOMPARE(form->ExtThresholdGrp->toolTip(),
                 QStringLiteral("Sets input trigger/gate threshold level"));
        QCOMPARE(form->RunStopbtn->toolTip(),
                 QStringLiteral("Starts(arms) or stops(disarms) the system"));
        QVERIFY(form->ResponseList->toolTip().isEmpty());
    }

    void menuItemsByNameAndCaption() {
        const QList<QPair<QString, QString>> items = {
            {"Exit1", "Exit"},
            {"R1", "Restart App"},
            {"N11", "1"},
            {"N61", "6"},
            {"Default01", "Default 0"},
            {"N12", "1"},
            {"N62", "6"},
            {"SaveToFile1", "Save Settings To File"},
            {"RestoreSettingsFromFile1", "Restore Settings From File"},
            {"Up1", "Refresh"},
            {"CaptureScreenShot1", "Capture Screen Shot"},
            {"EnableLoggingMenu", "Logging Enabled"},
            {"WebSite1", "Web Site"},
            {"About1", "About"},
        };
        for (const auto& [name, caption] : items) {
            auto* action = find<QAction>(name);
            QVERIFY(action);
            QCOMPARE(action->text(), caption);
            QVERIFY(action->shortcut().isEmpty());
        }
        QCOMPARE(form->SaveToBin1->actions().size(), 6);
        const QList<QAction*> restore = form->RestoreFromBin1->actions();
        QCOMPARE(restore.size(), 7);
        QCOMPARE(restore.first()->objectName(), QStringLiteral("Default01"));
        QCOMPARE(form->ools1->title(), QStringLiteral("Tools"));
        QStringList titles;
        for (QAction* a : form->menuBar()->actions())
            titles << a->text();
        QCOMPARE(titles, QStringList({"File", "Edit", "Storage", "Tools", "Help"}));
        QVERIFY(form->EnableLoggingMenu->isCheckable());
        QVERIFY(!form->EnableLoggingMenu->isChecked());
    }

    // Probing by disconnecting: true when the signal reached the window.
    void bindingsFollowTheEventRules() {
        TMainForm* f = form.get();
        const auto bound = [f](auto* sender, auto signal) {
            return QObject::disconnect(sender, signal, f, nullptr);
        };
        for (int n = 1; n <= 8; ++n) {
            for (QComboBox* c : {f->ChModeSel[n], f->ChSyncSourceSel[n], f->ChPolaritySel[n],
                                 f->ChGateModeSel[n]}) {
                // An index set in code emits only currentIndexChanged.
                QVERIFY(!bound(c, &QComboBox::currentIndexChanged));
                QVERIFY(!bound(c, &QComboBox::currentTextChanged));
                QVERIFY(bound(c, &QComboBox::activated));
                QVERIFY(bound(c->lineEdit(), &QLineEdit::textEdited));
            }
            QCOMPARE(bound(f->ChMuxGateSel[n], &QComboBox::activated), n <= 4);
            QVERIFY(bound(f->ChEnablebox[n], &QCheckBox::toggled));
            QVERIFY(!bound(f->ChEnablebox[n], &QCheckBox::clicked));
            QVERIFY(bound(f->ChDelayAdj[n], &TPlusSpinEdit::OnChange));
            QVERIFY(bound(f->ChDutyOffAdj[n], &TPlusSpinEdit::OnChange));
            QVERIFY(bound(f->ChMuxSel[n], &QListWidget::itemChanged));
        }
        QVERIFY(bound(f->TriggerEdgeSel, &QComboBox::activated));
        QVERIFY(bound(f->AutoStartEnbl, &QCheckBox::toggled));
        QVERIFY(bound(f->CycleCountAdj, &TPlusSpinEdit::OnChange));
        QVERIFY(bound(f->SynchUpdatebtn, &QPushButton::clicked));
        QVERIFY(bound(f->RunStopbtn, &QPushButton::clicked));
        for (int bin = 0; bin <= 6; ++bin) {
            QVERIFY(bound(f->RestoreBinItems[bin], &QAction::triggered));
            if (bin > 0)
                QVERIFY(bound(f->SaveBinItems[bin], &QAction::triggered));
        }
        QVERIFY(bound(f->EnableLoggingMenu, &QAction::triggered));
    }

    void comboIndexInCodeIsSilentUserPickIsNot() {
        QComboBox* mode = form->ChModeSel[3];
        QSignalSpy activated(mode, &QComboBox::activated);
        mode->setCurrentIndex(2);
        QCOMPARE(activated.count(), 0);
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form.get()));
        form->ChPageControl->setCurrentWidget(form->TabCh[3]);
        mode->setFocus();
        QTest::keyClick(mode, Qt::Key_Down);
        QCOMPARE(activated.count(), 1);
        QCOMPARE(mode->currentIndex(), 3);
    }

    void checkListMarksFromCodeAreSilent() {
        QListWidget* mux = form->ChMuxSel[2];
        QSignalSpy changed(mux, &QListWidget::itemChanged);
        SetCheckListMark(mux, 3, true);
        QVERIFY(CheckListMark(mux, 3));
        SetCheckListMark(mux, 99, true); // no such entry: ignored
        QCOMPARE(changed.count(), 0);
        mux->item(4)->setCheckState(Qt::Checked); // what a click does
        QCOMPARE(changed.count(), 1);

        SetCheckListItems(mux, {"A", "B", "C", "D"});
        QCOMPARE(mux->count(), 4);
        QVERIFY(!CheckListMark(mux, 3));
        QCOMPARE(changed.count(), 1);
    }

    void checkListFillsColumnsTopToBottom() {
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form.get()));
        QListWidget* mux = form->ChMuxSel[1];
        QCOMPARE(CheckListColumns(mux), 4);
        const auto at = [mux](int i) { return mux->visualItemRect(mux->item(i)); };
        // Two rows of four columns: A over B, C right of A, all of them inside.
        QCOMPARE(at(0).left(), at(1).left());
        QVERIFY(at(1).top() > at(0).top());
        QVERIFY(at(2).left() > at(0).left());
        QCOMPARE(at(2).top(), at(0).top());
        for (int i = 0; i < 8; ++i)
            QVERIFY2(mux->viewport()->rect().contains(at(i)), qPrintable(mux->item(i)->text()));

        // One row of two, as the model with two channels has it.
        SetCheckListItems(mux, {"A", "B"});
        mux->resize(mux->width(), 20);
        SetCheckListColumns(mux, 2);
        QCoreApplication::processEvents();
        QCOMPARE(at(0).top(), at(1).top());
        QVERIFY(mux->viewport()->rect().contains(at(1)));
    }

    void sendEditKeysStillReachTheEdit() {
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form.get()));
        form->SendEdit->setFocus();
        QTest::keyClicks(form->SendEdit, QStringLiteral("*idn?"));
        QCOMPARE(form->SendEdit->currentText(), QStringLiteral("*idn?"));
        // Return goes to the terminal's handler, which keeps the line in the
        // history once; the box itself never adds typed text as an item.
        QTest::keyClick(form->SendEdit, Qt::Key_Return);
        QCOMPARE(form->SendEdit->count(), 1);
    }

    void labelsGrowToLongerCaptions() {
        QLabel* serial = form->SerialNumberlbl;
        QCOMPARE(serial->geometry(), QRect(16, 20, 73, 13));
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form.get()));
        serial->setText(QStringLiteral("Serial Number: 5404-000123"));
        form->grab();
        form->grab();
        QVERIFY(serial->width() >= serial->sizeHint().width());
        QCOMPARE(serial->pos(), QPoint(16, 20));
    }

    void messageWindow() {
        TMessageForm* m = form->MessageForm;
        QVERIFY(m);
        QVERIFY(m->isWindow());
        QVERIFY(!m->isVisible());
        QCOMPARE(m->windowTitle(), QStringLiteral("Message"));
        QCOMPARE(m->size(), QSize(326, 100));
        QCOMPARE(m->MessageLabel->objectName(), QStringLiteral("MessageLabel"));
        QCOMPARE(m->MessageLabel->text(), QStringLiteral("Loading. Please wait..."));
        QCOMPARE(m->MessageLabel->geometry(), QRect(2, 30, 320, 39));
        QCOMPARE(m->MessageLabel->font().pixelSize(), 32);
    }

    void versionStrings() {
        TVersionInfoReader* v = form->VersionInfo;
        QVERIFY(v);
        QCOMPARE(v->FileVersion(), QStringLiteral("1.2.6.4"));
        QCOMPARE(v->ProductVersion(), QStringLiteral("1.2.6.4"));
        QCOMPARE(v->ProductName(), QStringLiteral("pg5400"));
        QCOMPARE(v->GetVersionString(TVersionInfoReader::vtFileVersion), v->FileVersion());
        QCOMPARE(TVersionInfoReader::KeyName(TVersionInfoReader::vtLegalTradeMark),
                 QStringLiteral("LegalTradeMark"));
        QVERIFY(v->LegalTradeMark().isEmpty()); // the table has no such key
        QVERIFY(!v->CompanyName().isEmpty());
    }

    void bannersDecodeThroughLibjpeg() {
        for (const char* name : {":/assets/blue_banner.jpg", ":/assets/green_banner.jpg"}) {
            QFile file{QString::fromLatin1(name)};
            QVERIFY(file.open(QIODevice::ReadOnly));
            const QImage image = ReadJpeg(file.readAll());
            QCOMPARE(image.size(), QSize(615, 72));
        }
        QCOMPARE(form->BlueBanner->pixmap().size(), QSize(615, 72));
        QCOMPARE(form->GreenBanner->pixmap().size(), QSize(615, 72));
        QVERIFY(ReadJpeg(QByteArray()).isNull());
        QVERIFY(ReadJpeg(QByteArrayLiteral("\xff\xd8\xff\xe0 not really a jpeg")).isNull());
    }

    void jpegRoundTripAndWriteFailure() {
        QTemporaryDir dir;
        QImage image(40, 30, QImage::Format_RGB32);
        image.fill(QColor(200, 30, 30));
        const QString path = dir.filePath(QStringLiteral("shot.jpg"));
        QString error;
        QVERIFY2(WriteJpeg(image, path, &error), qPrintable(error));
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QImage back = ReadJpeg(file.readAll());
        QCOMPARE(back.size(), image.size());
        const QColor c = back.pixelColor(20, 15);
        QVERIFY(qAbs(c.red() - 200) < 12 && c.green() < 50 && c.blue() < 50);

        QVERIFY(!WriteJpeg(image, dir.filePath(QStringLiteral("no/such/dir/x.jpg")), &error));
        QVERIFY(!error.isEmpty());
        QVERIFY(!WriteJpeg(QImage(), path, &error));
    }

    void runIndicatorHasSixFrames() {
        QMovie movie(QStringLiteral(":/assets/run_pulse.gif"));
        QVERIFY(movie.isValid());
        QCOMPARE(movie.frameCount(), 6);
        int redPixels[6] = {};
        for (int i = 0; i < 6; ++i) {
            QVERIFY(movie.jumpToFrame(i));
            const QImage frame = movie.currentImage();
            QCOMPARE(frame.size(), QSize(320, 240));
            for (int y = 0; y < frame.height(); y += 2)
                for (int x = 0; x < frame.width(); x += 2)
                    redPixels[i] += qAlpha(frame.pixel(x, y)) > 0;
        }
        QCOMPARE(redPixels[0], 0);
        for (int i = 1; i < 6; ++i)
            QVERIFY(redPixels[i] > redPixels[i - 1]);

        QCOMPARE(form->PulseAnimate->movie(), form->PulseMovie);
        QVERIFY(form->PulseAnimate->hasScaledContents());
        QVERIFY(form->PulseMovie->jumpToFrame(5));
        QCOMPARE(form->PulseMovie->currentFrameNumber(), 5);
    }

    // Saves a picture of the window when PG_LAYOUT_SHOT names a file.
    void picture() {
        const QString path = qEnvironmentVariable("PG_LAYOUT_SHOT");
        if (path.isEmpty())
            QSKIP("PG_LAYOUT_SHOT not set");
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form.get()));
        const int page = qEnvironmentVariableIntValue("PG_LAYOUT_PAGE");
        form->ChPageControl->setCurrentIndex(page);
        form->SystemPageControl->setCurrentIndex(qEnvironmentVariableIntValue("PG_LAYOUT_SYS"));
        QTest::qWait(50);
        QVERIFY(form->grab().save(path));
        form->MessageForm->show();
        QVERIFY(QTest::qWaitForWindowExposed(form->MessageForm));
        QVERIFY(form->MessageForm->grab().save(path + QStringLiteral(".message.png")));
    }
};

QTEST_MAIN(TstMainFormLayout)
#include "tst_main_form_layout.moc"
