#include "game/AlignPanel.h"

#include <QPalette>

namespace sor {

TPanel::TPanel(const QString& name, QWidget* parent) : QWidget(parent)
{
    setObjectName(name);
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, Qt::black);
    pal.setColor(QPalette::WindowText, Qt::white);
    setPalette(pal);
}

void TPanel::setAlign(QWidget* child, TAlign align, int extent)
{
    if (extent < 0)
        extent = (align == TAlign::Left || align == TAlign::Right) ? child->width() : child->height();
    for (Entry& e : entries_) {
        if (e.child == child) {
            e.align = align;
            e.extent = extent;
            realign();
            return;
        }
    }
    entries_.append({child, align, extent});
    realign();
}

void TPanel::setExtent(QWidget* child, int extent)
{
    for (Entry& e : entries_) {
        if (e.child == child) {
            e.extent = qMax(0, extent);
            realign();
            return;
        }
    }
}

void TPanel::realign()
{
    QRect free = rect();
    const auto place = [&](TAlign align) {
        for (const Entry& e : entries_) {
            QWidget* w = e.child;
            if (!w || e.align != align)
                continue;
            const int room = (align == TAlign::Left || align == TAlign::Right) ? free.width() : free.height();
            const int size = qBound(0, e.extent, qMax(0, room));
            switch (align) {
            case TAlign::Top:
                w->setGeometry(free.left(), free.top(), free.width(), size);
                free.setTop(free.top() + size);
                break;
            case TAlign::Bottom:
                w->setGeometry(free.left(), free.bottom() + 1 - size, free.width(), size);
                free.setBottom(free.bottom() - size);
                break;
            case TAlign::Left:
                w->setGeometry(free.left(), free.top(), size, free.height());
                free.setLeft(free.left() + size);
                break;
            case TAlign::Right:
                w->setGeometry(free.right() + 1 - size, free.top(), size, free.height());
                free.setRight(free.right() - size);
                break;
            case TAlign::Client:
                w->setGeometry(free.left(), free.top(), qMax(0, free.width()), qMax(0, free.height()));
                break;
            case TAlign::None:
                break;
            }
        }
    };
    for (TAlign a : {TAlign::Top, TAlign::Bottom, TAlign::Left, TAlign::Right, TAlign::Client})
        place(a);
    // A hidden window gets no resize events: place the inner panels now as well.
    for (const Entry& e : entries_)
        if (auto* inner = qobject_cast<TPanel*>(e.child.data()))
            inner->realign();
}

void TPanel::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    realign();
}

}  // namespace sor
