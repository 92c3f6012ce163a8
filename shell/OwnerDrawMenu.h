// The main window's drop-down menus drawn by the program itself: each
// command shows the toolbar image of the same command at its left, checked
// items a "√" in the image area, the selected item a raised frame around its
// image and a sunken frame around its text, greyed items embossed text and a
// blended image, and separators an etched double line.
#pragma once

#include "platform/Canvas.h"

#include <QPointer>
#include <QProxyStyle>

class QMenu;
class QMenuBar;
class QToolBar;

struct CMenuItemPaint {
    QRect rect;
    QString text;  // as the menu holds it: & marks the mnemonic
    QPixmap image; // null: no toolbar button has this command
    bool separator = false;
    bool selected = false;
    bool checked = false;
    bool greyed = false;
};

class COwnerDrawMenu : public QProxyStyle {
    Q_OBJECT
public:
    COwnerDrawMenu();

    // Takes the images from the toolbar and makes the menus of the menu bar
    // (and their submenus) drawn here, items added to them later included;
    // once only. Returns the number of top-level positions (or 1 when
    // already converted).
    int Convert(QMenuBar* bar, QToolBar* toolbar);

    // What one item draws, and how big it is: the text's box within the item
    // holds the text as drawn (mnemonic marks hidden, tabs expanded).
    void DrawItem(CCanvas& canvas, const CMenuItemPaint& item) const;
    QSize MeasureItem(const QString& text, bool separator, const QFontMetrics& metrics) const;

    QSize sizeFromContents(ContentsType type, const QStyleOption* option, const QSize& size,
                           const QWidget* widget) const override;
    void drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                     const QWidget* widget) const override;

    int m_nSeparatorHeight = 10;
    bool m_bConverted = false;
    QColor m_background, m_selectedText, m_text;
    int m_nImageWidth = 16;
    int m_nImageHeight = 15;

protected:
    // Items added to a converted menu get their image, and submenus are
    // converted, as at Convert.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void ConvertMenu(QMenu* menu);
    void ConvertItem(QAction* item);
    QRect TextBox(const QRect& item) const;
    void Embossed(CCanvas& canvas, const QRect& box, const QString& text) const;

    QPointer<QToolBar> m_pToolbar;
};
