#include "ToolbarIcons.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace zorvik {
namespace {

void Camera(QPainter& p, QColor body) {
    p.setPen(QPen(body.darker(160), 1));
    p.setBrush(body);
    p.drawRoundedRect(QRectF(2.5, 4.5, 19, 10), 2, 2);
    p.drawRect(QRectF(7.5, 2.5, 6, 2));
    p.setBrush(Qt::white);
    p.drawEllipse(QPointF(12, 9.5), 3.6, 3.6);
    p.setBrush(body.darker(200));
    p.drawEllipse(QPointF(12, 9.5), 2, 2);
    p.setBrush(QColor(255, 240, 160));
    p.drawRect(QRectF(17.5, 6, 2.5, 1.5));
}

void Clipboard(QPainter& p) {
    p.setPen(QPen(QColor(110, 70, 30), 1));
    p.setBrush(QColor(200, 150, 90));
    p.drawRoundedRect(QRectF(6.5, 1.5, 11, 14), 1.5, 1.5);
    p.setBrush(Qt::white);
    p.drawRect(QRectF(8.5, 4.5, 7, 9.5));
    p.setBrush(QColor(150, 150, 150));
    p.drawRect(QRectF(9.5, 0.5, 5, 2.5));
    p.setPen(QPen(QColor(120, 120, 120), 1));
    for (double y : {7.0, 9.0, 11.0}) p.drawLine(QPointF(10, y), QPointF(14, y));
}

void Magnifier(QPainter& p, bool plus) {
    p.setPen(QPen(QColor(60, 60, 60), 2, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(14, 11), QPointF(18.5, 15));
    p.setPen(QPen(QColor(40, 40, 40), 1.2));
    p.setBrush(QColor(220, 240, 255));
    p.drawEllipse(QPointF(10.5, 7.5), 5, 5);
    p.setPen(QPen(QColor(20, 20, 120), 1.5));
    p.drawLine(QPointF(8, 7.5), QPointF(13, 7.5));
    if (plus) p.drawLine(QPointF(10.5, 5), QPointF(10.5, 10));
}

void Hand(QPainter& p) {
    QPainterPath palm;
    palm.addRoundedRect(QRectF(7, 7, 10, 8), 3, 3);
    p.setPen(QPen(QColor(90, 60, 30), 1));
    p.setBrush(QColor(250, 215, 170));
    for (int i = 0; i < 4; ++i)
        p.drawRoundedRect(QRectF(7.2 + 2.5 * i, 1.5 + (i == 0 || i == 3), 2.4, 8), 1.2, 1.2);
    p.drawRoundedRect(QRectF(3.5, 8, 5, 2.4), 1.2, 1.2);
    p.drawPath(palm);
}

void Cross(QPainter& p) {
    p.setPen(QPen(Qt::black, 1.2));
    p.drawLine(QPointF(12, 1.5), QPointF(12, 14.5));
    p.drawLine(QPointF(5, 8), QPointF(19, 8));
}

void Decode(QPainter& p) {
    // Three finder marks and a few modules.
    p.setPen(Qt::NoPen);
    auto finder = [&p](double x, double y) {
        p.setBrush(Qt::black);
        p.drawRect(QRectF(x, y, 5, 5));
        p.setBrush(Qt::white);
        p.drawRect(QRectF(x + 1, y + 1, 3, 3));
        p.setBrush(Qt::black);
        p.drawRect(QRectF(x + 2, y + 2, 1, 1));
    };
    p.setBrush(Qt::white);
    p.drawRect(QRectF(6, 1, 13, 13));
    finder(6.5, 1.5), finder(13.5, 1.5), finder(6.5, 8.5);
    p.setBrush(Qt::black);
    for (auto [x, y] :
         {std::pair{14.5, 9.5}, {16.5, 11.5}, {14.5, 12.5}, {17.5, 8.5}, {12.5, 11.5}})
        p.drawRect(QRectF(x, y, 1, 1));
}

} // namespace

QIcon ToolbarIcon(ToolbarPicture picture) {
    QPixmap pixmap(48, 32);
    pixmap.setDevicePixelRatio(2);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    switch (picture) {
    case ToolbarPicture::BlueCamera:
        Camera(p, QColor(40, 90, 200));
        break;
    case ToolbarPicture::RedCamera:
        Camera(p, QColor(200, 40, 40));
        break;
    case ToolbarPicture::Clipboard:
        Clipboard(p);
        break;
    case ToolbarPicture::ZoomOut:
        Magnifier(p, false);
        break;
    case ToolbarPicture::ZoomIn:
        Magnifier(p, true);
        break;
    case ToolbarPicture::Hand:
        Hand(p);
        break;
    case ToolbarPicture::Cross:
        Cross(p);
        break;
    case ToolbarPicture::Decode:
        Decode(p);
        break;
    }
    p.end();
    return QIcon(pixmap);
}

} // namespace zorvik
