#pragma once

#include "i18n/code_pages.h"
#include "i18n/lang_translations.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace mx {

enum class LangFileReadMode {
    HeaderOnly,  // stops at the first section header
    Full,
};

// Reads a language file into `target` (cleared first). A file that cannot be opened or read
// throws Error with the system's reason; an error on a line throws ELxLangError
// "Loading translations failed." CR LF "Line <n>: <reason>" with the zero-based line index.
void readLanguageFile(const QString& path, LangFileReadMode mode, TLxLang_CompTranslations& target);

// The text of a language file as it is parsed: UTF-16LE after FF FE; otherwise the whole file
// as 8-bit text in the ANSI code page of the language its LANGID line declares (the LANGID is
// found in a first decoding that honours byte order marks). Ends at the first NUL.
QString decodeLanguageFile(const QByteArray& bytes);

// Parses decoded language-file text into `target` (not cleared).
void parseLanguageText(const QString& text, LangFileReadMode mode,
                       TLxLang_CompTranslations& target);

// Lines split at CR LF, LF, CR and U+2028.
QStringList splitLanguageLines(QStringView text);

// Decodes the escapes of constant and translation values: backslash with two decimal digits,
// "\\", "\n" (CR LF) and "\t"; any other backslash stands for itself.
QString decodeLangEscapes(QStringView value);

}  // namespace mx
