// spinedit-gallery: TPlusSpinEdit in the states the panel uses, for looking at
// by hand. "--grab FILE" saves the window's own rendering as PNG and quits.
#include "controls/plusspinedit.h"

#include <QApplication>
#include <QLabel>
#include <QLocale>
#include <QTimer>
#include <QWidget>

namespace {

QFont tahoma(int pixels) {
    QFont f;
    f.setFamilies({QStringLiteral("Tahoma"), QStringLiteral("DejaVu Sans")});
    f.setPixelSize(pixels);
    return f;
}

struct Row {
    const char* caption;
    int decimals;
    double increment;
    double min;
    double max;
    double value;
    QChar separator;
    int width;
};

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationDisplayName(QStringLiteral("TPlusSpinEdit gallery"));
    QString grabFile;
    const QStringList args = QApplication::arguments();
    const qsizetype g = args.indexOf(QStringLiteral("--grab"));
    if (g > 0 && g + 1 < args.size())
        grabFile = args.at(g + 1);

    QWidget window;
    window.setFont(tahoma(13));
    const QChar comma(u',');
    const Row rows[] = {
        {"Period, 9 decimals (focused)", 9, 1e-8, 2e-7, 1000, 0.001, comma, 180},
        {"Delay, 12 decimals", 12, 1e-8, -1000, 1000, 0.00000025, comma, 220},
        {"Negative delay", 9, 5e-9, -1000, 1000, -12.5, comma, 180},
        {"Width, step 5e-9", 9, 5e-9, 1e-8, 1000, 2e-7, comma, 180},
        {"Amplitude, no separator", 2, 0.01, 3.3, 5, 5, QChar(), 80},
        {"Burst, leading zeros", 0, 1, 1, 1000000, 5, comma, 95},
        {"Disabled (Enabled false)", 2, 0.01, 0.2, 15, 2.5, comma, 100},
    };
    const int rowHeight = 34;
    int y = 12;
    QList<TPlusSpinEdit*> edits;
    for (const Row& r : rows) {
        auto* label = new QLabel(QString::fromLatin1(r.caption), &window);
        label->setGeometry(12, y + 4, 200, 17);
        auto* e = new TPlusSpinEdit(&window);
        e->setObjectName(QString::fromLatin1(r.caption));
        e->setFont(tahoma(15));
        e->setAutoSize(false);
        e->setBorderStyle(TPlusSpinEdit::bsNone);
        e->setDecimals(r.decimals);
        e->setIncrement(r.increment);
        e->setMaxValue(r.max);
        e->setMinValue(r.min);
        e->setValue(r.value);
        e->setThousandSeparator(r.separator);
        e->setGeometry(220, y, r.width, 25);
        edits.append(e);
        y += rowHeight;
    }
    edits[0]->SetIncExponent(-3);
    edits[5]->SetIncExponent(3);
    edits[6]->setEnabled(false);

    auto* label = new QLabel(QStringLiteral("Cycle count, AutoSize, border"), &window);
    label->setGeometry(12, y + 4, 200, 17);
    auto* cycle = new TPlusSpinEdit(&window);
    cycle->setFont(tahoma(15));
    cycle->setDecimals(0);
    cycle->setMaxValue(1000000);
    cycle->setValue(1000000);
    cycle->setThousandSeparator(comma);
    cycle->move(220, y);
    edits.append(cycle);
    y += rowHeight + 6;

    auto* changes = new QLabel(QStringLiteral("OnChange: (none yet)"), &window);
    changes->setGeometry(12, y, 440, 17);
    for (TPlusSpinEdit* e : edits) {
        QObject::connect(e, &TPlusSpinEdit::OnChange, changes, [changes](TPlusSpinEdit* s) {
            changes->setText(QStringLiteral("OnChange: %1 = %2")
                                 .arg(s->objectName(), QLocale::c().toString(s->Value(), 'g', 15)));
        });
    }

    window.setWindowTitle(QStringLiteral("TPlusSpinEdit gallery"));
    window.setFixedSize(460, y + 30);
    window.show();
    window.activateWindow();
    edits[0]->setFocus();

    if (!grabFile.isEmpty()) {
        QTimer::singleShot(300, &window, [&window, grabFile] {
            window.grab().save(grabFile);
            QApplication::quit();
        });
    }
    return QApplication::exec();
}
