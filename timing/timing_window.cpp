#include "timing/timing_window.h"

#include "timing/trace_export.h"
#include "timing/trace_view.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QMessageBox>
#include <QStandardPaths>
#include <QStatusBar>
#include <QToolBar>

namespace timing {

TimingWindow::TimingWindow(QWidget* parent) : QMainWindow(parent, Qt::Window) {
    setObjectName(QStringLiteral("TimingWindow"));
    setWindowTitle(QStringLiteral("Timing Diagram"));
    setAttribute(Qt::WA_DeleteOnClose, false);
    view_ = new TraceView(this);
    setCentralWidget(view_);

    QToolBar* tools = addToolBar(QStringLiteral("Timing"));
    tools->setObjectName(QStringLiteral("TimingTools"));
    tools->setMovable(false);
    const auto add = [&](const char* name, const QString& text, const QKeySequence& key,
                         auto slot) {
        QAction* action = tools->addAction(text);
        action->setObjectName(QLatin1String(name));
        if (!key.isEmpty()) {
            action->setShortcut(key);
            action->setToolTip(QStringLiteral("%1 (%2)").arg(text, key.toString()));
        }
        connect(action, &QAction::triggered, this, slot);
        return action;
    };
    add("FitPeriod", QStringLiteral("Fit One Period"), QKeySequence(),
        [this] { view_->fitPeriod(); });
    add("ZoomIn", QStringLiteral("Zoom In"), QKeySequence(),
        [this] { view_->zoomBy(2, view_->centreX()); });
    add("ZoomOut", QStringLiteral("Zoom Out"), QKeySequence(),
        [this] { view_->zoomBy(0.5, view_->centreX()); });
    add("GoStart", QStringLiteral("Start"), QKeySequence(), [this] { view_->goHome(); });
    add("GoEnd", QStringLiteral("End"), QKeySequence(), [this] { view_->goEnd(); });
    tools->addSeparator();
    // Off to begin with: a stray drag must change nothing on the instrument.
    QAction* edit = add("EditTiming", QStringLiteral("Edit Timing"), QKeySequence(), [] {});
    edit->setCheckable(true);
    edit->setToolTip(QStringLiteral("Drag a channel's rising edge to set its delay, its falling "
                                    "edge to set its width"));
    connect(edit, &QAction::toggled, view_, &TraceView::setEditMode);
    tools->addSeparator();
    add("ExportDiagram", QStringLiteral("Export..."), QKeySequence::Save,
        [this] { exportByDialog(); });
    add("CopyDiagram", QStringLiteral("Copy"), QKeySequence::Copy, [this] { copyToClipboard(); });

    readout_ = new QLabel(this);
    readout_->setObjectName(QStringLiteral("CursorReadout"));
    readout_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    statusBar()->addWidget(readout_, 1);
    statusBar()->setSizeGripEnabled(true);
    connect(view_, &TraceView::viewChanged, this, &TimingWindow::showReadout);
    showReadout();
    view_->setFocus();
}

void TimingWindow::setSettings(const Settings& settings, const QString& model,
                               const QString& serial) {
    model_ = model;
    serial_ = serial;
    QStringList banner;
    if (settings.outputsStopped)
        banner << QStringLiteral("Outputs stopped: the instrument puts none of this out until Run");
    if (settings.changesHeld)
        banner << QStringLiteral("Synchronous update on: changes reach the outputs only at Update");
    view_->setBanner(banner.join(QStringLiteral(".  ")));
    view_->setSettings(settings);
}

QString TimingWindow::caption() const {
    return ExportCaption(model_, serial_);
}

void TimingWindow::showReadout() {
    const ViewState& v = view_->view();
    readout_->setText(QStringLiteral("%1    (%2 per pixel)")
                          .arg(CursorReadout(v), FormatTime(Ps(v.psPerPixel), 3)));
}

PaintParams TimingWindow::exportParams(QSize& size) const {
    PaintParams params = view_->params();
    params.caption = caption();
    params.readoutHeight = 22;
    params.scroll = 0;
    PaintParams lanesOnly = params;
    lanesOnly.caption.clear();
    lanesOnly.readoutHeight = 0;
    size = QSize(params.area.width(), lanesOnly.neededHeight(int(view_->model().lanes().size())));
    return params;
}

bool TimingWindow::exportTo(const QString& path, QString& error) const {
    QSize size;
    const PaintParams params = exportParams(size);
    return ExportDiagram(path, view_->model(), view_->view(), params, size, error,
                         view_->devicePixelRatioF(), view_->logicalDpiY());
}

void TimingWindow::copyToClipboard() const {
    QSize size;
    const PaintParams params = exportParams(size);
    QApplication::clipboard()->setImage(
        RenderImage(view_->model(), view_->view(), params, size, 2.0 * view_->devicePixelRatioF()));
    statusBar()->showMessage(QStringLiteral("Diagram copied"), 3000);
}

void TimingWindow::exportByDialog() {
    QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (!QFileInfo(folder).isDir())
        folder = QDir::homePath();
    QString filter;
    QString path = QFileDialog::getSaveFileName(
        this, QStringLiteral("Export Timing Diagram"), folder + QStringLiteral("/timing.png"),
        QStringLiteral("PNG image (*.png);;SVG drawing (*.svg);;PDF document (*.pdf)"), &filter);
    if (path.isEmpty())
        return;
    // A name without a known suffix takes the one of the chosen type.
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (suffix != QLatin1String("png") && suffix != QLatin1String("svg") &&
        suffix != QLatin1String("pdf"))
        path += filter.contains(QLatin1String("svg"))   ? QStringLiteral(".svg")
                : filter.contains(QLatin1String("pdf")) ? QStringLiteral(".pdf")
                                                        : QStringLiteral(".png");
    QString error;
    if (exportTo(path, error))
        statusBar()->showMessage(QStringLiteral("Exported to %1").arg(path), 5000);
    else
        QMessageBox::warning(this, QStringLiteral("Export Timing Diagram"),
                             QStringLiteral("Could not write %1: %2").arg(path, error));
}

} // namespace timing
