#include "shell/OwnerDrawMenu.h"

#include <QAction>
#include <QActionEvent>
#include <QApplication>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QStyleOptionMenuItem>
#include <QToolBar>
#include <cstdlib>

namespace {
const QColor kSeparatorDark(64, 0, 128);
const QColor kShadow(127, 127, 127);
const QString kCheckMark = QStringLiteral("√");
} // namespace

COwnerDrawMenu::COwnerDrawMenu() {
    // The colours are read once.
    const QPalette palette = QApplication::palette("QMenu");
    m_background = palette.color(QPalette::Window);
    m_selectedText = palette.color(QPalette::HighlightedText);
    m_text = palette.color(QPalette::WindowText);
    // The selected item keeps the menu's background, framed: where the
    // highlight's text colour hardly differs from it (white on light grey)
    // the text would vanish, so it is drawn in the menu's text colour.
    if (std::abs(m_selectedText.lightness() - m_background.lightness()) < 96)
        m_selectedText = m_text;
}

int COwnerDrawMenu::Convert(QMenuBar* bar, QToolBar* toolbar) {
    if (m_bConverted)
        return 1;
    m_pToolbar = toolbar;
    int buttons = 0;
    QSize image;
    for (QAction* action : toolbar->actions()) {
        if (action->isSeparator())
            continue;
        ++buttons;
        image = toolbar->iconSize();
    }
    if (buttons > 0) {
        m_nImageWidth = image.width();
        m_nImageHeight = image.height();
    }
    const QList<QAction*> positions = bar->actions();
    for (QAction* position : positions) {
        if (QMenu* menu = position->menu())
            ConvertMenu(menu);
    }
    m_bConverted = true;
    return static_cast<int>(positions.size());
}

void COwnerDrawMenu::ConvertMenu(QMenu* menu) {
    menu->setStyle(this);
    menu->installEventFilter(this);
    for (QAction* item : menu->actions())
        ConvertItem(item);
}

void COwnerDrawMenu::ConvertItem(QAction* item) {
    if (item->isSeparator())
        return;
    // The image of the first toolbar button with the same command.
    const QVariant id = item->data();
    if (m_pToolbar && id.isValid()) {
        for (QAction* button : m_pToolbar->actions()) {
            if (!button->isSeparator() && button->data() == id) {
                item->setIcon(button->icon());
                break;
            }
        }
    }
    if (QMenu* sub = item->menu())
        ConvertMenu(sub);
}

bool COwnerDrawMenu::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::ActionAdded && qobject_cast<QMenu*>(watched))
        ConvertItem(static_cast<QActionEvent*>(event)->action());
    return QProxyStyle::eventFilter(watched, event);
}

QRect COwnerDrawMenu::TextBox(const QRect& item) const {
    // Right of the image area and its frame, 2 pixels in from the sunken frame.
    return QRect(QPoint(item.left() + m_nImageWidth + 6, item.top()), item.bottomRight())
        .adjusted(2, 2, -2, -2);
}

QSize COwnerDrawMenu::MeasureItem(const QString& text, bool separator,
                                  const QFontMetrics& metrics) const {
    if (separator)
        return QSize(m_nImageWidth + 4, m_nSeparatorHeight);
    // As wide as needed for the text's box to hold the text as drawn, and one
    // pixel more for the embossed copy of a greyed item.
    const QSize item(1000, m_nImageHeight + 4);
    const int margins = item.width() - TextBox(QRect(QPoint(), item)).width();
    return QSize(CCanvas::TextBoxWidth(metrics, text) + margins + 1, item.height());
}

void COwnerDrawMenu::Embossed(CCanvas& canvas, const QRect& box, const QString& text) const {
    canvas.TextBox(box.translated(1, 1).adjusted(0, 0, -1, -1), text, Qt::white,
                   CCanvas::TextLayout::SingleLineCentred);
    canvas.TextBox(box, text, kShadow, CCanvas::TextLayout::SingleLineCentred);
}

void COwnerDrawMenu::DrawItem(CCanvas& canvas, const CMenuItemPaint& item) const {
    QRect r = item.rect;
    canvas.FillRect(r, m_background);
    const QColor textColour = item.selected ? m_selectedText : m_text;
    if (item.separator) {
        const int middle = r.top() + r.height() / 2;
        canvas.Frame3d(QRect(QPoint(r.left() + 2, middle - 1), QPoint(r.right() - 2, middle)),
                       kSeparatorDark, Qt::white);
        return;
    }
    QRect imageBox(QPoint(r.left(), r.top()),
                   QPoint(r.left() + m_nImageWidth + 4 - 1, r.top() + m_nImageHeight + 4 - 1));
    const bool hasImage = !item.image.isNull();
    if (item.checked || hasImage) {
        if (!item.greyed && item.selected)
            canvas.Frame3d(imageBox, Qt::white, kShadow); // raised
        if (item.checked && item.greyed) {
            Embossed(canvas, imageBox, kCheckMark);
        } else if (item.checked) {
            canvas.TextBox(imageBox.adjusted(2, 2, -2, -2), kCheckMark, textColour,
                           CCanvas::TextLayout::SingleLineCentred);
        } else {
            canvas.Image(QPoint(r.left() + 2, r.top() + 2), item.image, item.greyed);
        }
        r.setLeft(r.left() + m_nImageWidth + 6);
    }
    const QRect textBox = TextBox(item.rect);
    if (item.selected)
        canvas.Frame3d(r, kShadow, Qt::white); // sunken
    if (item.greyed)
        Embossed(canvas, textBox, item.text);
    else
        canvas.TextBox(textBox, item.text, textColour, CCanvas::TextLayout::FromTop);
}

QSize COwnerDrawMenu::sizeFromContents(ContentsType type, const QStyleOption* option,
                                       const QSize& size, const QWidget* widget) const {
    const auto* item = qstyleoption_cast<const QStyleOptionMenuItem*>(option);
    if (type != CT_MenuItem || !item)
        return QProxyStyle::sizeFromContents(type, option, size, widget);
    return MeasureItem(item->text, item->menuItemType == QStyleOptionMenuItem::Separator,
                       QFontMetrics(item->font));
}

void COwnerDrawMenu::drawControl(ControlElement element, const QStyleOption* option,
                                 QPainter* painter, const QWidget* widget) const {
    const auto* item = qstyleoption_cast<const QStyleOptionMenuItem*>(option);
    if (element != CE_MenuItem || !item) {
        QProxyStyle::drawControl(element, option, painter, widget);
        return;
    }
    CMenuItemPaint paint;
    paint.rect = item->rect;
    paint.text = item->text;
    paint.separator = item->menuItemType == QStyleOptionMenuItem::Separator;
    paint.selected = item->state & State_Selected;
    paint.greyed = !(item->state & State_Enabled);
    paint.checked = item->checkType != QStyleOptionMenuItem::NotCheckable && item->checked;
    if (!item->icon.isNull())
        paint.image = item->icon.pixmap(QSize(m_nImageWidth, m_nImageHeight));
    CPainterCanvas canvas(*painter, widget ? widget->size() : item->rect.size());
    painter->setFont(item->font);
    DrawItem(canvas, paint);
}
