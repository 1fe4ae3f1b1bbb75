#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <cstdint>

namespace mx {

// A 16-bit Windows language identifier; 0 names no language.
using LangId = std::uint16_t;

// The language the windows are written in.
inline constexpr LangId kBuiltInLanguage = 1033;

inline constexpr int kUtf8CodePage = 65001;

// The system's own 8-bit code page: UTF-8 on this platform.
int systemAnsiCodePage();

// The Windows ANSI code page of a language (for example 1251 for 1049), from our own table by
// primary language with the sublanguage exceptions; languages that have no ANSI code page of
// their own, and unknown ones, give the system's code page.
int ansiCodePageOf(LangId language);

// 8-bit text in a Windows code page to UTF-16 and back, through ICU. A code page ICU cannot
// open is treated as the system's code page. Unmappable characters become the converter's
// substitution character; embedded NULs are kept.
QString decodeAnsi(QByteArrayView bytes, int codePage);
QByteArray encodeAnsi(QStringView text, int codePage);

// UTF-16 bytes without a mark to text; an odd last byte is ignored.
QString decodeUtf16(QByteArrayView bytes, bool bigEndian);

// The English display name of a language ("Russian (Russia)"), or the identifier in decimal
// when ICU knows no name for it.
QString languageDisplayName(LangId language);

}  // namespace mx
