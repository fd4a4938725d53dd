#include "RtfReader.h"

#include <QColor>
#include <QHash>
#include <QList>
#include <QTextBlockFormat>
#include <QTextCharFormat>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextOption>

#include <algorithm>
#include <vector>

#include "RtfTables.h"

namespace tallowby {

namespace {

// Groups nested deeper than this are read but their contents dropped: no
// real document comes near it, and it keeps the saved states bounded.
constexpr int kMaxDepth = 512;
constexpr int kMaxWordLength = 32;
constexpr int kMaxDigits = 10;
constexpr int kDefaultHalfPoints = 24;
constexpr double kTwipsPerPixel = 15.0;

enum class Destination { Text, FontTable, ColourTable, Skip };

// Everything a group saves and restores.
struct State {
    Destination destination = Destination::Text;
    int font = -1;
    int halfPoints = kDefaultHalfPoints;
    bool bold = false;
    bool italic = false;
    bool underline = false;
    int colour = 0;
    int unicodeSkip = 1;
    Qt::Alignment alignment = Qt::AlignLeft;
    int leftIndent = 0;   // twips
    int firstIndent = 0;  // twips
    int spaceBefore = 0;  // twips
    int spaceAfter = 0;   // twips
};

class Parser {
public:
    Parser(const QByteArray& in, QTextDocument& doc) : in_(in), cursor_(&doc) {}

    void Run() {
        while (pos_ < in_.size()) {
            const char c = in_[pos_++];
            switch (c) {
                case '{':
                    OpenGroup();
                    break;
                case '}':
                    CloseGroup();
                    break;
                case '\\':
                    ControlSequence();
                    break;
                case '\r':
                case '\n':
                    break;
                default:
                    Character(FromByte(static_cast<unsigned char>(c)));
                    break;
            }
        }
        Flush();
    }

private:
    static char16_t FromByte(unsigned char byte) { return rtf::FromCp1252(byte); }

    void OpenGroup() {
        pendingSkip_ = 0;
        if (overflow_ > 0 || static_cast<int>(saved_.size()) >= kMaxDepth) {
            ++overflow_;
            return;
        }
        saved_.push_back(state_);
    }

    void CloseGroup() {
        pendingSkip_ = 0;
        if (overflow_ > 0) {
            --overflow_;
            return;
        }
        if (saved_.empty()) {
            return;  // an unmatched "}" closes nothing
        }
        if (state_.destination == Destination::FontTable) {
            EndFontName();
        }
        // Text of the group takes the paragraph settings the group had.
        Flush();
        state_ = saved_.back();
        saved_.pop_back();
    }

    bool Dropping() const { return overflow_ > 0 || state_.destination == Destination::Skip; }

    void ControlSequence() {
        if (pos_ >= in_.size()) {
            return;
        }
        const char c = in_[pos_];
        if (!IsLetter(c)) {
            ++pos_;
            ControlSymbol(c);
            return;
        }
        const qsizetype start = pos_;
        while (pos_ < in_.size() && IsLetter(in_[pos_])) {
            ++pos_;
        }
        const QByteArrayView word(in_.constData() + start,
                                  std::min<qsizetype>(pos_ - start, kMaxWordLength));
        bool hasParam = false;
        long long param = 0;
        bool negative = false;
        if (pos_ < in_.size() && in_[pos_] == '-') {
            negative = true;
            ++pos_;
        }
        int digits = 0;
        while (pos_ < in_.size() && IsDigit(in_[pos_])) {
            if (digits++ < kMaxDigits) {
                param = param * 10 + (in_[pos_] - '0');
            }
            hasParam = true;
            ++pos_;
        }
        if (pos_ < in_.size() && in_[pos_] == ' ') {
            ++pos_;  // the delimiter belongs to the word
        }
        param = std::clamp(negative ? -param : param, -2147483648LL, 2147483647LL);
        ControlWord(word, hasParam, static_cast<int>(param));
    }

    void ControlSymbol(char c) {
        switch (c) {
            case '\'': {
                // Two hex digits; a broken escape is dropped with whatever
                // digits it had, and the text goes on.
                int value = 0;
                int digits = 0;
                while (digits < 2 && pos_ < in_.size() && HexValue(in_[pos_]) >= 0) {
                    value = value * 16 + HexValue(in_[pos_++]);
                    ++digits;
                }
                if (digits == 2) {
                    Character(FromByte(static_cast<unsigned char>(value)));
                }
                return;
            }
            case '*':
                if (!Dropping()) {
                    state_.destination = Destination::Skip;
                }
                return;
            case '~':
                Character(0x00A0);
                return;
            case '_':
                Character(0x2011);
                return;
            case '\r':
            case '\n':
                Paragraph();
                return;
            case '\\':
            case '{':
            case '}':
                Character(static_cast<char16_t>(c));
                return;
            default:
                return;  // \- optional hyphen, \| and \: index marks, anything unknown
        }
    }

    void ControlWord(QByteArrayView w, bool hasParam, int n) {
        const bool on = !hasParam || n != 0;
        if (w == "bin") {
            pos_ = std::min<qsizetype>(in_.size(), pos_ + std::max(0, n));  // raw bytes, never text
            return;
        }
        if (Dropping()) {
            return;
        }
        pendingSkip_ = 0;  // a \u fallback ends at the next control word
        if (w == "fonttbl") {
            state_.destination = Destination::FontTable;
        } else if (w == "colortbl") {
            state_.destination = Destination::ColourTable;
            tableColour_ = QColor(0, 0, 0);
            tableColourStarted_ = false;
        } else if (rtf::IsSkippedDestination(w)) {
            state_.destination = Destination::Skip;
        } else if (state_.destination == Destination::FontTable) {
            if (w == "f") {
                EndFontName();
                definingFont_ = n;
            }
        } else if (state_.destination == Destination::ColourTable) {
            ColourComponent(w, n);
        } else {
            TextControlWord(w, hasParam, n, on);
        }
    }

    void TextControlWord(QByteArrayView w, bool hasParam, int n, bool on) {
        if (w == "par" || w == "sect" || w == "page") {
            Paragraph();
        } else if (w == "line") {
            Character(QChar::LineSeparator);
        } else if (w == "tab") {
            Character(u'\t');
        } else if (w == "u" && hasParam) {
            if (n >= -32768 && n <= 65535) {  // anything else is no UTF-16 unit: dropped
                Character(static_cast<char16_t>(n < 0 ? n + 65536 : n));
            }
            pendingSkip_ = state_.unicodeSkip;
        } else if (w == "uc") {
            state_.unicodeSkip = std::clamp(n, 0, 8);
        } else if (w == "b") {
            state_.bold = on;
        } else if (w == "i") {
            state_.italic = on;
        } else if (w == "ul") {
            state_.underline = on;
        } else if (w == "ulnone") {
            state_.underline = false;
        } else if (w == "fs") {
            state_.halfPoints = hasParam && n > 0 ? std::min(n, 3276) : kDefaultHalfPoints;
        } else if (w == "f") {
            state_.font = n;
        } else if (w == "deff") {
            defaultFont_ = n;
        } else if (w == "cf") {
            state_.colour = std::max(0, n);
        } else if (w == "plain") {
            const State plain;
            state_.font = plain.font;
            state_.halfPoints = plain.halfPoints;
            state_.bold = state_.italic = state_.underline = false;
            state_.colour = 0;
        } else if (w == "pard") {
            const State plain;
            state_.alignment = plain.alignment;
            state_.leftIndent = state_.firstIndent = 0;
            state_.spaceBefore = state_.spaceAfter = 0;
        } else if (w == "ql") {
            state_.alignment = Qt::AlignLeft;
        } else if (w == "qr") {
            state_.alignment = Qt::AlignRight;
        } else if (w == "qc") {
            state_.alignment = Qt::AlignHCenter;
        } else if (w == "qj") {
            state_.alignment = Qt::AlignJustify;
        } else if (w == "li") {
            state_.leftIndent = n;
        } else if (w == "fi") {
            state_.firstIndent = n;
        } else if (w == "sb") {
            state_.spaceBefore = n;
        } else if (w == "sa") {
            state_.spaceAfter = n;
        } else if (const char16_t symbol = rtf::SymbolCharacter(w); symbol != 0) {
            Character(symbol);
        }
    }

    void ColourComponent(QByteArrayView w, int n) {
        const int value = std::clamp(n, 0, 255);
        if (w == "red") {
            tableColour_.setRed(value);
        } else if (w == "green") {
            tableColour_.setGreen(value);
        } else if (w == "blue") {
            tableColour_.setBlue(value);
        } else {
            return;
        }
        tableColourStarted_ = true;
    }

    void Character(char16_t ch) {
        if (pendingSkip_ > 0) {
            --pendingSkip_;  // the fallback after a \u escape
            return;
        }
        if (Dropping()) {
            return;
        }
        switch (state_.destination) {
            case Destination::FontTable:
                if (ch == u';') {
                    EndFontName();
                } else if (definingFont_ >= 0) {
                    fontName_.append(QChar(ch));
                }
                return;
            case Destination::ColourTable:
                if (ch == u';') {
                    // An entry without components is "automatic": no colour.
                    colours_.append(tableColourStarted_ ? tableColour_ : QColor());
                    tableColour_ = QColor(0, 0, 0);
                    tableColourStarted_ = false;
                }
                return;
            default:
                break;
        }
        if (!SameFormat()) {
            Flush();
        }
        pending_.append(QChar(ch));
        pendingState_ = state_;
    }

    void EndFontName() {
        if (definingFont_ >= 0 && !fontName_.trimmed().isEmpty()) {
            fonts_.insert(definingFont_, fontName_.trimmed());
        }
        fontName_.clear();
        definingFont_ = -1;
    }

    bool SameFormat() const {
        const State& a = pendingState_;
        const State& b = state_;
        return a.font == b.font && a.halfPoints == b.halfPoints && a.bold == b.bold &&
               a.italic == b.italic && a.underline == b.underline && a.colour == b.colour;
    }

    void Paragraph() {
        if (Dropping() || state_.destination != Destination::Text) {
            return;
        }
        pendingSkip_ = 0;
        Flush();
        cursor_.setBlockFormat(BlockFormat());
        cursor_.insertBlock();
    }

    void Flush() {
        if (pending_.isEmpty()) {
            return;
        }
        cursor_.setBlockFormat(BlockFormat());
        cursor_.insertText(pending_, CharFormat(pendingState_));
        pending_.clear();
    }

    QTextCharFormat CharFormat(const State& s) const {
        QTextCharFormat format;
        const int font = s.font >= 0 ? s.font : defaultFont_;
        if (const auto it = fonts_.constFind(font); it != fonts_.constEnd()) {
            format.setFontFamilies({*it});
        }
        format.setFontPointSize(s.halfPoints / 2.0);
        format.setFontWeight(s.bold ? QFont::Bold : QFont::Normal);
        format.setFontItalic(s.italic);
        format.setFontUnderline(s.underline);
        if (s.colour > 0 && s.colour < colours_.size() && colours_[s.colour].isValid()) {
            format.setForeground(colours_[s.colour]);
        }
        return format;
    }

    QTextBlockFormat BlockFormat() const {
        QTextBlockFormat format;
        format.setAlignment(state_.alignment);
        format.setLeftMargin(state_.leftIndent / kTwipsPerPixel);
        format.setTextIndent(state_.firstIndent / kTwipsPerPixel);
        format.setTopMargin(state_.spaceBefore / kTwipsPerPixel);
        format.setBottomMargin(state_.spaceAfter / kTwipsPerPixel);
        if (state_.firstIndent < 0 && state_.leftIndent > 0) {
            // A hanging indent (a bullet, a tab, then the text) has an
            // implicit tab stop at the left indent. Qt measures tab stops
            // from where the first line starts.
            format.setTabPositions(
                {QTextOption::Tab(-(state_.firstIndent / kTwipsPerPixel), QTextOption::LeftTab)});
        }
        return format;
    }

    static bool IsLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
    static bool IsDigit(char c) { return c >= '0' && c <= '9'; }
    static int HexValue(char c) {
        if (IsDigit(c)) {
            return c - '0';
        }
        if (c >= 'a' && c <= 'f') {
            return c - 'a' + 10;
        }
        if (c >= 'A' && c <= 'F') {
            return c - 'A' + 10;
        }
        return -1;
    }

    const QByteArray& in_;
    qsizetype pos_ = 0;
    QTextCursor cursor_;
    State state_;
    std::vector<State> saved_;
    int overflow_ = 0;
    int pendingSkip_ = 0;
    int defaultFont_ = 0;
    QHash<int, QString> fonts_;
    int definingFont_ = -1;
    QString fontName_;
    QList<QColor> colours_;
    QColor tableColour_{0, 0, 0};
    bool tableColourStarted_ = false;
    QString pending_;
    State pendingState_;
};

}  // namespace

void ReadRtfInto(const QByteArray& rtf, QTextDocument& document) {
    document.clear();
    Parser(rtf, document).Run();
}

QString RtfToPlainText(const QByteArray& rtf) {
    QTextDocument document;
    ReadRtfInto(rtf, document);
    return document.toPlainText();
}

}  // namespace tallowby
