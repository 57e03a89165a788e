#pragma once

// Turns a dialog template into Qt widgets on a QDialog: caption, font (the
// template's, or the platform's sans serif where it is missing), fixed size, window
// flags, one widget per control placed by dialog units, tab order as the template
// order, the default push button. Controls are found by id afterwards.

#include "app/res/dialog_templates.h"

#include <QFont>
#include <QRect>

class QDialog;
class QWidget;

namespace qv::qt {

// Dialog-unit base of a font: horizontal unit = average character width / 4,
// vertical unit = character height / 8, in pixels (fractional).
struct DialogUnits {
    double x;
    double y;
};
DialogUnits dialogUnitsOf(const QFont& font);
// A rectangle in dialog units to pixels, rounded to the nearest pixel.
QRect dluToPixels(const DialogUnits& base, int x, int y, int w, int h);

// The template's font (family and point size), falling back to the platform's sans
// serif where the family is missing.
QFont templateFont(const res::DialogTemplate& tpl);

// Builds `tpl` into `dialog` (which must have no children yet). Controls with an id
// other than -1 carry it in the "qvControlId" property.
void buildDialog(const res::DialogTemplate& tpl, QDialog& dialog);

// The child of `dialog` with control id `id`, or null.
QWidget* controlById(const QWidget* dialog, int id);

} // namespace qv::qt
