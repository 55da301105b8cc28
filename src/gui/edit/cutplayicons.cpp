#include "edit/cutplayicons.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace sonavell {

namespace {

constexpr int kSize = 18;

void drawMagnifier(QPainter &p, bool plus)
{
    p.setPen(QPen(QColor(40, 40, 40), 1.6));
    p.setBrush(QColor(210, 230, 250));
    p.drawEllipse(QRectF(2, 2, 10, 10));
    p.setPen(QPen(QColor(90, 60, 30), 2.6, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(11, 11), QPointF(16, 16));
    p.setPen(QPen(QColor(20, 20, 20), 1.4));
    p.drawLine(QPointF(4.5, 7), QPointF(9.5, 7));
    if (plus)
        p.drawLine(QPointF(7, 4.5), QPointF(7, 9.5));
}

void draw(QPainter &p, CutPlayIcon which)
{
    switch (which) {
    case CutPlayIcon::Open: {
        p.setPen(QPen(QColor(120, 90, 20), 1));
        p.setBrush(QColor(240, 200, 90));
        p.drawRect(QRectF(1.5, 4.5, 13, 10));
        p.drawRect(QRectF(1.5, 3.5, 5, 2));
        QPainterPath flap;
        flap.moveTo(3.5, 8.5);
        flap.lineTo(16.5, 8.5);
        flap.lineTo(14.5, 14.5);
        flap.lineTo(1.5, 14.5);
        flap.closeSubpath();
        p.setBrush(QColor(250, 225, 130));
        p.drawPath(flap);
        break;
    }
    case CutPlayIcon::Save:
        p.setPen(QPen(QColor(30, 40, 90), 1));
        p.setBrush(QColor(60, 90, 170));
        p.drawRect(QRectF(2.5, 2.5, 13, 13));
        p.setBrush(QColor(235, 235, 235));
        p.drawRect(QRectF(5.5, 2.5, 7, 5));
        p.setBrush(QColor(200, 200, 200));
        p.drawRect(QRectF(4.5, 10.5, 9, 5));
        break;
    case CutPlayIcon::Play: {
        QPainterPath triangle;
        triangle.moveTo(5, 3);
        triangle.lineTo(15, 9);
        triangle.lineTo(5, 15);
        triangle.closeSubpath();
        p.setPen(QPen(QColor(10, 90, 20), 1));
        p.setBrush(QColor(40, 170, 60));
        p.drawPath(triangle);
        break;
    }
    case CutPlayIcon::Stop:
        p.setPen(QPen(QColor(100, 10, 10), 1));
        p.setBrush(QColor(200, 40, 40));
        p.drawRect(QRectF(4.5, 4.5, 9, 9));
        break;
    case CutPlayIcon::Repeat: {
        p.setPen(QPen(QColor(20, 80, 150), 2));
        p.setBrush(Qt::NoBrush);
        p.drawArc(QRectF(3, 4, 12, 10), 30 * 16, 300 * 16);
        QPainterPath head;
        head.moveTo(12.5, 2.5);
        head.lineTo(16.5, 6.5);
        head.lineTo(11.5, 7.5);
        head.closeSubpath();
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(20, 80, 150));
        p.drawPath(head);
        break;
    }
    case CutPlayIcon::ZoomIn:
        drawMagnifier(p, true);
        break;
    case CutPlayIcon::ZoomOut:
        drawMagnifier(p, false);
        break;
    }
}

} // namespace

QIcon cutPlayIcon(CutPlayIcon which)
{
    QPixmap pixmap(kSize, kSize);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    draw(painter, which);
    painter.end();
    return QIcon(pixmap);
}

} // namespace sonavell
