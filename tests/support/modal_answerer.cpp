#include "tests/support/modal_answerer.h"

#include <QAbstractButton>
#include <QApplication>

namespace testsupport {

ModalAnswerer::ModalAnswerer(QMessageBox::StandardButton fallback, QObject* parent)
    : QObject(parent), fallback_(fallback) {
    connect(&timer_, &QTimer::timeout, this, &ModalAnswerer::poll);
    timer_.start(5);
}

void ModalAnswerer::poll() {
    QWidget* modal = QApplication::activeModalWidget();
    if (!modal || !modal->isVisible())
        return;
    if (auto* box = qobject_cast<QMessageBox*>(modal)) {
        if (delayMs_ > 0) {
            if (waiting_ != box) {
                waiting_ = box;
                waitingFor_.start();
            }
            if (!waitingFor_.hasExpired(delayMs_))
                return;
            waiting_.clear();
        }
        if (observer_)
            observer_(box);
        QMessageBox::StandardButton wanted = fallback_;
        if (!answers_.empty()) {
            wanted = answers_.front();
            answers_.pop();
        }
        texts_ << box->text();
        details_ << box->detailedText();
        QAbstractButton* button = box->button(wanted);
        if (!button && !box->buttons().isEmpty())
            button = box->buttons().first();
        if (button)
            button->click();
        return;
    }
    if (handler_)
        handler_(modal);
}

} // namespace testsupport
