#pragma once

#include "timing/timing_model.h"
#include "timing/trace_paint.h"

#include <QPointF>
#include <QWidget>
#include <optional>

class QScrollBar;

// The diagram on screen: lanes, ruler and cursors painted by PaintDiagram,
// zoomed around the mouse with the wheel, panned by dragging or with
// Shift+wheel, and driven by keys: + and - zoom, Home and End go to the
// start and the end of the timing, F fits one period, A and B place the
// cursors and Z the zero point on the edge under the mouse.
namespace timing {

class TraceView : public QWidget {
    Q_OBJECT

public:
    explicit TraceView(QWidget* parent = nullptr);

    void setModel(Model model);
    // The settings the model is made of: what edit mode changes.
    void setSettings(const Settings& settings);
    const Model& model() const { return model_; }
    // Edit mode: dragging a channel's rising edge sets its delay, its falling
    // edge its width; Left and Right move the chosen edge by one step (with
    // Ctrl by ten), Esc puts a dragged edge back. Off, a drag pans.
    void setEditMode(bool on);
    bool editMode() const { return editMode_; }
    // A line over the lanes saying what the outputs do not show yet.
    void setBanner(const QString& banner);
    const ViewState& view() const { return view_; }
    void setView(const ViewState& view);
    // The geometry PaintDiagram uses for this widget; the exports take it
    // with every lane shown.
    PaintParams params() const;
    // Lanes scrolled up under the ruler, in pixels.
    int scroll() const;
    void setScroll(int pixels);

    void zoomBy(double factor, double aroundX);
    // The middle of the lanes: where zooming by key or button is centred.
    double centreX() const;
    void panBy(double pixels);
    void fitPeriod();
    void goHome();
    void goEnd();
    // The edge nearest x on the lane at y (or on any lane), within a few
    // pixels; otherwise the time at x.
    Ps snapped(double x, double y) const;
    void placeCursor(int which, Ps t); // 0 = A, 1 = B
    void setZero(Ps t);
    void clearCursors();

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

Q_SIGNALS:
    void viewChanged();
    // A drag or a key in edit mode set this channel's delay or width.
    void edgeEdited(int channel, bool width, timing::Ps value);

protected:
    void paintEvent(QPaintEvent*) override;
    void wheelEvent(QWheelEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool event(QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    int laneAt(double y) const;
    double lanesWidth() const;
    void showSpan(Ps from, Ps to);
    void changed();
    void fitOnce();
    void placeScrollBar();
    // Edit mode (edge_edit.cpp).
    struct Edge {
        int channel = 0;
        bool width = false; // the falling edge: the width; else the delay
        Ps original = 0;    // the value before the drag
        Ps value = 0;
        Ps edgeTime = 0; // where the edge was taken
        double startX = 0;
        bool limited = false;
    };
    bool beginEdgeDrag(double x, double y);
    void moveEdgeDrag(double x, bool toOtherEdges);
    void endEdgeDrag(bool keep);
    void stepEdge(int direction, bool decade);
    Ps onGrid(const Edge& edge, __int128 value, bool& limited) const;
    void preview(const Edge& edge);
    QString whyNotEditable(int lane) const;
    void announce(const Edge& edge);
    void paintEdgeValue(QPainter& painter) const;

    Model model_;
    ViewState view_;
    QString banner_;
    QScrollBar* vertical_ = nullptr;
    Settings settings_;
    bool editMode_ = false;
    std::optional<Edge> edge_; // the chosen edge
    bool edgeDragging_ = false;
    QPointF mouse_;
    bool fitted_ = false;
    int dragging_ = -1; // -1 none, 0/1 a cursor, 2 the view
    double dragX_ = 0;
    Ps dragOffset_ = 0;
};

} // namespace timing
