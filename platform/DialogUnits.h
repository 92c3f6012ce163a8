// Dialog layouts are given in dialog units: a quarter of the dialog font's
// average character width horizontally, an eighth of its height vertically.
#pragma once

#include <QFontMetrics>
#include <QRect>
#include <QWidget>

inline QRect DialogUnits(const QWidget* dialog, int x, int y, int w, int h) {
    const QFontMetrics metrics(dialog->font());
    const int baseX = metrics.averageCharWidth();
    const int baseY = metrics.height();
    return QRect(x * baseX / 4, y * baseY / 8, w * baseX / 4, h * baseY / 8);
}

inline void PlaceInDialogUnits(QWidget* control, int x, int y, int w, int h) {
    control->setGeometry(DialogUnits(control->parentWidget(), x, y, w, h));
}
