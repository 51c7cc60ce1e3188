#pragma once

#include <QString>
#include <QStringList>
#include <vector>

// The instrument's settings (the lines a read-back gives, as a settings file
// holds them) beside a settings file's, setting by setting.
namespace pg5400 {

struct SettingRow {
    enum class State { Same, Differs, NotOnThisModel, NotInFile };
    QString name;       // as the panel labels it: "Ch B Delay"
    QString instrument; // the value, empty where the instrument has none
    QString file;       // the value, empty where the file has none
    QString fileLine;   // the file's line, to send
    State state = State::Same;
};

// Values are equal as numbers where both are numbers ("1E-7" and
// "0.000000100"), else as words in any letter case. Rows in the file's order,
// then the settings the file lacks.
std::vector<SettingRow> CompareSettings(const QStringList& instrument, const QStringList& file);
// "Ch B Delay" for ":PULS2:DEL", "Period" for ":PULS0:PER"; the header for one
// the panel has no label for.
QString SettingLabel(const QString& header);

} // namespace pg5400
