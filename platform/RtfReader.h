#pragma once

#include <QByteArray>
#include <QString>

class QTextDocument;

namespace tallowby {

// Reads rich text (RTF) of the kind word processors and the read-me use:
// groups, font and colour tables, \b \i \ul with their "0" forms, \fs sizes,
// \cf colours, \q? alignment, \par, \line, \tab, \'hh (Windows-1252) and \uN
// escapes with \ucN, the common symbol words (\bullet, \emdash, quotes).
// Unknown control words are ignored and \* destinations and known
// non-text destinations (pictures, style sheet, info, ...) are skipped.
//
// It never fails: malformed or truncated input gives whatever text could be
// read. Time is linear in the input; nesting deeper than a fixed limit no
// longer saves formatting state, so memory stays bounded as well.

// Replaces the contents of `document` with the text of `rtf`.
void ReadRtfInto(const QByteArray& rtf, QTextDocument& document);

// The plain text of `rtf`: paragraphs end with "\n", \line gives "\n".
QString RtfToPlainText(const QByteArray& rtf);

}  // namespace tallowby
