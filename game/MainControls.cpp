#include "game/MainControls.h"

#include <QMouseEvent>
#include <QPainter>

namespace sor {

TFitLabel::TFitLabel(const QString& name, QWidget* parent) : QLabel(parent)
{
    setObjectName(name);
    setWordWrap(true);
    setAlignment(Qt::AlignCenter);
}

void TFitLabel::setTextInsets(const QMargins& insets)
{
    insets_ = insets;
    update();
}

QRect TFitLabel::textRect() const
{
    return rect().marginsRemoved(insets_);
}

QFont TFitLabel::fittedFont() const
{
    QFont f = font();
    const QRect r = textRect();
    const int flags = int(alignment()) | Qt::TextWordWrap;
    for (int px = f.pixelSize(); px > minPixelSize_; --px) {
        f.setPixelSize(px);
        const QRect need = QFontMetrics(f).boundingRect(r, flags, text());
        if (need.height() <= r.height() && need.width() <= r.width())
            return f;
    }
    f.setPixelSize(qMin(font().pixelSize(), minPixelSize_));
    return f;
}

void TFitLabel::paintEvent(QPaintEvent*)
{
    if (text().isEmpty())
        return;
    QPainter p(this);
    p.setFont(fittedFont());
    p.setPen(palette().color(QPalette::WindowText));
    p.drawText(textRect(), int(alignment()) | Qt::TextWordWrap, text());
}

TAnswerLabel::TAnswerLabel(const QString& name, QWidget* parent) : TFitLabel(name, parent) {}

void TAnswerLabel::mouseReleaseEvent(QMouseEvent* e)
{
    QLabel::mouseReleaseEvent(e);
    if (e->button() == Qt::LeftButton && rect().contains(e->position().toPoint()))
        emit clicked();
}

void TAnswerLabel::enterEvent(QEnterEvent* e)
{
    QLabel::enterEvent(e);
    emit mouseEntered();
}

void TAnswerLabel::leaveEvent(QEvent* e)
{
    QLabel::leaveEvent(e);
    emit mouseLeft();
}

TLedDisplay::TLedDisplay(const QString& name, QWidget* parent) : QLCDNumber(parent)
{
    setObjectName(name);
}

void TLedDisplay::setCaption(const QString& text)
{
    caption_ = text;
    // Room for every character: a tour of 100 minutes or more shows three minute digits.
    setDigitCount(qMax(5, int(text.size())));
    display(text);
}

}  // namespace sor
