#include "editor/qt/editor_icons.h"

#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>

namespace zq {

namespace {

// An arrow from the centre towards `angle` degrees (0 = up, clockwise).
void Arrow(QPainter& p, double angle, const QColor& colour) {
    p.save();
    p.translate(12, 12);
    p.rotate(angle);
    p.setPen(Qt::NoPen);
    p.setBrush(colour);
    QPolygonF head;
    head << QPointF(0, -9) << QPointF(7, -1) << QPointF(2.5, -1) << QPointF(2.5, 8) << QPointF(-2.5, 8)
         << QPointF(-2.5, -1) << QPointF(-7, -1);
    p.drawPolygon(head);
    p.restore();
}

void TurnArrow(QPainter& p, bool right, const QColor& colour) {
    p.setPen(QPen(colour, 2.5));
    p.setBrush(Qt::NoBrush);
    p.drawArc(QRectF(5, 6, 14, 14), right ? 200 * 16 : -20 * 16, right ? -220 * 16 : 220 * 16);
    p.setPen(Qt::NoPen);
    p.setBrush(colour);
    QPolygonF tip;
    if (right)
        tip << QPointF(18, 3) << QPointF(22, 11) << QPointF(14, 10);
    else
        tip << QPointF(6, 3) << QPointF(2, 11) << QPointF(10, 10);
    p.drawPolygon(tip);
}

void Block(QPainter& p, const QRectF& r, const QColor& colour) {
    p.setPen(QPen(colour.darker(180), 1));
    p.setBrush(colour);
    p.drawRect(r);
    QPolygonF top;
    top << r.topLeft() << r.topLeft() + QPointF(4, -4) << r.topRight() + QPointF(4, -4) << r.topRight();
    p.setBrush(colour.lighter(130));
    p.drawPolygon(top);
    QPolygonF side;
    side << r.topRight() << r.topRight() + QPointF(4, -4) << r.bottomRight() + QPointF(4, -4) << r.bottomRight();
    p.setBrush(colour.darker(130));
    p.drawPolygon(side);
}

void Sun(QPainter& p, const QColor& colour, bool rays) {
    p.setPen(QPen(colour, 2));
    if (rays)
        for (int i = 0; i < 8; ++i) {
            p.save();
            p.translate(12, 12);
            p.rotate(45.0 * i);
            p.drawLine(QPointF(0, -7), QPointF(0, -10.5));
            p.restore();
        }
    p.setBrush(colour);
    p.drawEllipse(QPointF(12, 12), 5, 5);
}

void Letter(QPainter& p, const QString& text, const QColor& colour) {
    QFont f = p.font();
    f.setBold(true);
    f.setPixelSize(13);
    p.setFont(f);
    p.setPen(colour);
    p.drawText(QRectF(0, 0, 24, 24), Qt::AlignCenter, text);
}

}  // namespace

QPixmap EditorIcon(const QString& name, int side) {
    QPixmap pixmap(24, 24);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    const QColor blue(40, 90, 170), green(40, 140, 60), gold(200, 150, 30), red(190, 40, 40), grey(90, 90, 90);
    if (name == "I_MoveForward") Arrow(p, 0, blue);
    else if (name == "I_MoveBack") Arrow(p, 180, blue);
    else if (name == "I_MoveLeft") Arrow(p, 270, blue);
    else if (name == "I_MoveRight") Arrow(p, 90, blue);
    else if (name == "I_RotateLeft") TurnArrow(p, false, blue);
    else if (name == "I_RotateRight") TurnArrow(p, true, blue);
    else if (name == "I_GoUp") { Arrow(p, 0, green); p.fillRect(QRectF(4, 21, 16, 2), green); }
    else if (name == "I_GoDown") { Arrow(p, 180, green); p.fillRect(QRectF(4, 1, 16, 2), green); }
    else if (name == "I_ZoomIn" || name == "I_ZoomOut") {
        p.setPen(QPen(grey, 2));
        p.setBrush(Qt::white);
        p.drawEllipse(QPointF(10, 10), 7, 7);
        p.drawLine(QPointF(15, 15), QPointF(21, 21));
        p.drawLine(QPointF(7, 10), QPointF(13, 10));
        if (name == "I_ZoomIn") p.drawLine(QPointF(10, 7), QPointF(10, 13));
    } else if (name == "I_LookUp" || name == "I_LookDown") {
        p.setPen(QPen(grey, 1.5));
        p.setBrush(Qt::white);
        p.drawEllipse(QPointF(12, 12), 9, 6);
        p.setBrush(blue);
        p.drawEllipse(QPointF(12, name == "I_LookUp" ? 9.5 : 14.5), 3, 3);
    } else if (name == "I_PutBlock") Block(p, QRectF(4, 8, 13, 13), gold);
    else if (name == "I_DelBlock") {
        Block(p, QRectF(4, 8, 13, 13), QColor(150, 150, 150));
        p.setPen(QPen(red, 3));
        p.drawLine(QPointF(3, 4), QPointF(21, 22));
        p.drawLine(QPointF(21, 4), QPointF(3, 22));
    } else if (name == "I_Brighter") Sun(p, QColor(230, 180, 20), true);
    else if (name == "I_Darker") Sun(p, QColor(70, 70, 110), false);
    else if (name == "I_RaiseUp" || name == "I_RaiseDown") {
        p.setPen(QPen(grey, 1));
        p.setBrush(QColor(170, 140, 100));
        const bool up = name == "I_RaiseUp";
        QPolygonF slab;
        slab << QPointF(3, 21) << QPointF(21, 21) << QPointF(21, up ? 12 : 16) << QPointF(3, up ? 12 : 16);
        p.drawPolygon(slab);
        p.save();
        p.translate(0, -3);
        p.scale(1, 0.55);
        Arrow(p, up ? 0 : 180, green);
        p.restore();
    } else if (name == "I_SFX") {
        p.setPen(QPen(QColor(20, 150, 160), 2));
        p.setBrush(QColor(200, 245, 245));
        p.drawEllipse(QPointF(12, 12), 9, 9);
        p.setBrush(QColor(20, 150, 160));
        for (int i = 0; i < 4; ++i) {
            p.save();
            p.translate(12, 12);
            p.rotate(90.0 * i);
            p.drawEllipse(QPointF(0, -5), 1.8, 1.8);
            p.restore();
        }
    } else if (name == "I_Start") {
        p.setPen(QPen(grey, 2));
        p.drawLine(QPointF(6, 3), QPointF(6, 22));
        p.setPen(Qt::NoPen);
        p.setBrush(green);
        QPolygonF flag;
        flag << QPointF(7, 3) << QPointF(20, 7) << QPointF(7, 12);
        p.drawPolygon(flag);
    } else if (name == "I_Exit") {
        p.setPen(QPen(QColor(90, 60, 30), 1.5));
        p.setBrush(QColor(150, 100, 50));
        p.drawRect(QRectF(6, 3, 12, 19));
        p.setBrush(gold);
        p.drawEllipse(QPointF(15, 13), 1.5, 1.5);
    } else {
        Letter(p, "?", grey);
    }
    p.end();
    return side == 24 ? pixmap : pixmap.scaled(side, side, Qt::KeepAspectRatio, Qt::SmoothTransformation);
}

}  // namespace zq
