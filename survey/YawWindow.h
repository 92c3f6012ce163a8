// "偏航窗口": the cross-track gauge, a window of its own beside the chart.
#pragma once

#include <QDialog>

class CCanvas;

class CYawWindow : public QDialog {
    Q_OBJECT
public:
    explicit CYawWindow(QWidget* parent = nullptr);

    // The gauge for a client area `width` pixels wide: the scale spans
    // 1005 units of that width, the centre at unit 500.
    static void Draw(CCanvas& canvas, int width);
    static int ScaleX(int width, int unit) { return width * unit / 1005; }

    int m_nWidth = 0;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
};
