#pragma once
// A black panel that places its children by alignment, the way the game window
// is laid out: children aligned to the top are stacked from the top edge down,
// those aligned to the bottom from the bottom edge up, then those aligned left
// from the left edge and those aligned right from the right edge, each keeping
// its own height (top, bottom) or width (left, right); a child aligned to the
// client area fills what is left. Children of the same alignment are placed in
// the order they were given. Placement happens on every resize and on realign().

#include <QList>
#include <QPointer>
#include <QWidget>

namespace sor {

enum class TAlign { None, Top, Bottom, Left, Right, Client };

class TPanel : public QWidget
{
    Q_OBJECT

public:
    explicit TPanel(const QString& name, QWidget* parent = nullptr);

    // Makes `child` (a child of this panel) aligned. `extent` is the height it
    // keeps (top, bottom) or the width (left, right); -1 takes its current one.
    void setAlign(QWidget* child, TAlign align, int extent = -1);
    // Changes the height or width that an aligned child keeps, and places again.
    // When the panel is too small for it, the child gets what is left; it takes
    // its full extent again when there is room.
    void setExtent(QWidget* child, int extent);

    // Places the aligned children now.
    void realign();

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    struct Entry
    {
        QPointer<QWidget> child;
        TAlign align;
        int extent;
    };
    QList<Entry> entries_;
};

}  // namespace sor
