// The read-me's RTF reader on arbitrary bytes: it ends, it keeps to memory in
// proportion to its input however deep the groups nest, and its text never
// outgrows the input (every character it shows costs at least one byte).
// libFuzzer's -timeout and -rss_limit_mb catch a hang or a runaway.

#include <QByteArray>
#include <QGuiApplication>
#include <QString>
#include <QTextDocument>

#include <cstdint>
#include <cstdlib>

#include "FuzzSupport.h"
#include "platform/RtfReader.h"

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    // QTextDocument needs a GUI application for its fonts; no display is used.
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    static QGuiApplication app(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray rtf =
        QByteArray::fromRawData(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const QString text = tallowby::RtfToPlainText(rtf);
    FUZZ_CHECK(text.size() <= static_cast<qsizetype>(size));

    // Reading into a document that already holds text replaces it.
    QTextDocument document;
    document.setPlainText(QStringLiteral("earlier text"));
    tallowby::ReadRtfInto(rtf, document);
    FUZZ_CHECK(document.toPlainText() == text);
    return 0;
}
