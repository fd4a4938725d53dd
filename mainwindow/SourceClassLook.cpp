#include "SourceClassLook.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace tallowby {

namespace {

QPen WhitePen(double width) {
    QPen pen(Qt::white, width);
    pen.setCapStyle(Qt::RoundCap);
    pen.setJoinStyle(Qt::RoundJoin);
    return pen;
}

// The glyph of a class, white, on a 48-unit square whose disc is coloured.
void Glyph(QPainter& p, SourceClass sourceClass) {
    p.setBrush(Qt::NoBrush);
    switch (sourceClass) {
        case SourceClass::Search:
            p.setPen(WhitePen(5));
            p.drawEllipse(QPointF(21, 21), 9, 9);
            p.drawLine(QPointF(28, 28), QPointF(35, 35));
            break;
        case SourceClass::Social: {
            QPainterPath bubble;
            bubble.addRoundedRect(QRectF(11, 12, 26, 18), 6, 6);
            bubble.moveTo(17, 29);
            bubble.lineTo(15, 37);
            bubble.lineTo(24, 29);
            p.setPen(Qt::NoPen);
            p.setBrush(Qt::white);
            p.drawPath(bubble.simplified());
            break;
        }
        case SourceClass::Ai: {
            QPainterPath star;
            star.moveTo(24, 9);
            star.quadTo(26, 22, 39, 24);
            star.quadTo(26, 26, 24, 39);
            star.quadTo(22, 26, 9, 24);
            star.quadTo(22, 22, 24, 9);
            p.setPen(Qt::NoPen);
            p.setBrush(Qt::white);
            p.drawPath(star);
            break;
        }
        case SourceClass::Website:
            p.setPen(WhitePen(3));
            p.drawEllipse(QPointF(24, 24), 13, 13);
            p.drawEllipse(QPointF(24, 24), 6, 13);
            p.drawLine(QPointF(11, 24), QPointF(37, 24));
            break;
        case SourceClass::Spam:
            p.setPen(WhitePen(5));
            p.drawLine(QPointF(14, 24), QPointF(34, 24));
            break;
    }
}

}  // namespace

QIcon SourceClassIcon(SourceClass sourceClass) {
    QIcon icon;
    for (const int size : {16, 24, 32, 48}) {
        QPixmap pixmap(size, size);
        pixmap.fill(Qt::transparent);
        QPainter p(&pixmap);
        p.setRenderHint(QPainter::Antialiasing);
        p.scale(size / 48.0, size / 48.0);
        p.setPen(Qt::NoPen);
        p.setBrush(SourceClassColour(sourceClass));
        p.drawEllipse(QPointF(24, 24), 22, 22);
        Glyph(p, sourceClass);
        p.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}

QColor SourceClassColour(SourceClass sourceClass) {
    // Told apart also by readers who do not see red and green apart.
    switch (sourceClass) {
        case SourceClass::Search:
            return {0x00, 0x72, 0xb2};
        case SourceClass::Social:
            return {0xa0, 0x4f, 0x9a};
        case SourceClass::Ai:
            return {0x00, 0x8f, 0x6b};
        case SourceClass::Website:
            return {0x6b, 0x76, 0x86};
        case SourceClass::Spam:
            return {0xd5, 0x5e, 0x00};
    }
    return Qt::gray;
}

QString SourceClassCaption(SourceClass sourceClass) {
    switch (sourceClass) {
        case SourceClass::Search:
            return QStringLiteral("Search engine");
        case SourceClass::Social:
            return QStringLiteral("Social network");
        case SourceClass::Ai:
            return QStringLiteral("AI assistant");
        case SourceClass::Website:
            return QStringLiteral("Website");
        case SourceClass::Spam:
            return QStringLiteral("Spam");
    }
    return {};
}

QString SourceClassPluralCaption(SourceClass sourceClass) {
    return sourceClass == SourceClass::Spam ? SourceClassCaption(sourceClass)
                                            : SourceClassCaption(sourceClass) + QLatin1Char('s');
}

}  // namespace tallowby
