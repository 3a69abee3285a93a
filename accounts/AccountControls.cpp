#include "accounts/AccountControls.h"

#include <QLabel>
#include <QPushButton>

#include "speech/LabeledEdit.h"

namespace sor {

QPushButton* accountButton(const QString& caption, const char* name, QWidget* parent)
{
    auto* b = new QPushButton(caption, parent);
    b->setObjectName(QLatin1String(name));
    b->setAccessibleName(caption);
    return b;
}

TLabeledEdit* accountEdit(const QString& caption, const char* name, QWidget* parent)
{
    auto* e = new TLabeledEdit(caption, parent);
    e->setObjectName(QLatin1String(name));
    e->setAccessibleName(caption);
    QFont bold = e->EditLabel->font();
    bold.setBold(true);
    e->EditLabel->setFont(bold);
    return e;
}

void alignLabels(std::initializer_list<TLabeledEdit*> edits)
{
    int width = 0;
    for (TLabeledEdit* e : edits)
        width = qMax(width, e->EditLabel->sizeHint().width());
    for (TLabeledEdit* e : edits)
        e->EditLabel->setMinimumWidth(width);
}

QLabel* accountHeading(const QString& text, int pixelSize, bool bold, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    label->setObjectName(QStringLiteral("Label1"));
    label->setAlignment(Qt::AlignCenter);
    QFont font(QStringLiteral("Tahoma"));
    font.setPixelSize(pixelSize);
    font.setUnderline(true);
    font.setBold(bold);
    label->setFont(font);
    QPalette navy = label->palette();
    navy.setColor(QPalette::WindowText, QColor(0, 0, 128));
    label->setPalette(navy);
    return label;
}

}  // namespace sor
