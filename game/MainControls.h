#pragma once
// Two controls of the game window: the answer label, which reports clicks and
// the mouse coming and going, and the LED clock, a seven-segment display that
// keeps the caption it shows.

#include <QLCDNumber>
#include <QLabel>

namespace sor {

class TAnswerLabel : public QLabel
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
