#include "instrument/settings_compare.h"

#include <QHash>
#include <QRegularExpression>

namespace pg5400 {

namespace {

struct Setting {
    QString header; // upper case, in the form the read-back writes
    QString value;
    QString line;
};

// One set line: its header and value; nothing for comments and blanks.
bool parse(const QString& raw, Setting& out) {
    const QString line = raw.trimmed();
    if (line.isEmpty() || line.startsWith(QLatin1String("//")))
        return false;
    const qsizetype blank = line.indexOf(QLatin1Char(' '));
    out.header = (blank < 0 ? line : line.left(blank)).toUpper();
    out.value = blank < 0 ? QString() : line.mid(blank + 1).trimmed();
    out.line = line;
    // The short form of the external mode sets the same setting.
    if (out.header == QLatin1String(":PULS0:EXT:MOD"))
        out.header = QStringLiteral(":PULS0:EXT:MODE");
    return true;
}

bool sameValue(const QString& a, const QString& b) {
    bool na = false, nb = false;
    const double x = a.toDouble(&na), y = b.toDouble(&nb);
    if (na && nb)
        return x == y;
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

} // namespace

QString SettingLabel(const QString& header) {
    static const QHash<QString, QString> system{
        {QStringLiteral("PER"), QStringLiteral("Period")},
        {QStringLiteral("MOD"), QStringLiteral("System Mode")},
        {QStringLiteral("BCO"), QStringLiteral("Burst Count")},
        {QStringLiteral("PCO"), QStringLiteral("On Counts")},
        {QStringLiteral("OCO"), QStringLiteral("Off Counts")},
        {QStringLiteral("CCO"), QStringLiteral("Duty Cycle Counts")},
        {QStringLiteral("EXT:MODE"), QStringLiteral("External Trigger/Gate")},
        {QStringLiteral("EXT:LEV"), QStringLiteral("Threshold (V)")},
        {QStringLiteral("EXT:EDG"), QStringLiteral("Trigger Edge")},
        {QStringLiteral("EXT:POL"), QStringLiteral("Gate Polarity")},
        {QStringLiteral("EXTP:STAT"), QStringLiteral("Period Counter")},
        {QStringLiteral("EXTP:AUT"), QStringLiteral("Period Counter Auto Update")},
        {QStringLiteral("EXTP:NCOU"), QStringLiteral("Period Counter Count")},
        {QStringLiteral("COUN:STAT"), QStringLiteral("Shot Counter")},
        {QStringLiteral("COUN:SOUR"), QStringLiteral("Shot Counter Source")},
    };
    static const QHash<QString, QString> channel{
        {QStringLiteral("STAT"), QStringLiteral("Enable")},
        {QStringLiteral("DEL"), QStringLiteral("Delay")},
        {QStringLiteral("WIDT"), QStringLiteral("Width")},
        {QStringLiteral("CMOD"), QStringLiteral("Channel Mode")},
        {QStringLiteral("BCO"), QStringLiteral("Burst Count")},
        {QStringLiteral("PCO"), QStringLiteral("Duty Cycle On")},
        {QStringLiteral("OCO"), QStringLiteral("Duty Cycle Off")},
        {QStringLiteral("WCO"), QStringLiteral("Wait Count")},
        {QStringLiteral("SYNC"), QStringLiteral("Sync Source")},
        {QStringLiteral("POL"), QStringLiteral("Polarity")},
        {QStringLiteral("CGAT"), QStringLiteral("Gate Mode")},
        {QStringLiteral("OUTP:AMPL"), QStringLiteral("Amplitude (V)")},
        {QStringLiteral("MUX"), QStringLiteral("Multiplexer")},
        {QStringLiteral("MUXG"), QStringLiteral("Mux Gate")},
    };
    static const QRegularExpression pulse(QStringLiteral("^:PULS([0-8]):(.+)$"));
    const QString h = header.toUpper();
    if (h == QLatin1String(":SYST:UPD:AUTO"))
        return QStringLiteral("Sync Update");
    if (h == QLatin1String(":SYST:AUT"))
        return QStringLiteral("Auto Start");
    const QRegularExpressionMatch m = pulse.match(h);
    if (!m.hasMatch())
        return header;
    const int n = m.captured(1).toInt();
    const QString rest = m.captured(2);
    if (n == 0)
        return system.value(rest, header);
    const QString label = channel.value(rest);
    return label.isEmpty() ? header
                           : QStringLiteral("Ch %1 %2").arg(QChar(u'A' + n - 1)).arg(label);
}

std::vector<SettingRow> CompareSettings(const QStringList& instrument, const QStringList& file) {
    QHash<QString, Setting> held;
    QStringList heldOrder;
    for (const QString& raw : instrument) {
        Setting s;
        if (parse(raw, s)) {
            if (!held.contains(s.header))
                heldOrder << s.header;
            held.insert(s.header, s);
        }
    }
    std::vector<SettingRow> rows;
    QHash<QString, qsizetype> rowOf;
    for (const QString& raw : file) {
        Setting s;
        if (!parse(raw, s))
            continue;
        SettingRow row;
        row.name = SettingLabel(s.header);
        row.file = s.value;
        row.fileLine = s.line;
        if (const auto it = held.constFind(s.header); it == held.constEnd()) {
            row.state = SettingRow::State::NotOnThisModel;
        } else {
            row.instrument = it->value;
            row.state = sameValue(it->value, s.value) ? SettingRow::State::Same
                                                      : SettingRow::State::Differs;
        }
        // A setting the file names twice: its last line is the one that holds.
        if (const auto at = rowOf.constFind(s.header); at != rowOf.constEnd())
            rows[std::size_t(*at)] = row;
        else {
            rowOf.insert(s.header, qsizetype(rows.size()));
            rows.push_back(row);
        }
    }
    for (const QString& header : heldOrder)
        if (!rowOf.contains(header)) {
            SettingRow row;
            row.name = SettingLabel(header);
            row.instrument = held.value(header).value;
            row.state = SettingRow::State::NotInFile;
            rows.push_back(row);
        }
    return rows;
}

} // namespace pg5400
