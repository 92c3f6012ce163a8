#include "survey/YawWindow.h"

#include "platform/Canvas.h"

#include <QCoreApplication>
#include <QPainter>
#include <QResizeEvent>

CYawWindow::CYawWindow(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QCoreApplication::translate("SurveyDialogs", "偏航窗口"));
    setModal(false);
    setSizeGripEnabled(true);
    resize(700, 90);
    m_nWidth = width();
}

void CYawWindow::resizeEvent(QResizeEvent* event) {
    m_nWidth = event->size().width();
    QDialog::resizeEvent(event);
}

void CYawWindow::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    CPainterCanvas canvas(painter, size());
    Draw(canvas, m_nWidth);
}

void CYawWindow::Draw(CCanvas& canvas, int width) {
    const auto x = [width](int unit) { return ScaleX(width, unit); };
    const int centre = x(500);

    // Off track to the left in red, to the right in green.
    canvas.SelectPen(CPen{6, Qt::red});
    canvas.Line(x(1), 55, centre, 55);
    canvas.SelectPen(CPen{6, Qt::green});
    canvas.Line(centre, 55, x(1000), 55);

    canvas.SelectPen(CPen{1, Qt::black});
    canvas.Line(centre, 40, centre, 60);
    for (int i = 0; i <= 100; ++i) {
        canvas.Line(x(10 * i), 50, x(10 * i), 55);
        canvas.Line(x(50 * i), 45, x(50 * i), 55);
    }
    canvas.TextOut(x(496), 60, "0");

    // The vessel's marker over the centre, one level row at a time: the
    // half-width of each band of rows, and its rows [from, to).
    static const struct {
        int half, from, to;
    } bands[] = {{3, 21, 49}, {2, 53, 55}, {2, 18, 21}, {1, 49, 53}, {1, 15, 17}};
    for (const auto& band : bands) {
        for (int y = band.from; y < band.to; ++y)
            canvas.Line(centre - band.half, y, centre + band.half, y);
    }
}
