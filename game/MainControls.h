#pragma once
// Controls of the game window: the question and answer labels, which keep
// their text inside the curved ends of the picture behind them and make a long
// text smaller rather than cut it off; the answer label, which reports clicks
// and the mouse coming and going; and the LED clock, a seven-segment display
// that keeps the caption it shows.

#include <QLCDNumber>
#include <QLabel>
#include <QMargins>

namespace sor {

// A word-wrapped label whose text is drawn inside `insets` of its rectangle, in
// its font's pixel size or, when the text does not fit there, in the largest
// smaller size down to `minPixelSize` that fits (at the least size it is cut).
class TFitLabel : public QLabel
{
    Q_OBJECT

public:
    TFitLabel(const QString& name, QWidget* parent = nullptr);

    void setTextInsets(const QMargins& insets);

    // Where the text goes, and the font it is drawn in now.
    QRect textRect() const;
    QFont fittedFont() const;

protected:
    void paintEvent(QPaintEvent* e) override;

private:
    QMargins insets_;
    int minPixelSize_ = 10;
};

class TAnswerLabel : public TFitLabel
{
    Q_OBJECT

public:
    TAnswerLabel(const QString& name, QWidget* parent = nullptr);

signals:
    void clicked();
    void mouseEntered();
    void mouseLeft();

protected:
    void mouseReleaseEvent(QMouseEvent* e) override;
    void enterEvent(QEnterEvent* e) override;
    void leaveEvent(QEvent* e) override;
};

class TLedDisplay : public QLCDNumber
{
    Q_OBJECT

public:
    TLedDisplay(const QString& name, QWidget* parent = nullptr);

    // The text shown: digits and a colon ("05:00", "123:07").
    QString caption() const { return caption_; }
    void setCaption(const QString& text);

private:
    QString caption_;
};

}  // namespace sor
