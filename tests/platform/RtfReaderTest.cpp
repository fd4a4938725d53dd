#include <QFile>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextFragment>

#include "QtTestMain.h"
#include "platform/RtfReader.h"

using namespace tallowby;

namespace {

// The character format of the first fragment that contains `text`.
std::optional<QTextCharFormat> FormatOf(const QTextDocument& doc, const QString& text) {
    for (QTextBlock block = doc.begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            if (it.fragment().text().contains(text)) {
                return it.fragment().charFormat();
            }
        }
    }
    return std::nullopt;
}

}  // namespace

class RtfReaderTest : public QObject {
    Q_OBJECT
private slots:
    void ReadsText_data() {
        QTest::addColumn<QByteArray>("rtf");
        QTest::addColumn<QString>("text");
        QTest::newRow("plain") << QByteArray("{\\rtf1\\ansi Hello world}") << "Hello world";
        QTest::newRow("paragraphs") << QByteArray("{\\rtf1 one\\par two\\par\r\n}") << "one\ntwo\n";
        QTest::newRow("line and tab") << QByteArray("{\\rtf1 a\\line b\\tab c}") << "a\nb\tc";
        QTest::newRow("line ends in source ignored") << QByteArray("{\\rtf1 a\r\nb\nc}") << "abc";
        QTest::newRow("escaped specials") << QByteArray("{\\rtf1 \\{x\\} \\\\}") << "{x} \\";
        QTest::newRow("hex cp1252")
            << QByteArray("{\\rtf1 caf\\'e9 \\'93q\\'94 \\'80}") << QString::fromUtf8("café “q” €");
        QTest::newRow("unicode with fallback")
            << QByteArray("{\\rtf1 \\u8364?5}") << QString::fromUtf8("€5");
        QTest::newRow("unicode negative")
            << QByteArray("{\\rtf1 \\u-4064?}") << QString(QChar(0xF020));
        QTest::newRow("uc0 has no fallback")
            << QByteArray("{\\rtf1\\uc0 \\u233 x}") << QString::fromUtf8("éx");
        QTest::newRow("uc2 skips two, hex counts one")
            << QByteArray("{\\rtf1\\uc2 \\u233\\'65\\'27x}") << QString::fromUtf8("éx");
        QTest::newRow("surrogate pair")
            << QByteArray("{\\rtf1 \\u-10179?\\u-8704?}") << QString::fromUtf8("\xF0\x9F\x98\x80");
        QTest::newRow("symbols") << QByteArray("{\\rtf1 \\bullet\\emdash\\lquote x\\rquote\\~y}")
                                 << QString::fromUtf8("•—‘x’\u00a0y").replace(QChar(0xa0), u' ');
        QTest::newRow("tables are not text")
            << QByteArray(
                   "{\\rtf1{\\fonttbl{\\f0\\fswiss Arial;}{\\f1 Courier New;}}"
                   "{\\colortbl;\\red255\\green0\\blue0;}body}")
            << "body";
        QTest::newRow("ignorable destinations skipped")
            << QByteArray("{\\rtf1 a{\\*\\generator Writer 9;}{\\*\\unknown {x}y}b}") << "ab";
        QTest::newRow("known destinations skipped")
            << QByteArray(
                   "{\\rtf1{\\info{\\title T}{\\author A}}{\\stylesheet{\\s0 Normal;}}"
                   "{\\pict\\pngblip 89504e47}{\\header H}text}")
            << "text";
        QTest::newRow("field shows its result")
            << QByteArray("{\\rtf1{\\field{\\*\\fldinst HYPERLINK \"http://a\"}{\\fldrslt site}}}")
            << "site";
        QTest::newRow("unknown words ignored")
            << QByteArray("{\\rtf1\\frobnicate42 a\\zz b}") << "ab";
        QTest::newRow("binary data skipped") << QByteArray("{\\rtf1 a\\bin3 {}\\b}") << "ab";
        QTest::newRow("truncated mid-word") << QByteArray("{\\rtf1 abc\\pa") << "abc";
        QTest::newRow("truncated hex") << QByteArray("{\\rtf1 abc\\'4") << "abc";
        QTest::newRow("bad hex") << QByteArray("{\\rtf1 a\\'zzb}") << "azzb";
        QTest::newRow("trailing backslash") << QByteArray("{\\rtf1 abc\\") << "abc";
        QTest::newRow("unbalanced closers") << QByteArray("}}{\\rtf1 a}}}b}") << "ab";
        QTest::newRow("skip ends with its group") << QByteArray("{\\rtf1{\\*\\x {{y}}}z}") << "z";
        // The blank ends the word and "b" is the skipped fallback.
        QTest::newRow("huge parameters")
            << QByteArray("{\\rtf1\\fs99999999999999999999 a\\u99999999999 bc}") << "ac";
        QTest::newRow("truncated hex then text") << QByteArray("{\\rtf1 a\\'4z}") << "az";
        QTest::newRow("not rtf at all") << QByteArray("just text") << "just text";
        QTest::newRow("empty") << QByteArray() << "";
    }
    void ReadsText() {
        QFETCH(QByteArray, rtf);
        QFETCH(QString, text);
        QCOMPARE(RtfToPlainText(rtf), text);
    }

    void AppliesCharacterFormats() {
        QTextDocument doc;
        ReadRtfInto(
            "{\\rtf1\\deff0{\\fonttbl{\\f0\\fswiss Sans One;}{\\f1\\fmodern Mono Two;}}"
            "{\\colortbl;\\red0\\green0\\blue255;\\red200\\green10\\blue20;}"
            "plain \\b bold\\b0  \\i italic\\i0  \\ul under\\ulnone  \\fs40 big\\fs24  "
            "\\f1 mono\\f0  \\cf2 red\\cf0  {\\b\\cf1 inner {\\i deeper} back} after}",
            doc);
        QCOMPARE(FormatOf(doc, "plain")->fontWeight(), int(QFont::Normal));
        QCOMPARE(FormatOf(doc, "plain")->fontFamilies().toStringList(), QStringList{"Sans One"});
        QCOMPARE(FormatOf(doc, "bold")->fontWeight(), int(QFont::Bold));
        QVERIFY(FormatOf(doc, "italic")->fontItalic());
        QVERIFY(FormatOf(doc, "under")->fontUnderline());
        QCOMPARE(FormatOf(doc, "big")->fontPointSize(), 20.0);
        QCOMPARE(FormatOf(doc, "mono")->fontFamilies().toStringList(), QStringList{"Mono Two"});
        QCOMPARE(FormatOf(doc, "red")->foreground().color(), QColor(200, 10, 20));
        // Groups restore what they changed, however deep.
        const QTextCharFormat deeper = *FormatOf(doc, "deeper");
        QVERIFY(deeper.fontItalic());
        QCOMPARE(deeper.fontWeight(), int(QFont::Bold));
        QCOMPARE(deeper.foreground().color(), QColor(0, 0, 255));
        QVERIFY(!FormatOf(doc, "back")->fontItalic());
        QCOMPARE(FormatOf(doc, "back")->fontWeight(), int(QFont::Bold));
        QCOMPARE(FormatOf(doc, "after")->fontWeight(), int(QFont::Normal));
        QVERIFY(!FormatOf(doc, "after")->hasProperty(QTextFormat::ForegroundBrush));
    }

    void AppliesParagraphAlignment() {
        QTextDocument doc;
        ReadRtfInto("{\\rtf1\\qc centred\\par\\pard left\\par\\qr right}", doc);
        QCOMPARE(doc.findBlockByNumber(0).blockFormat().alignment(), Qt::AlignHCenter);
        QCOMPARE(doc.findBlockByNumber(1).blockFormat().alignment(), Qt::AlignLeft);
        QCOMPARE(doc.findBlockByNumber(2).blockFormat().alignment(), Qt::AlignRight);
    }

    void SurvivesVeryDeepNesting() {
        // Far beyond any real document: must end quickly, without exhausting
        // the stack or memory, and keep the text outside the deep part.
        const int depth = 200000;
        QByteArray rtf = "{\\rtf1 start ";
        rtf += QByteArray(depth, '{') + "\\b deep" + QByteArray(depth, '}');
        rtf += " end}";
        const QString text = RtfToPlainText(rtf);
        QVERIFY(text.startsWith("start "));
        QVERIFY(text.endsWith(" end"));
        // Nesting a real document might use is read in full.
        QCOMPARE(
            RtfToPlainText("{\\rtf1" + QByteArray(100, '{') + "x" + QByteArray(100, '}') + "}"),
            QStringLiteral("x"));
        // Never closed at all.
        QCOMPARE(RtfToPlainText("{\\rtf1 a" + QByteArray(depth, '{')), QStringLiteral("a"));
    }

    void ReadsGarbageWithoutFailing() {
        QByteArray noise;
        quint32 seed = 12345;
        for (int i = 0; i < 200000; ++i) {
            seed = seed * 1103515245u + 12345u;
            noise.append(static_cast<char>("{}\\'*abu0123456789 ;-"[seed % 21]));
        }
        QTextDocument doc;
        ReadRtfInto(noise, doc);  // must simply return
        QVERIFY(doc.characterCount() >= 1);
    }

    void ReadsTheReadMe() {
        QFile file(QStringLiteral(TALLOWBY_HELP_RTF));
        QVERIFY(file.open(QIODevice::ReadOnly));
        QTextDocument doc;
        ReadRtfInto(file.readAll(), doc);
        const QString text = doc.toPlainText();
        for (const char* expected :
             {"What Tallowby does", "Enter your domain:", "Select All Files", "Scan", "Stop",
              "Remove Duplicates", "Display statistics after completion", "referers.html",
              "tallowby-scan --domain DOMAIN", "Show at Startup", "Action \u00bb Start Scan",
              "Read the referrer field of known log formats", "Leave out crawlers"}) {
            QVERIFY2(text.contains(QString::fromUtf8(expected)), expected);
        }
        // No markup may leak into what the user reads.
        for (const char* leak :
             {"\\", "{", "}", "fonttbl", "DejaVu", "colortbl", "Tallowby read-me"}) {
            QVERIFY2(!text.contains(QString::fromUtf8(leak)), leak);
        }
        QCOMPARE(FormatOf(doc, "What Tallowby does")->fontWeight(), int(QFont::Bold));
        QCOMPARE(FormatOf(doc, "--no-dupes")->fontFamilies().toStringList(),
                 QStringList{"DejaVu Sans Mono"});
    }
};

TALLOWBY_QTEST_MAIN(RtfReaderTest)
#include "RtfReaderTest.moc"
