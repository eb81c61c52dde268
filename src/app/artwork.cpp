#include "app/artwork.h"

#include <QGuiApplication>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

namespace app {

QPixmap lampPixmap(const QColor &colour, int size)
{
    // Drawn at the display's resolution, so the lamps stay crisp when the
    // whole window is scaled.
    const qreal dpr = qApp ? qApp->devicePixelRatio() : 1.0;
    QPixmap pm(qRound(size * dpr), qRound(size * dpr));
    pm.setDevicePixelRatio(dpr);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    const qreal s = size;
    QRadialGradient body(QPointF(s * 0.4, s * 0.4), s * 0.6);
    body.setColorAt(0.0, colour.lighter(125));
    body.setColorAt(1.0, colour.darker(140));
    p.setPen(QPen(colour.darker(190), s / 16.0));
    p.setBrush(body);
    p.drawEllipse(QRectF(0.5, 0.5, s - 1.0, s - 1.0));
    // The white highlight, up and to the left.
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 255, 255, 230));
    p.drawEllipse(QRectF(s * 0.25, s * 0.2, s * 0.28, s * 0.22));
    return pm;
}

QPixmap unitIconPixmap(int size)
{
    QPixmap pm(size, size);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 32.0, size / 32.0);
    // Antenna.
    p.setPen(QPen(QColor(0x30, 0x30, 0x30), 2.0, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(23, 9), QPointF(23, 2));
    // Body.
    p.setPen(QPen(QColor(0x20, 0x28, 0x38), 1.0));
    p.setBrush(QColor(0x3A, 0x4E, 0x7A));
    p.drawRoundedRect(QRectF(5.5, 8.5, 21, 22), 3, 3);
    // Display reading "M7", drawn as strokes: no font is needed for it.
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0xB8, 0xE9, 0x86));
    p.drawRect(QRectF(8, 11, 16, 7));
    const QPolygonF m{{11, 16.6}, {11, 12.1}, {12.7, 12.1}, {14.15, 14.3}, {15.6, 12.1}, {17.3, 12.1}, {17.3, 16.6},
                      {16, 16.6}, {16, 13.7}, {14.75, 15.5}, {13.55, 15.5}, {12.3, 13.7}, {12.3, 16.6}};
    const QPolygonF seven{{17.6, 12.1}, {20.6, 12.1}, {20.6, 13.2}, {19, 16.6}, {17.6, 16.6}, {19.2, 13.3}, {17.6, 13.3}};
    p.setBrush(QColor(0x1C, 0x3A, 0x10));
    p.drawPolygon(m);
    p.drawPolygon(seven);
    // Keys and the serial socket lamp.
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0xDD, 0xDD, 0xDD));
    for (int r = 0; r < 2; ++r)
        for (int c = 0; c < 3; ++c)
            p.drawRect(QRectF(9 + c * 5, 21 + r * 4, 3, 2.5));
    p.setBrush(lampGreen());
    p.drawEllipse(QRectF(22.5, 21, 3, 3));
    return pm;
}

QIcon windowIcon()
{
    // The sizes a title bar and a task bar use; the installed theme icons
    // carry the larger ones.
    QIcon icon;
    for (int s : {16, 32})
        icon.addPixmap(unitIconPixmap(s));
    return icon;
}

} // namespace app
