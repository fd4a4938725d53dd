#include <QImage>

#include "QtTestMain.h"
#include "identity/WindowIcons.h"

using namespace tallowby;

namespace {

// Records which widgets were told of a new window icon, in order.
class IconChangeRecorder : public QObject {
public:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::WindowIconChange) {
            order.append(watched->objectName());
        }
        return false;
    }
    QStringList order;
};

}  // namespace

class WindowIconsTest : public QObject {
    Q_OBJECT
private slots:
    void HoldsFifteenImages() {
        for (int size : IconGroupSizes()) {
            for (int bits : {32, 24, 8}) {
                const QImage image(IconImagePath(QStringLiteral("AAA"), size, bits));
                const QString what = QStringLiteral("%1 px %2 bit").arg(size).arg(bits);
                QVERIFY2(!image.isNull(), qPrintable(what));
                QCOMPARE(image.size(), QSize(size, size));
                QCOMPARE(image.hasAlphaChannel(), bits != 24);
                if (bits == 8) {
                    QCOMPARE(image.format(), QImage::Format_Indexed8);
                    QVERIFY(image.colorCount() <= 256);
                } else {
                    QCOMPARE(image.depth(), 32);  // Qt widens 24-bit RGB to 32 on load
                }
            }
        }
    }

    void GivesTheExactImageForEachSize() {
        const QIcon icon = LoadIconGroup(QStringLiteral("AAA"));
        QCOMPARE(icon.availableSizes().size(), 5);
        for (int size : IconGroupSizes()) {
            const QImage expected = QImage(IconImagePath(QStringLiteral("AAA"), size, 32))
                                        .convertToFormat(QImage::Format_ARGB32_Premultiplied);
            const QImage actual = icon.pixmap(QSize(size, size), 1.0)
                                      .toImage()
                                      .convertToFormat(QImage::Format_ARGB32_Premultiplied);
            QVERIFY2(actual == expected, qPrintable(QString::number(size)));  // not scaled
        }
        QVERIFY(LoadIconGroup(QStringLiteral("NoSuchGroup")).isNull());
    }

    void OwnerGetsTheIconsBeforeTheWindow() {
        QWidget owner;
        owner.setObjectName("owner");
        QWidget middle(&owner, Qt::Window);
        middle.setObjectName("middle");
        QWidget window(&middle, Qt::Window);
        window.setObjectName("window");
        IconChangeRecorder recorder;
        for (QWidget* w : {&owner, &middle, &window}) {
            w->installEventFilter(&recorder);
        }
        SetWindowIcons(&window, QStringLiteral("AAA"), true);
        // The owner is the end of the chain and goes first; the middle window
        // gets no icon of its own, only the application's.
        QVERIFY(!recorder.order.isEmpty());
        QCOMPARE(recorder.order.first(), QStringLiteral("owner"));
        QVERIFY(recorder.order.contains(QStringLiteral("window")));
        QVERIFY(owner.testAttribute(Qt::WA_SetWindowIcon));
        QVERIFY(!middle.testAttribute(Qt::WA_SetWindowIcon));
        QVERIFY(window.testAttribute(Qt::WA_SetWindowIcon));
        QCOMPARE(owner.windowIcon().availableSizes().size(), 5);
        QCOMPARE(window.windowIcon().availableSizes().size(), 5);
        QCOMPARE(QApplication::windowIcon().availableSizes().size(), 5);
    }

    void WithoutOwnerOptionOnlyTheWindowChanges() {
        QWidget owner;
        QWidget window(&owner, Qt::Window);
        SetWindowIcons(&window, QStringLiteral("AAA"), false);
        QVERIFY(!owner.testAttribute(Qt::WA_SetWindowIcon));
        QCOMPARE(window.windowIcon().availableSizes().size(), 5);
        // A window with no owner at all is its own owner.
        QWidget alone;
        SetWindowIcons(&alone, QStringLiteral("AAA"), true);
        QCOMPARE(alone.windowIcon().availableSizes().size(), 5);
        SetWindowIcons(&alone, QStringLiteral("NoSuchGroup"), true);  // silent
        SetWindowIcons(nullptr, QStringLiteral("AAA"), true);
    }
};

TALLOWBY_QTEST_MAIN(WindowIconsTest)
#include "WindowIconsTest.moc"
