#include "speech/LabeledEdit.h"

#include <QHBoxLayout>
#include <QLabel>

#include "speech/ScreenReader.h"

TLabeledEdit::TLabeledEdit(const QString& caption, QWidget* parent) : QWidget(parent)
{
    EditLabel = new QLabel(caption, this);
    EditLabel->setObjectName(QStringLiteral("EditLabel"));
    EditLabel->setTextFormat(Qt::PlainText);
    edit_ = new QLineEdit(this);
    edit_->setObjectName(QStringLiteral("Edit"));
    EditLabel->setBuddy(edit_);
    edit_->setAccessibleName(caption);
    // A password typed here must never reach the screen reader in clear.
    sor::installPasswordMask();

    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->addWidget(EditLabel);
    row->addWidget(edit_, 1);

    setFocusProxy(edit_);
    setFocusPolicy(edit_->focusPolicy());
    connect(edit_, &QLineEdit::textChanged, this, &TLabeledEdit::textChanged);
    connect(edit_, &QLineEdit::returnPressed, this, &TLabeledEdit::returnPressed);
}

QString TLabeledEdit::caption() const
{
    return EditLabel->text();
}

void TLabeledEdit::setCaption(const QString& caption)
{
    EditLabel->setText(caption);
    edit_->setAccessibleName(caption);
}
