#pragma once
// The pictures of the game window, painted at whatever size the window gives
// them so that they stay crisp when it is resized: the answer bars in their
// three looks, the question frame, the logo, the background texture and the
// decorative strips.

#include <QColor>
#include <QPainterPath>
#include <QRectF>
#include <QWidget>
#include <functional>

class QPainter;

namespace sor::art {

enum class Bar { Off, On, Yes };  // dark blue (normal), amber (highlight), green (right answer)
enum class Strip { Thin, Separator, Bottom };

void paintBar(QPainter& p, const QRectF& r, Bar look);
void paintQuestionFrame(QPainter& p, const QRectF& r);
void paintLogo(QPainter& p, const QRectF& r);  // centred, proportional
void paintEmblem(QPainter& p, const QRectF& r);  // the logo's ring and question mark, square, centred

// The emblem as shapes and colours on a square of kSide units: what paintEmblem
// draws, also written out as the program's scalable icon.
struct Emblem
{
    static constexpr qreal kSide = 97;
    QRectF ring;
    qreal ringWidth = 0;
    QColor discInner, discOuter, ringColor, markColor;
    QPainterPath mark;
};
Emblem emblem();
void paintTexture(QPainter& p, const QRectF& r);
void paintStrip(QPainter& p, const QRectF& r, Strip kind);

}  // namespace sor::art

namespace sor {

// A picture control: paints itself with one of the painters above, filling its
// own rectangle. Like the other controls it may carry a tag (the answer panels
// choose their look by the tags of their pictures).
class TImage : public QWidget
{
    Q_OBJECT
    Q_PROPERTY(int tag READ tag WRITE setTag)

public:
    using Painter = std::function<void(QPainter&, const QRectF&)>;

    TImage(const QString& name, Painter painter, QWidget* parent = nullptr);

    int tag() const { return tag_; }
    void setTag(int tag) { tag_ = tag; }

signals:
    void clicked();

protected:
    void paintEvent(QPaintEvent*) override;
    void mouseReleaseEvent(QMouseEvent* e) override;

private:
    Painter painter_;
    int tag_ = 0;
};

}  // namespace sor
