#include "app/Hyperlink.h"

#include <QDesktopServices>
#include <QMouseEvent>
#include <QUrl>

THyperLink::THyperLink(QWidget* parent) : QLabel(parent)
{
    setCursor(Qt::PointingHandCursor);
    QFont f = font();
    f.setUnderline(true);
    setFont(f);
    SetColor(QColor(0, 0, 255));
}

void THyperLink::SetColor(const QColor& color)
{
    QPalette p = palette();
    p.setColor(QPalette::WindowText, color);
    setPalette(p);
}

void THyperLink::Click()
{
    // The result is not examined: the desktop tells the user itself when it
    // has no program for the address.
    QDesktopServices::openUrl(QUrl(url));
    emit clicked();
    visited = true;
    SetColor(QColor(128, 0, 128));
}

void THyperLink::mouseReleaseEvent(QMouseEvent* event)
{
    QLabel::mouseReleaseEvent(event);
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        Click();
}
