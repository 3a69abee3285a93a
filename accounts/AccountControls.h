#pragma once
// The controls the account windows share the look of: a button and a labelled
// edit (label in bold on its left), each named for the code and for screen readers.

#include <QString>
#include <initializer_list>

class QDialog;
class QFrame;
class QHBoxLayout;
class QLabel;
class QPushButton;
class QWidget;
class TLabeledEdit;

namespace sor {

QPushButton* accountButton(const QString& caption, const char* name, QWidget* parent);
TLabeledEdit* accountEdit(const QString& caption, const char* name, QWidget* parent);
// The edit takes at most `length` characters (the length of the column its
// text goes to); a character or a paste that does not fit is refused aloud
// ("E-mail: не более 254 символов.").
void limitEdit(TLabeledEdit* edit, int length);
// The edits' labels made as wide as the widest, so that the edits line up.
void alignLabels(std::initializer_list<TLabeledEdit*> edits);
// A window header: centred, navy, underlined Tahoma of `pixelSize`.
QLabel* accountHeading(const QString& text, int pixelSize, bool bold, QWidget* parent);

// A fixed-size account window: its name, its title and its Tahoma 8.
void accountDialog(QDialog* dialog, const char* name, const QString& title);
// A framed panel that holds some of a window's controls.
QFrame* accountPanel(QWidget* parent, const char* name = "Panel1");
// The e-mail edit "ledLogin" with its hint, which screen readers give too,
// taking no more than an address column holds (limitEdit).
TLabeledEdit* emailEdit(QWidget* parent);
// "Сохранить" (the default button) and "Отмена", on the right of their row.
QHBoxLayout* saveCancelRow(QDialog* dialog, QPushButton*& btOK, QPushButton*& btCancel);
// The window's column: the panel, and under it the Save/Cancel row.
void panelWithSaveCancel(QDialog* dialog, QFrame* panel, QPushButton*& btOK, QPushButton*& btCancel);

}  // namespace sor
