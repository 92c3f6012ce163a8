// The drawing of a vessel outline file: the first line holds the number of
// points, each further line one point "x y". Points are drawn relative to
// the control pixel (65, 180), the antenna's place; a line starts there.
#pragma once

#include <QString>
#include <QWidget>

class CCanvas;

class CShapePreview : public QWidget {
    Q_OBJECT
public:
    static constexpr int kWidth = 136;
    static constexpr int kHeight = 289;
    // At most this many points of a file are drawn.
    static constexpr int kMaxPoints = 256;

    explicit CShapePreview(QWidget* parent = nullptr);

    void SetPath(const QString& path);
    QString Path() const { return m_strPath; }

    // The frame, then the outline of the file at `path` in red. A line of the
    // file that does not hold two numbers draws nothing but still counts as
    // one of the points announced.
    static void Draw(CCanvas& canvas, const QString& path);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString m_strPath;
};
