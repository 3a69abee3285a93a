#pragma once
// The controls the account windows share the look of: a button and a labelled
// edit (label in bold on its left), each named for the code and for screen readers.

#include <QString>
#include <initializer_list>

class QDialog;
class QFrame;
class QLabel;
class QPushButton;
class QWidget;
class TLabeledEdit;

namespace sor {

QPushButton* accountButton(const QString& caption, const char* name, QWidget* parent);
TLabeledEdit* accountEdit(const QString& caption, const char* name, QWidget* parent);
// The edits' labels made as wide as the widest, so that the edits line up.
void alignLabels(std::initializer_list<TLabeledEdit*> edits);
// A window header: centred, navy, underlined Tahoma of `pixelSize`.
QLabel* accountHeading(const QString& text, int pixelSize, bool bold, QWidget* parent);

// A fixed-size account window: its name, its title and its Tahoma 8.
void accountDialog(QDialog* dialog, const char* name, const QString& title);
// The framed panel "Panel1" that holds a window's fields.
QFrame* accountPanel(QWidget* parent);
// The e-mail edit "ledLogin" with its hint, which screen readers give too.
TLabeledEdit* emailEdit(QWidget* parent);
// The window's column: the panel, and under it on the right "Сохранить"
// (the default button) and "Отмена".
void panelWithSaveCancel(QDialog* dialog, QFrame* panel, QPushButton*& btOK, QPushButton*& btCancel);

}  // namespace sor
