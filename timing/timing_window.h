#pragma once

#include "timing/timing_model.h"
#include "timing/trace_paint.h"

#include <QMainWindow>

class QLabel;

namespace timing {

class TraceView;

// Tools > Timing Diagram: a window of its own beside the panel, showing the
// timing the settings give. It only reads what it is handed; the panel hands
// it the settings again after every change.
class TimingWindow : public QMainWindow {
    Q_OBJECT

public:
    explicit TimingWindow(QWidget* parent = nullptr);

    void setSettings(const Settings& settings, const QString& model, const QString& serial);
    TraceView* view() const { return view_; }

    // The file by its suffix (.png, .svg, .pdf), every lane at its full
    // height whatever the window shows; false with `error` set.
    bool exportTo(const QString& path, QString& error) const;
    void copyToClipboard() const;

private:
    void exportByDialog();
    void showReadout();
    QString caption() const;
    // The view's geometry for a picture of every lane, and the picture's size.
    PaintParams exportParams(QSize& size) const;

    TraceView* view_ = nullptr;
    QLabel* readout_ = nullptr;
    QString model_;
    QString serial_;
};

} // namespace timing
