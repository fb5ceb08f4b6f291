#include "app/Icon.h"

#include <QFile>
#include <QPainter>
#include <QPixmap>
#include <QSvgRenderer>

QIcon NorvaneIcon()
{
    Q_INIT_RESOURCE(norvane);
    QFile file(QStringLiteral(":/norvane.svg"));
    QIcon icon;
    if (!file.open(QIODevice::ReadOnly))
        return icon;
    QSvgRenderer renderer(file.readAll());
    for (const int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
        QPixmap pixmap(size, size);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        renderer.render(&painter);
        painter.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}
