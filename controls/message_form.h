#pragma once

#include <QWidget>

class QLabel;

// The "Loading. Please wait..." window: shown without blocking while settings
// are read back or played from a file, closed afterwards. No behaviour of its own.
class TMessageForm : public QWidget {
    Q_OBJECT
public:
    explicit TMessageForm(QWidget* owner = nullptr);

    QLabel* MessageLabel = nullptr;
};
