#pragma once

#include "controls/spinvaluemodel.h"

#include <QRect>
#include <QWidget>

class QTimer;
class QToolButton;

// Numeric entry with a focus digit: arrow keys and the two spin buttons step
// the digit under the focus, Left/Right and clicks move it, typed digits
// replace it. Assigning Value fires OnChange like a user edit; SetValue never
// does. The control keeps its own Enabled state: while it is false the
// control greys out and ignores input but stays focusable.
class TPlusSpinEdit : public QWidget {
    Q_OBJECT
    Q_PROPERTY(bool AutoSize READ AutoSize WRITE setAutoSize)
    Q_PROPERTY(int Base READ Base WRITE setBase)
    Q_PROPERTY(TBorderStyle BorderStyle READ BorderStyle WRITE setBorderStyle)
    Q_PROPERTY(int Decimals READ Decimals WRITE setDecimals)
    Q_PROPERTY(int LeadingDigits READ LeadingDigits WRITE setLeadingDigits)
    Q_PROPERTY(double Increment READ Increment WRITE setIncrement)
    Q_PROPERTY(double MaxValue READ MaxValue WRITE setMaxValue)
    Q_PROPERTY(double MinValue READ MinValue WRITE setMinValue)
    Q_PROPERTY(double Value READ Value WRITE setValue)
    Q_PROPERTY(bool EditorEnabled READ EditorEnabled WRITE setEditorEnabled)
    Q_PROPERTY(QChar ThousandSeparator READ ThousandSeparator WRITE setThousandSeparator)
    Q_PROPERTY(bool TrackSpin READ TrackSpin WRITE setTrackSpin)
    Q_PROPERTY(bool Enabled READ Enabled WRITE setEnabled)
    Q_PROPERTY(bool EnterRequired READ EnterRequired WRITE setEnterRequired)
    Q_PROPERTY(int IntValue READ IntValue WRITE setIntValue)
    Q_PROPERTY(QString Text READ Text)

public:
    enum TBorderStyle { bsNone, bsSingle };
    Q_ENUM(TBorderStyle)

    // Pause before the first repeat of a held spin button, then between repeats.
    static constexpr int InitRepeatPause = 500;
    static constexpr int RepeatPause = 150;

    explicit TPlusSpinEdit(QWidget* parent = nullptr);
    ~TPlusSpinEdit() override;

    double Value() const { return m.Value(); }
    void setValue(double NewValue) { m.setValue(NewValue); }
    void SetValue(double NewValue) { m.SetValue(NewValue); }
    int IntValue() const { return m.IntValue(); }
    void setIntValue(int v) { m.setValue(v); }

    double MinValue() const { return m.MinValue(); }
    void setMinValue(double v);
    double MaxValue() const { return m.MaxValue(); }
    void setMaxValue(double v);

    double Increment() const { return m.Increment(); }
    void setIncrement(double x) { m.setIncrement(x); }
    int IncExponent() const { return m.IncExponent(); }
    void SetIncExponent(int e) { m.SetIncExponent(e); }

    int Decimals() const { return m.Decimals(); }
    void setDecimals(int d);
    int LeadingDigits() const { return m.LeadingDigits(); }
    void setLeadingDigits(int d) { m.setLeadingDigits(d); }
    int Base() const { return m.Base(); }
    void setBase(int b);
    QChar ThousandSeparator() const { return m.ThousandSeparator(); }
    void setThousandSeparator(QChar c);

    bool AutoSize() const { return fAutoSize; }
    void setAutoSize(bool on);
    TBorderStyle BorderStyle() const { return fBorderStyle; }
    void setBorderStyle(TBorderStyle style);
    bool TrackSpin() const { return m.TrackSpin(); }
    void setTrackSpin(bool on) { m.setTrackSpin(on); }
    bool EditorEnabled() const { return m.EditorEnabled(); }
    void setEditorEnabled(bool on) { m.setEditorEnabled(on); }
    bool EnterRequired() const { return m.EnterRequired(); }
    void setEnterRequired(bool on) { m.setEnterRequired(on); }
    // The control's own enabled state; hides QWidget::setEnabled, which would
    // take the focus away as well.
    bool Enabled() const { return fEnabled; }
    void setEnabled(bool on);

    QString Text() const { return m.Text(); }
    int FocusIndex() const { return m.FocusIndex(); }
    // Box of the focus digit in widget coordinates (right and bottom exclusive
    // of the fill, as painted).
    QRect FocusRect() const;
    bool Spinning() const { return m.spinning(); }
    // Ends a spin in progress (a held button or arrow key) as its release
    // would: the repeat stops and a change still owed fires now.
    void EndSpin();

    void RightZero() { m.RightZero(); }

    QSize sizeHint() const override { return size(); }

signals:
    void OnChange(TPlusSpinEdit* Sender);
    void OnSetIncrement(TPlusSpinEdit* Sender);

protected:
    // Fires OnChange.
    virtual void Change();

    // Painting and geometry (plusspinedit_paint.cpp).
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;

    // Input (plusspinedit_input.cpp).
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Geometry, in client coordinates (inside the border).
    QRect clientRect() const;
    int textWidth(const QString& s) const;
    int buttonWidth() const;
    void measureFont();
    void LayoutButtons();
    void UpdateDisplayFields();
    void applyAutoSize();
    void refreshDisplay();

    // Input helpers.
    void ButtonMouseDown(QToolButton* button);
    void ButtonMouseUp();
    void repeatTick();
    void endSpin();
    void clickAt(QMouseEvent* event);
    void typeCharacter(QChar c);

    TSpinValueModel m;
    bool fAutoSize = true;
    bool fEnabled = true;
    TBorderStyle fBorderStyle = bsSingle;

    int fDigitWidth = 0;
    int fDigitHeight = 0;
    int fCapXStart = 0;
    int fCapXStop = 0;
    int fCapYStart = 0;
    // Left, top, right, bottom as the focus box is defined: the fill covers
    // columns left..right-1 and rows top..bottom-1; the caret sits on bottom.
    int fFocusLeft = 0;
    int fFocusTop = 0;
    int fFocusRight = 0;
    int fFocusBottom = 0;
    bool DisplayFieldsInitialized = false;

    QToolButton* fUpButton = nullptr;
    QToolButton* fDownButton = nullptr;
    QTimer* fTimer = nullptr;
    bool fRepeatUp = true;
};
