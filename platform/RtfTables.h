#pragma once

// Fixed tables of the RTF reader; internal to platform/.

#include <QByteArrayView>
#include <QChar>

namespace tallowby::rtf {

// The character of byte `byte` in the Windows-1252 code page (RTF's usual
// \ansicpg); bytes the code page leaves undefined map to themselves.
char16_t FromCp1252(unsigned char byte);

// True for destinations whose text is never shown (tables handled
// elsewhere, pictures, document information, headers, field codes, ...).
bool IsSkippedDestination(QByteArrayView word);

// The character a symbol word stands for (\bullet, \emdash, \lquote, ...),
// or 0 when `word` is not one.
char16_t SymbolCharacter(QByteArrayView word);

}  // namespace tallowby::rtf
