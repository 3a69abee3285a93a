#pragma once
// The controls the account windows share the look of: a button and a labelled
// edit (label in bold on its left), each named for the code and for screen readers.

#include <QString>
#include <initializer_list>

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

}  // namespace sor
