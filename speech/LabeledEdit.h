#pragma once
// An edit with its label on the left, as the account windows use them (their
// `led...` controls). The control's object name goes on the whole; the label
// is EditLabel, the edit itself lineEdit(). Focusing the whole focuses the
// edit, and the label names the edit for screen readers.

#include <QLineEdit>
#include <QWidget>

class QLabel;

class TLabeledEdit : public QWidget
{
    Q_OBJECT

public:
    explicit TLabeledEdit(const QString& caption = QString(), QWidget* parent = nullptr);

    QLabel* EditLabel;

    QLineEdit* lineEdit() const { return edit_; }

    // The edit's most used parts, for convenience.
    QString text() const { return edit_->text(); }
    void setText(const QString& text) { edit_->setText(text); }
    void clear() { edit_->clear(); }
    void setEchoMode(QLineEdit::EchoMode mode) { edit_->setEchoMode(mode); }
    QLineEdit::EchoMode echoMode() const { return edit_->echoMode(); }
    void setMaxLength(int length) { edit_->setMaxLength(length); }
    bool isPassword() const { return edit_->echoMode() != QLineEdit::Normal; }

    // The label's caption.
    QString caption() const;
    void setCaption(const QString& caption);

signals:
    void textChanged(const QString& text);
    void returnPressed();

private:
    QLineEdit* edit_;
};
