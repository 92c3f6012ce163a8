// Dialog layouts are given in dialog units: a quarter of the dialog font's
// average character width horizontally, an eighth of its height vertically.
#pragma once

#include <QFontMetrics>
#include <QLabel>
#include <QRect>
#include <QWidget>

inline QRect DialogUnits(const QWidget* dialog, int x, int y, int w, int h) {
    const QFontMetrics metrics(dialog->font());
    const int baseX = metrics.averageCharWidth();
    const int baseY = metrics.height();
    return QRect(x * baseX / 4, y * baseY / 8, w * baseX / 4, h * baseY / 8);
}

// Places a control. A text wider than its box (Chinese glyphs are wider than
// the Latin average the units are measured in) grows to the dialog's edge.
inline void PlaceInDialogUnits(QWidget* control, int x, int y, int w, int h) {
    QRect box = DialogUnits(control->parentWidget(), x, y, w, h);
    if (qobject_cast<QLabel*>(control) && control->sizeHint().width() > box.width()) {
        const int room = control->parentWidget()->width() - box.left() - 4;
        box.setWidth(qMax(box.width(), qMin(control->sizeHint().width(), room)));
    }
    control->setGeometry(box);
}
