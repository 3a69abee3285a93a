#include "accounts/AccountControls.h"

#include <QDialog>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "accounts/LoginProcedure.h"
#include "speech/LabeledEdit.h"
#include "speech/SpeechRoutines.h"

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

void limitEdit(TLabeledEdit* edit, int length)
{
    edit->setMaxLength(length);
    QObject::connect(edit->lineEdit(), &QLineEdit::inputRejected, edit, [edit, length] {
        // Cuts off the echo of the character that did not go in.
        SpeechOut(edit->caption() + QStringLiteral(": не более ") + charactersText(length) + QStringLiteral("."),
                  true);
    });
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

void accountDialog(QDialog* dialog, const char* name, const QString& title)
{
    dialog->setObjectName(QLatin1String(name));
    dialog->setWindowTitle(title);
    dialog->setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                           Qt::WindowCloseButtonHint);
    dialog->setFont(QFont(QStringLiteral("Tahoma"), 8));
}

QFrame* accountPanel(QWidget* parent, const char* name)
{
    auto* panel = new QFrame(parent);
    panel->setObjectName(QLatin1String(name));
    panel->setFrameShape(QFrame::StyledPanel);
    return panel;
}

TLabeledEdit* emailEdit(QWidget* parent)
{
    TLabeledEdit* e = accountEdit(QStringLiteral("E-mail"), "ledLogin", parent);
    e->setToolTip(QStringLiteral("Введите адрес электронной почты"));
    e->lineEdit()->setToolTip(e->toolTip());
    limitEdit(e, kEmailLength);
    return e;
}

QHBoxLayout* saveCancelRow(QDialog* dialog, QPushButton*& btOK, QPushButton*& btCancel)
{
    btOK = accountButton(QStringLiteral("Сохранить"), "btOK", dialog);
    btCancel = accountButton(QStringLiteral("Отмена"), "btCancel", dialog);
    btOK->setDefault(true);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(btOK);
    buttons->addWidget(btCancel);
    return buttons;
}

void panelWithSaveCancel(QDialog* dialog, QFrame* panel, QPushButton*& btOK, QPushButton*& btCancel)
{
    QHBoxLayout* buttons = saveCancelRow(dialog, btOK, btCancel);
    auto* column = new QVBoxLayout(dialog);
    column->addWidget(panel);
    column->addLayout(buttons);
}

}  // namespace sor
