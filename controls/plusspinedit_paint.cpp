// Font metrics, layout of the spin buttons and their glyphs, the text and
// focus-box geometry, painting and automatic sizing of TPlusSpinEdit.
#include "controls/plusspinedit.h"

#include <QEvent>
#include <QFontMetrics>
#include <QIcon>
#include <QImage>
#include <QPainter>
#include <QPixmap>
#include <QToolButton>
#include <algorithm>
#include <cmath>

namespace {

const QColor Gray(128, 128, 128);

// Arrow glyph of size g: a triangle in a (g + 1) x (g / 2 + 2) bitmap whose
// background is transparent, with as many pixels as the screen shows of it.
QPixmap makeGlyph(int g, bool up, const QColor& fill, qreal ratio) {
    QImage image(QSize(g + 1, g / 2 + 2) * ratio, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(ratio);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setPen(QPen(Qt::black, 1));
    p.setBrush(fill);
    const int h = g / 2;
    const QPoint upArrow[] = {{0, h}, {h, 0}, {g, h}};
    const QPoint downArrow[] = {{0, 1}, {h, h + 1}, {g, 1}};
    p.drawPolygon(up ? upArrow : downArrow, 3);
    p.end();
    return QPixmap::fromImage(image);
}

} // namespace

QRect TPlusSpinEdit::clientRect() const {
    return contentsRect();
}

// Widths are sums of whole-pixel character advances and every character is
// drawn at such a position, as on a canvas with integer metrics: the focus
// box, the caret and the hit test then fall exactly on the drawn glyphs, and a
// placeholder "0" looks like any other "0".
int TPlusSpinEdit::textWidth(const QString& s) const {
    const QFontMetrics fm(font());
    int w = 0;
    for (const QChar c : s)
        w += fm.horizontalAdvance(c);
    return w;
}

QRect TPlusSpinEdit::FocusRect() const {
    const QPoint o = clientRect().topLeft();
    return QRect(QPoint(fFocusLeft, fFocusTop) + o, QPoint(fFocusRight, fFocusBottom) + o);
}

void TPlusSpinEdit::measureFont() {
    const QFontMetrics fm(font());
    fDigitHeight = fm.height();
    fDigitWidth = fm.horizontalAdvance(QChar(u'0'));
    if (fAutoSize)
        applyAutoSize();
    else
        LayoutButtons();
}

void TPlusSpinEdit::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::FontChange)
        measureFont();
}

void TPlusSpinEdit::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    LayoutButtons();
}

void TPlusSpinEdit::applyAutoSize() {
    if (!fAutoSize)
        return;
    int h = fDigitHeight + fDigitHeight / 3;
    if (h % 2 == 0)
        ++h; // always odd
    int w = width();
    if (m.bounded()) {
        // Measured on the bound that needs more digit positions; the value
        // itself is not touched.
        const int base = m.Base();
        const double widest = TSpinValueModel::DigitExponent(base, m.MaxValue()) >
                                      TSpinValueModel::DigitExponent(base, m.MinValue())
                                  ? m.MaxValue()
                                  : m.MinValue();
        // h is the usual room for the buttons; with a wide digit the buttons,
        // the half-digit gap and the border need more, and the text must fit.
        const QMargins b = contentsMargins();
        const int room = buttonWidth() + fDigitWidth / 2 + b.left() + b.right();
        w = textWidth(m.FormatText(widest)) + std::max(h, room);
    }
    resize(w, h);
    LayoutButtons();
}

int TPlusSpinEdit::buttonWidth() const {
    return std::max(10, fDigitWidth + fDigitWidth / 2 + 8);
}

void TPlusSpinEdit::LayoutButtons() {
    const QRect c = clientRect();
    const int W = c.width();
    const int H = c.height();
    const int bw = buttonWidth();
    fUpButton->setGeometry(c.x() + W - bw, c.y(), bw, H / 2);
    fDownButton->setGeometry(c.x() + W - bw, c.y() + H / 2, bw, H - H / 2);

    int g = static_cast<int>(std::nearbyint(bw * 1.3 * std::pow(1.0 / bw, 0.25))) - 2;
    g = std::max(g, 4);
    if (g % 2 != 0)
        --g;
    const QColor fill = fEnabled ? QColor(Qt::black) : Gray;
    const qreal ratio = std::max<qreal>(1, devicePixelRatioF());
    const QPixmap up = makeGlyph(g, true, fill, ratio);
    const QPixmap down = makeGlyph(g, false, fill, ratio);
    fUpButton->setIcon(QIcon(up));
    fUpButton->setIconSize(up.deviceIndependentSize().toSize());
    fDownButton->setIcon(QIcon(down));
    fDownButton->setIconSize(down.deviceIndependentSize().toSize());

    fCapXStop = W - bw - fDigitWidth / 2;
    fCapYStart = (H - fDigitHeight) / 2;
    UpdateDisplayFields();
}

void TPlusSpinEdit::UpdateDisplayFields() {
    // The focus index is kept by the model; this is the pixel half.
    const QString t = m.shownText();
    const int index = m.FocusIndex();
    fCapXStart = fCapXStop - textWidth(t);
    const int w2 = textWidth(t.left(index));
    const int w3 = index >= 1 && index <= t.size() ? textWidth(t.mid(index - 1, 1)) : 0;
    fFocusLeft = fCapXStart + w2 - w3;
    fFocusTop = fCapYStart;
    fFocusRight = fCapXStart + w2 - 1;
    fFocusBottom = fCapYStart + fDigitHeight - 1;
    DisplayFieldsInitialized = true;
}

void TPlusSpinEdit::paintEvent(QPaintEvent*) {
    if (!DisplayFieldsInitialized)
        UpdateDisplayFields();
    QPainter p(this);
    if (fBorderStyle == bsSingle) {
        p.setPen(Qt::black);
        p.drawRect(rect().adjusted(0, 0, -1, -1));
    }
    const QRect c = clientRect();
    p.translate(c.topLeft());
    const int textAreaWidth = fUpButton->x() - c.x();
    p.setClipRect(0, 0, textAreaWidth, c.height());
    p.fillRect(0, 0, textAreaWidth, c.height(), palette().color(QPalette::Base));

    const QFontMetrics fm(font());
    p.setFont(font());
    p.setPen(fEnabled ? palette().color(QPalette::Text) : Gray);
    const int baseline = fCapYStart + fm.ascent();
    const QString text = m.Text();
    int x = fCapXStart;
    for (const QChar ch : text) {
        if (ch == TSpinValueModel::Placeholder) {
            // Exactly one digit width, also with a proportional font.
            p.drawText(x, baseline, QStringLiteral("0"));
            x += fDigitWidth;
        } else {
            p.drawText(x, baseline, QString(ch));
            x += fm.horizontalAdvance(ch);
        }
    }

    const int index = m.FocusIndex();
    const bool focusOnText = index >= 1 && index <= text.size();
    const int boxWidth = fFocusRight - fFocusLeft;
    if (hasFocus()) {
        if (boxWidth > 0)
            p.fillRect(fFocusLeft, fFocusTop, boxWidth, fFocusBottom - fFocusTop, Qt::blue);
        if (focusOnText) {
            p.setPen(Qt::white);
            p.drawText(fFocusLeft, baseline, m.shownText().at(index - 1));
        }
        // The caret: a 2-pixel bar under the focus digit, hidden while spinning.
        if (!m.spinning() && boxWidth > 0)
            p.fillRect(fFocusLeft, fFocusBottom, boxWidth, 2, Qt::black);
    } else if (focusOnText && boxWidth > 0) {
        p.setPen(Qt::black);
        p.drawLine(fFocusLeft, fFocusBottom, fFocusRight - 1, fFocusBottom);
    }
}
