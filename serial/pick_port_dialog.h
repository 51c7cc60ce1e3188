#pragma once

#include <QDialog>

class QComboBox;
class QGroupBox;
class QPushButton;

// The small modal dialog in which the user picks the instrument's COM port.
class TformPickPort : public QDialog {
    Q_OBJECT
public:
    explicit TformPickPort(QWidget* parent = nullptr);

    QPushButton* OKBtn = nullptr;
    QPushButton* CancelBtn = nullptr;
    QGroupBox* GroupBox1 = nullptr;
    QComboBox* listPorts = nullptr;

    void AddPort(int number, const QString& devicePath);
    // Selects "COM<number>" when listed; otherwise nothing is selected.
    void SelectPort(int number);
    // The number of the selected entry, or 0 when none is selected.
    int SelectedPort() const;
};
