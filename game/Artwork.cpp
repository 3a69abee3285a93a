#include "game/Artwork.h"

#include <QFont>
#include <QFontMetricsF>
#include <QLinearGradient>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QtMath>

namespace sor::art {
namespace {

struct BarColors
{
    QColor top, middle, bottom, rim;
};

BarColors colorsOf(Bar look)
{
    switch (look) {
    case Bar::On:
        return {QColor(255, 214, 102), QColor(245, 166, 35), QColor(196, 112, 0), QColor(255, 236, 179)};
    case Bar::Yes:
        return {QColor(120, 222, 120), QColor(34, 160, 60), QColor(14, 100, 34), QColor(190, 255, 190)};
    case Bar::Off:
    default:
        return {QColor(44, 78, 168), QColor(16, 38, 110), QColor(6, 18, 64), QColor(120, 150, 230)};
    }
}

// A capsule with pointed-round ends: the shape of every bar and frame.
QPainterPath capsule(const QRectF& r)
{
    QPainterPath path;
    const qreal radius = r.height() / 2.0;
    path.addRoundedRect(r, radius, radius);
    return path;
}

}  // namespace

void paintBar(QPainter& p, const QRectF& area, Bar look)
{
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    const BarColors c = colorsOf(look);
    const QRectF r = area.adjusted(4, 3, -4, -3);
    if (r.width() <= 0 || r.height() <= 0) {
        p.restore();
        return;
    }

    // The line that runs behind the bars from edge to edge, as on a quiz stage.
    p.setPen(QPen(QColor(c.rim.red(), c.rim.green(), c.rim.blue(), 110), 1.5));
    p.drawLine(QPointF(area.left(), r.center().y()), QPointF(area.right(), r.center().y()));

    const QPainterPath path = capsule(r);
    QLinearGradient body(r.topLeft(), r.bottomLeft());
    body.setColorAt(0.0, c.top);
    body.setColorAt(0.45, c.middle);
    body.setColorAt(1.0, c.bottom);
    p.fillPath(path, body);

    // A soft gloss on the upper half.
    QRectF gloss = r.adjusted(r.height() * 0.35, 2, -r.height() * 0.35, -r.height() * 0.55);
    QLinearGradient shine(gloss.topLeft(), gloss.bottomLeft());
    shine.setColorAt(0.0, QColor(255, 255, 255, 60));
    shine.setColorAt(1.0, QColor(255, 255, 255, 0));
    p.fillPath(capsule(gloss), shine);

    p.setPen(QPen(c.rim, 2.0));
    p.setBrush(Qt::NoBrush);
    p.drawPath(path);
    p.restore();
}

void paintQuestionFrame(QPainter& p, const QRectF& area)
{
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF r = area.adjusted(10, 8, -10, -8);
    if (r.width() <= 0 || r.height() <= 0) {
        p.restore();
        return;
    }
    p.setPen(QPen(QColor(120, 150, 230, 140), 2.0));
    p.drawLine(QPointF(area.left(), r.center().y()), QPointF(area.right(), r.center().y()));

    const qreal radius = qMin(r.height() / 2.0, 48.0);
    QPainterPath path;
    path.addRoundedRect(r, radius, radius);
    QLinearGradient body(r.topLeft(), r.bottomLeft());
    body.setColorAt(0.0, QColor(30, 56, 140));
    body.setColorAt(0.5, QColor(10, 26, 86));
    body.setColorAt(1.0, QColor(4, 12, 48));
    p.fillPath(path, body);
    p.setPen(QPen(QColor(140, 170, 240), 2.5));
    p.drawPath(path);
    p.setPen(QPen(QColor(60, 90, 180, 160), 1.0));
    p.drawPath([&] {
        QPainterPath inner;
        const QRectF ir = r.adjusted(5, 5, -5, -5);
        inner.addRoundedRect(ir, qMax<qreal>(0, radius - 5), qMax<qreal>(0, radius - 5));
        return inner;
    }());
    p.restore();
}

void paintTexture(QPainter& p, const QRectF& r)
{
    if (r.isEmpty())
        return;  // the rays would still leave their pen's width of paint
    p.save();
    p.fillRect(r, Qt::black);
    // A dim blue spotlight from above, and faint rays: the stage behind the logo.
    QRadialGradient glow(QPointF(r.center().x(), r.top() - r.height() * 0.2), qMax(r.width(), r.height()) * 0.75);
    glow.setColorAt(0.0, QColor(28, 44, 110, 200));
    glow.setColorAt(0.6, QColor(8, 14, 40, 120));
    glow.setColorAt(1.0, QColor(0, 0, 0, 0));
    p.fillRect(r, glow);
    p.setRenderHint(QPainter::Antialiasing);
    const QPointF origin(r.center().x(), r.top() - r.height() * 0.3);
    for (int i = -7; i <= 7; ++i) {
        const qreal angle = qDegreesToRadians(90.0 + i * 9.0);
        const QPointF end(origin.x() + std::cos(angle) * r.height() * 3, origin.y() + std::sin(angle) * r.height() * 3);
        QLinearGradient ray(origin, end);
        ray.setColorAt(0.0, QColor(90, 120, 220, 40));
        ray.setColorAt(1.0, QColor(90, 120, 220, 0));
        p.setPen(QPen(QBrush(ray), 6.0));
        p.drawLine(origin, end);
    }
    p.restore();
}

Emblem emblem()
{
    Emblem e;
    e.ring = QRectF(2.5, 2.5, 92, 92);
    e.ringWidth = 5;
    e.discInner = QColor(40, 70, 170);
    e.discOuter = QColor(6, 16, 60);
    e.ringColor = QColor(250, 200, 70);
    e.markColor = QColor(255, 224, 130);
    QFont mark(QStringLiteral("DejaVu Serif"));
    mark.setPixelSize(70);
    mark.setBold(true);
    // The question mark centred in the ring as a shape, so that every size and
    // the scalable icon draw the very same glyph.
    QPainterPath glyph;
    glyph.addText(QPointF(0, 0), mark, QStringLiteral("?"));
    const QRectF box = QFontMetricsF(mark).tightBoundingRect(QStringLiteral("?"));
    glyph.translate(e.ring.center() - box.center());
    e.mark = glyph;
    return e;
}

void paintEmblem(QPainter& p, const QRectF& area)
{
    const qreal side = qMin(area.width(), area.height());
    if (side <= 0)
        return;
    const Emblem e = emblem();
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.translate(area.center());
    p.scale(side / Emblem::kSide, side / Emblem::kSide);
    p.translate(-Emblem::kSide / 2, -Emblem::kSide / 2);
    QRadialGradient disc(e.ring.center(), e.ring.width() / 2);
    disc.setColorAt(0.0, e.discInner);
    disc.setColorAt(1.0, e.discOuter);
    p.setBrush(disc);
    p.setPen(QPen(e.ringColor, e.ringWidth));
    p.drawEllipse(e.ring);
    p.setPen(Qt::NoPen);
    p.setBrush(e.markColor);
    p.drawPath(e.mark);
    p.restore();
}

void paintLogo(QPainter& p, const QRectF& area)
{
    // Designed on a 400 × 120 canvas, then scaled to fit and centred.
    const QSizeF design(400, 120);
    if (area.width() < 10 || area.height() < 10)
        return;
    // At most three quarters of the width, so that a wide window keeps a margin.
    const qreal scale = qMin(area.width() / design.width() * 0.75, area.height() / design.height() * 0.9);
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    p.translate(area.center());
    p.scale(scale, scale);
    p.translate(-design.width() / 2, -design.height() / 2);

    paintEmblem(p, QRectF(3.5, 11.5, 97, 97));

    // The name, gold with a dark outline.
    QFont title(QStringLiteral("DejaVu Serif"));
    title.setPixelSize(58);
    title.setBold(true);
    title.setLetterSpacing(QFont::AbsoluteSpacing, 2);
    QPainterPath text;
    text.addText(QPointF(112, 80), title, QStringLiteral("Sorventa"));
    QLinearGradient gold(QPointF(0, 30), QPointF(0, 85));
    gold.setColorAt(0.0, QColor(255, 240, 170));
    gold.setColorAt(0.5, QColor(245, 190, 50));
    gold.setColorAt(1.0, QColor(180, 120, 10));
    p.setPen(QPen(QColor(40, 20, 0), 2.5));
    p.setBrush(gold);
    p.drawPath(text);

    QFont sub(QStringLiteral("DejaVu Sans"));
    sub.setPixelSize(15);
    sub.setLetterSpacing(QFont::AbsoluteSpacing, 3);
    p.setFont(sub);
    p.setPen(QColor(170, 190, 240));
    p.drawText(QRectF(112, 88, 280, 24), Qt::AlignLeft | Qt::AlignVCenter,
               QStringLiteral("ИНТЕЛЛЕКТУАЛЬНАЯ ИГРА"));
    p.restore();
}

void paintStrip(QPainter& p, const QRectF& r, Strip kind)
{
    if (r.isEmpty())
        return;  // the line would be drawn outside a strip of no height
    p.save();
    p.fillRect(r, Qt::black);
    const qreal y = r.center().y();
    QLinearGradient line(r.topLeft(), r.topRight());
    const QColor glow = kind == Strip::Bottom ? QColor(245, 190, 50) : QColor(110, 140, 230);
    line.setColorAt(0.0, QColor(glow.red(), glow.green(), glow.blue(), 0));
    line.setColorAt(0.5, glow);
    line.setColorAt(1.0, QColor(glow.red(), glow.green(), glow.blue(), 0));
    const qreal width = kind == Strip::Separator ? 1.0 : 2.0;
    p.setPen(QPen(QBrush(line), width));
    p.drawLine(QPointF(r.left(), y), QPointF(r.right(), y));
    p.restore();
}

}  // namespace sor::art

namespace sor {

TImage::TImage(const QString& name, Painter painter, QWidget* parent) : QWidget(parent), painter_(std::move(painter))
{
    setObjectName(name);
    setAttribute(Qt::WA_OpaquePaintEvent, false);
}

void TImage::paintEvent(QPaintEvent*)
{
    if (!painter_)
        return;
    QPainter p(this);
    painter_(p, QRectF(rect()));
}

void TImage::mouseReleaseEvent(QMouseEvent* e)
{
    if (e->button() == Qt::LeftButton && rect().contains(e->position().toPoint()))
        emit clicked();
    QWidget::mouseReleaseEvent(e);
}

}  // namespace sor
