// Dialogs are laid out by layouts, by what they hold; the sizes they start
// from are given in dialog units: a quarter of the dialog font's average
// character width horizontally, an eighth of its height vertically.
#pragma once

#include <QFont>
#include <QFontMetrics>
#include <QLayout>
#include <QRect>
#include <QWidget>
#include <algorithm>

inline QRect DialogUnits(const QWidget* dialog, int x, int y, int w, int h) {
    const QFontMetrics metrics(dialog->font());
    const int baseX = metrics.averageCharWidth();
    const int baseY = metrics.height();
    return QRect(x * baseX / 4, y * baseY / 8, w * baseX / 4, h * baseY / 8);
}

// Sizes a window laid out by a layout (call once its layout is complete): its
// preferred width, at least `width`, and at least as wide as its title needs
// beside the window manager's icon and buttons (titles are often drawn in
// bold), so that the title is never cut short; as tall as the layout needs
// at that width (word-wrapped texts).
inline void SizeToContents(QWidget* window, int width = 0) {
    constexpr int kDecoration = 140; // icon, minimise, maximise and close, and margins
    QFont bold = window->font();
    bold.setBold(true);
    const int title = QFontMetrics(bold).horizontalAdvance(window->windowTitle()) + kDecoration;
    QLayout* layout = window->layout();
    if (!layout) {
        window->resize(std::max({window->width(), width, title}), window->height());
        return;
    }
    layout->activate();
    const int w = std::max({layout->totalSizeHint().width(), width, title});
    const int h = layout->hasHeightForWidth() ? layout->totalHeightForWidth(w)
                                              : layout->totalSizeHint().height();
    window->resize(w, qMax(h, layout->totalMinimumSize().height()));
}
