#include "ButtonIcons.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

#include <functional>

namespace tallowby {

namespace {

// Every picture is drawn on a 48-unit square and rendered at the sizes the
// buttons ask for, so it stays sharp on high-density screens.
QIcon Painted(const std::function<void(QPainter&)>& draw) {
    QIcon icon;
    for (int size : {16, 24, 32, 48, 64}) {
        QPixmap pixmap(size, size);
        pixmap.fill(Qt::transparent);
        QPainter p(&pixmap);
        p.setRenderHint(QPainter::Antialiasing);
        p.scale(size / 48.0, size / 48.0);
        draw(p);
        p.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}

const QColor kInk(0x2b, 0x3a, 0x55);
const QColor kBlue(0x2f, 0x6f, 0xc4);
const QColor kPaleBlue(0xd6, 0xe6, 0xfa);
const QColor kGreen(0x2e, 0x9a, 0x4e);
const QColor kRed(0xc8, 0x32, 0x32);
const QColor kPaper(0xfd, 0xfd, 0xfb);

QPen Pen(const QColor& color, double width) {
    QPen pen(color, width);
    pen.setCapStyle(Qt::RoundCap);
    pen.setJoinStyle(Qt::RoundJoin);
    return pen;
}

// A sheet of paper with a folded corner and a few lines of text.
void Page(QPainter& p, QRectF r, int lines) {
    QPainterPath sheet;
    const double fold = r.width() * 0.3;
    sheet.moveTo(r.topLeft());
    sheet.lineTo(r.right() - fold, r.top());
    sheet.lineTo(r.right(), r.top() + fold);
    sheet.lineTo(r.bottomRight());
    sheet.lineTo(r.bottomLeft());
    sheet.closeSubpath();
    p.setPen(Pen(kInk, 2));
    p.setBrush(kPaper);
    p.drawPath(sheet);
    p.drawLine(QPointF(r.right() - fold, r.top()), QPointF(r.right() - fold, r.top() + fold));
    p.drawLine(QPointF(r.right() - fold, r.top() + fold), QPointF(r.right(), r.top() + fold));
    p.setPen(Pen(QColor(0x8a, 0x96, 0xab), 2));
    for (int i = 0; i < lines; ++i) {
        const double y = r.top() + fold + 5 + i * 6;
        if (y > r.bottom() - 4) {
            break;
        }
        p.drawLine(QPointF(r.left() + 5, y), QPointF(r.right() - 6 - (i % 2) * 5, y));
    }
}

void Globe(QPainter& p, QPointF centre, double radius) {
    p.setPen(Pen(kBlue, 2.2));
    p.setBrush(kPaleBlue);
    p.drawEllipse(centre, radius, radius);
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(centre, radius * 0.45, radius);
    p.drawLine(QPointF(centre.x() - radius, centre.y()), QPointF(centre.x() + radius, centre.y()));
    p.drawLine(QPointF(centre.x(), centre.y() - radius), QPointF(centre.x(), centre.y() + radius));
    const double dy = radius * 0.55;
    const double dx = radius * 0.83;
    p.drawLine(QPointF(centre.x() - dx, centre.y() - dy),
               QPointF(centre.x() + dx, centre.y() - dy));
    p.drawLine(QPointF(centre.x() - dx, centre.y() + dy),
               QPointF(centre.x() + dx, centre.y() + dy));
}

void Arrow(QPainter& p, QPointF from, QPointF to, const QColor& color, double width) {
    p.setPen(Pen(color, width));
    p.drawLine(from, to);
    const QLineF shaft(to, from);
    QLineF head1 = shaft;
    head1.setLength(width * 3);
    head1.setAngle(shaft.angle() + 35);
    QLineF head2 = shaft;
    head2.setLength(width * 3);
    head2.setAngle(shaft.angle() - 35);
    p.drawLine(head1);
    p.drawLine(head2);
}

void Chevrons(QPainter& p, bool right) {
    p.setPen(Pen(kBlue, 4));
    p.setBrush(Qt::NoBrush);
    const double dir = right ? 1 : -1;
    for (double x : {16.0, 28.0}) {
        const double tip = 24 + dir * (x - 22);
        QPolygonF chevron;
        chevron << QPointF(tip - dir * 8, 12) << QPointF(tip, 24) << QPointF(tip - dir * 8, 36);
        p.drawPolyline(chevron);
    }
    p.setPen(Pen(kInk, 3));
    const double bar = right ? 40 : 8;
    p.drawLine(QPointF(bar, 10), QPointF(bar, 38));
}

}  // namespace

QIcon ToggleViewIcon() {
    return Painted([](QPainter& p) {
        p.setPen(Pen(kInk, 2));
        p.setBrush(kPaper);
        p.drawRoundedRect(QRectF(5, 8, 22, 30), 2, 2);
        p.setBrush(kPaleBlue);
        p.drawRoundedRect(QRectF(21, 12, 22, 30), 2, 2);
        p.setPen(Pen(kBlue, 2));
        for (int i = 0; i < 3; ++i) {
            p.drawLine(QPointF(25, 20 + i * 6), QPointF(39, 20 + i * 6));
        }
        Arrow(p, QPointF(8, 44), QPointF(18, 44), kGreen, 2.2);
    });
}

QIcon ScanIcon() {
    return Painted([](QPainter& p) {
        Page(p, QRectF(5, 4, 26, 34), 5);
        p.setPen(Pen(kInk, 3));
        p.setBrush(QColor(255, 255, 255, 170));
        p.drawEllipse(QPointF(29, 27), 9, 9);
        p.setPen(Pen(kInk, 5));
        p.drawLine(QPointF(36, 34), QPointF(43, 42));
    });
}

QIcon StopIcon() {
    return Painted([](QPainter& p) {
        QPolygonF octagon;
        for (int i = 0; i < 8; ++i) {
            const QLineF spoke = QLineF::fromPolar(19, 22.5 + i * 45).translated(24, 24);
            octagon << spoke.p2();
        }
        p.setPen(Pen(QColor(0x8c, 0x1c, 0x1c), 2));
        p.setBrush(kRed);
        p.drawPolygon(octagon);
        p.setPen(Pen(Qt::white, 5));
        p.drawLine(QPointF(15, 24), QPointF(33, 24));
    });
}

QIcon OptionsIcon() {
    return Painted([](QPainter& p) {
        for (int i = 0; i < 3; ++i) {
            const double y = 12 + i * 12;
            p.setPen(Pen(kInk, 3));
            p.drawLine(QPointF(7, y), QPointF(41, y));
            const double knob = i == 1 ? 30 : (i == 0 ? 16 : 22);
            p.setPen(Pen(kInk, 2));
            p.setBrush(i == 1 ? kGreen : kBlue);
            p.drawEllipse(QPointF(knob, y), 5, 5);
        }
    });
}

QIcon WebsiteIcon() {
    return Painted([](QPainter& p) { Globe(p, QPointF(24, 24), 18); });
}

QIcon SelectAllIcon() {
    return Painted([](QPainter& p) {
        for (int i = 0; i < 3; ++i) {
            const double y = 8 + i * 13;
            p.setPen(Pen(kInk, 2));
            p.setBrush(kPaper);
            p.drawRect(QRectF(6, y, 10, 10));
            p.setPen(Pen(kGreen, 3));
            p.drawPolyline(QPolygonF()
                           << QPointF(8, y + 5) << QPointF(11, y + 8) << QPointF(17, y - 1));
            p.setPen(Pen(QColor(0x8a, 0x96, 0xab), 3));
            p.drawLine(QPointF(22, y + 5), QPointF(42, y + 5));
        }
    });
}

QIcon OpenFileIcon() {
    return Painted([](QPainter& p) {
        Page(p, QRectF(8, 4, 28, 38), 5);
        p.setPen(Pen(QColor(0x7a, 0x4a, 0x12), 2));
        p.setBrush(QColor(0xf2, 0xb1, 0x3c));
        QPolygonF pencil;
        pencil << QPointF(40, 20) << QPointF(45, 25) << QPointF(28, 42) << QPointF(22, 44)
               << QPointF(23, 37);
        p.drawPolygon(pencil);
    });
}

QIcon OpenReferrerIcon() {
    return Painted([](QPainter& p) {
        Globe(p, QPointF(28, 28), 15);
        Arrow(p, QPointF(5, 8), QPointF(21, 22), kGreen, 3.5);
    });
}

QIcon ExportIcon() {
    return Painted([](QPainter& p) {
        Page(p, QRectF(5, 4, 28, 38), 0);
        QFont font;
        font.setPixelSize(11);
        font.setBold(true);
        p.setFont(font);
        p.setPen(kBlue);
        p.drawText(QRectF(5, 14, 26, 14), Qt::AlignCenter, QStringLiteral("</>"));
        Arrow(p, QPointF(24, 36), QPointF(44, 36), kGreen, 3.5);
    });
}

QIcon ExpandIcon() {
    return Painted([](QPainter& p) { Chevrons(p, true); });
}

QIcon ContractIcon() {
    return Painted([](QPainter& p) { Chevrons(p, false); });
}

}  // namespace tallowby
