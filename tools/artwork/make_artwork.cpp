// Draws the program's artwork: the application icon "AAA" at every size and
// colour depth, the splash picture and the About heading. The PNG files it
// writes are checked in under resources/; run the "artwork" build target to
// draw them again after changing this file.
//
// usage: tallowby_make_artwork OUTPUT_DIR

#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

#include <cstdio>

namespace {

const QColor kDeepBlue(0x1b, 0x3f, 0x73);
const QColor kTeal(0x23, 0x8a, 0xa8);
const QColor kOrange(0xf5, 0x9a, 0x23);
const QColor kOrangeDark(0xb9, 0x62, 0x0c);
const QColor kPaper(0xff, 0xff, 0xff);
const QColor kPaperShade(0xd5, 0xe2, 0xee);
const QColor kInk(0x9a, 0xab, 0xbd);

// A page with a folded top-right corner, in a 128-unit box.
void DrawPage(QPainter& p, const QRectF& r, bool lines) {
    const qreal fold = r.width() * 0.3;
    QPainterPath page;
    page.moveTo(r.left(), r.top());
    page.lineTo(r.right() - fold, r.top());
    page.lineTo(r.right(), r.top() + fold);
    page.lineTo(r.right(), r.bottom());
    page.lineTo(r.left(), r.bottom());
    page.closeSubpath();
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0, 0, 0, 60));
    p.drawPath(page.translated(r.width() * 0.05, r.width() * 0.05));
    p.setBrush(kPaper);
    p.drawPath(page);
    QPainterPath corner;
    corner.moveTo(r.right() - fold, r.top());
    corner.lineTo(r.right() - fold, r.top() + fold);
    corner.lineTo(r.right(), r.top() + fold);
    corner.closeSubpath();
    p.setBrush(kPaperShade);
    p.drawPath(corner);
    if (!lines) {
        return;
    }
    p.setBrush(kInk);
    const qreal h = r.height() * 0.06;
    for (int i = 0; i < 5; ++i) {
        const qreal y = r.top() + r.height() * (0.3 + 0.13 * i);
        const qreal right = i == 4 ? r.left() + r.width() * 0.55 : r.right() - r.width() * 0.15;
        p.drawRoundedRect(
            QRectF(r.left() + r.width() * 0.38, y, right - r.left() - r.width() * 0.38, h), h / 2,
            h / 2);
    }
}

// An arrow pointing right, its tip at `tip`, `length` long.
void DrawArrow(QPainter& p, QPointF tip, qreal length, qreal thickness) {
    const qreal head = thickness * 1.9;
    QPainterPath arrow;
    arrow.moveTo(tip);
    arrow.lineTo(tip.x() - head, tip.y() - head);
    arrow.lineTo(tip.x() - head, tip.y() - thickness / 2);
    arrow.lineTo(tip.x() - length, tip.y() - thickness / 2);
    arrow.lineTo(tip.x() - length, tip.y() + thickness / 2);
    arrow.lineTo(tip.x() - head, tip.y() + thickness / 2);
    arrow.lineTo(tip.x() - head, tip.y() + head);
    arrow.closeSubpath();
    p.setPen(QPen(kOrangeDark, thickness * 0.22, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    QLinearGradient fill(tip.x() - length, 0, tip.x(), 0);
    fill.setColorAt(0, kOrange.lighter(125));
    fill.setColorAt(1, kOrange);
    p.setBrush(fill);
    p.drawPath(arrow);
}

QImage Icon(int size) {
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 128.0, size / 128.0);
    const bool small = size <= 16;
    QLinearGradient bg(0, 0, 0, 128);
    bg.setColorAt(0, kTeal);
    bg.setColorAt(1, kDeepBlue);
    p.setPen(Qt::NoPen);
    p.setBrush(bg);
    p.drawRoundedRect(QRectF(4, 4, 120, 120), 24, 24);
    DrawPage(p, small ? QRectF(50, 18, 62, 92) : QRectF(50, 18, 60, 88), size >= 32);
    DrawArrow(p, QPointF(small ? 84 : 82, 66), small ? 72 : 70, small ? 30 : 22);
    return image;
}

// Flattened on white: the 24-bit image has no alpha.
QImage Flatten(const QImage& argb) {
    QImage out(argb.size(), QImage::Format_RGB888);
    out.fill(Qt::white);
    QPainter p(&out);
    p.drawImage(0, 0, argb);
    return out;
}

// 8 bits: a palette of at most 256 colours, pixels either opaque or fully
// transparent as in classic icons.
QImage Palette8(const QImage& argb) {
    QImage hard = argb.convertToFormat(QImage::Format_ARGB32);
    const QImage flat = Flatten(argb).convertToFormat(QImage::Format_RGB32);
    for (int y = 0; y < hard.height(); ++y) {
        for (int x = 0; x < hard.width(); ++x) {
            const bool opaque = qAlpha(hard.pixel(x, y)) >= 128;
            hard.setPixel(x, y, opaque ? (flat.pixel(x, y) | 0xff000000u) : 0u);
        }
    }
    return hard.convertToFormat(QImage::Format_Indexed8, Qt::ThresholdDither | Qt::AvoidDither);
}

QImage Splash() {
    QImage image(476, 316, QImage::Format_RGB32);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient bg(0, 0, 476, 316);
    bg.setColorAt(0, kDeepBlue.darker(115));
    bg.setColorAt(0.65, kDeepBlue);
    bg.setColorAt(1, kTeal);
    p.fillRect(image.rect(), bg);
    QRadialGradient glow(360, 130, 200);
    glow.setColorAt(0, QColor(255, 255, 255, 50));
    glow.setColorAt(1, QColor(255, 255, 255, 0));
    p.fillRect(image.rect(), glow);
    // Faint log lines behind everything, a few of them carrying a link.
    for (int i = 0; i < 17; ++i) {
        const qreal y = 14 + i * 18;
        const qreal w = 120 + (i * 73) % 200;
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(255, 255, 255, 16));
        p.drawRoundedRect(QRectF(16, y, w, 5), 2.5, 2.5);
        if (i % 3 == 1) {
            p.setBrush(QColor(0xf5, 0x9a, 0x23, 60));
            p.drawRoundedRect(QRectF(16 + w + 8, y, 60, 5), 2.5, 2.5);
        }
    }
    p.save();
    p.translate(300, 34);
    p.scale(1.2, 1.2);
    DrawPage(p, QRectF(20, 0, 100, 140), true);
    DrawArrow(p, QPointF(70, 72), 110, 30);
    p.restore();
    // A band for the texts the window writes over the picture.
    p.fillRect(QRectF(0, 232, 476, 84), QColor(0, 0, 0, 70));
    p.fillRect(QRectF(0, 232, 476, 2), kOrange);
    return image;
}

QImage AboutHeading() {
    QImage image(497, 68, QImage::Format_RGB32);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient bg(0, 0, 497, 0);
    bg.setColorAt(0, kDeepBlue);
    bg.setColorAt(1, kTeal);
    p.fillRect(image.rect(), bg);
    p.fillRect(QRectF(0, 65, 497, 3), kOrange);
    p.save();
    p.translate(420, 6);
    p.scale(0.42, 0.42);
    DrawPage(p, QRectF(40, 0, 80, 120), true);
    DrawArrow(p, QPointF(88, 62), 100, 26);
    p.restore();
    return image;
}

bool Save(const QImage& image, const QString& path) {
    if (!image.save(path, "PNG")) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT_DIR\n", argv[0]);
        return 2;
    }
    const QDir out(QString::fromLocal8Bit(argv[1]));
    out.mkpath(QStringLiteral("icons/AAA"));
    out.mkpath(QStringLiteral("artwork"));
    bool ok = true;
    for (int size : {128, 64, 48, 32, 16}) {
        const QImage icon = Icon(size);
        const QString base = out.filePath(QStringLiteral("icons/AAA/%1-").arg(size));
        ok &= Save(icon.convertToFormat(QImage::Format_ARGB32), base + QStringLiteral("32.png"));
        ok &= Save(Flatten(icon), base + QStringLiteral("24.png"));
        ok &= Save(Palette8(icon), base + QStringLiteral("8.png"));
    }
    ok &= Save(Splash(), out.filePath(QStringLiteral("artwork/splash.png")));
    ok &= Save(AboutHeading(), out.filePath(QStringLiteral("artwork/about-heading.png")));
    return ok ? 0 : 1;
}
