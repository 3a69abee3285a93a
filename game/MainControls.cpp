#include "game/MainControls.h"

#include <QMouseEvent>

namespace sor {

TAnswerLabel::TAnswerLabel(const QString& name, QWidget* parent) : QLabel(parent)
{
    setObjectName(name);
}

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
