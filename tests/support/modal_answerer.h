#pragma once

#include <QElapsedTimer>
#include <QMessageBox>
#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QTimer>
#include <functional>
#include <queue>

namespace testsupport {

// Answers modal dialogs the code under test opens, the way a user would: a
// timer looks for the active modal widget and presses the wanted button.
// Message boxes are answered from a queue of buttons (then the default);
// other dialogs go to an optional handler.
class ModalAnswerer : public QObject {
public:
    explicit ModalAnswerer(QMessageBox::StandardButton fallback = QMessageBox::Ok,
                           QObject* parent = nullptr);

    void enqueue(QMessageBox::StandardButton button) { answers_.push(button); }
    void setFallback(QMessageBox::StandardButton button) { fallback_ = button; }
    // Leaves each message box open this long before answering it, as
    // nobody at the desk would.
    void setAnswerDelay(int ms) { delayMs_ = ms; }
    void setDialogHandler(std::function<void(QWidget*)> handler) { handler_ = std::move(handler); }
    // Called with each message box just before it is answered, while it is
    // still open: a test learns what held when the box came, without racing
    // the answer with a timer of its own.
    void setBoxObserver(std::function<void(QMessageBox*)> observer) {
        observer_ = std::move(observer);
    }

    // The texts of the message boxes answered so far.
    QStringList texts() const { return texts_; }
    // Their detailed texts (empty where a box had none).
    QStringList details() const { return details_; }
    int count() const { return int(texts_.size()); }
    void clear() {
        texts_.clear();
        details_.clear();
    }

private:
    void poll();

    QTimer timer_;
    std::queue<QMessageBox::StandardButton> answers_;
    QMessageBox::StandardButton fallback_;
    std::function<void(QWidget*)> handler_;
    std::function<void(QMessageBox*)> observer_;
    QStringList texts_;
    QStringList details_;
    int delayMs_ = 0;
    QPointer<QWidget> waiting_; // the box being left open, and since when
    QElapsedTimer waitingFor_;
};

} // namespace testsupport
