#include "i18n/code_pages.h"

#include <unicode/ucnv.h>
#include <unicode/uloc.h>

#include <algorithm>
#include <memory>
#include <vector>

namespace mx {
namespace {

struct ConverterCloser {
    void operator()(UConverter* converter) const { ucnv_close(converter); }
};
using ConverterPtr = std::unique_ptr<UConverter, ConverterCloser>;

// Code pages by primary language (the low 10 bits of the identifier). A language missing here
// has no ANSI code page of its own.
int codePageOfPrimary(unsigned primary) {
    switch (primary) {
        case 0x05:
        case 0x0E:
        case 0x15:
        case 0x18:
        case 0x1A:
        case 0x1B:
        case 0x1C:
        case 0x24:
        case 0x2E:
        case 0x42:
            return 1250;
        case 0x02:
        case 0x19:
        case 0x22:
        case 0x23:
        case 0x28:
        case 0x2F:
        case 0x3F:
        case 0x40:
        case 0x44:
        case 0x50:
        case 0x6D:
        case 0x85:
            return 1251;
        case 0x03:
        case 0x06:
        case 0x07:
        case 0x09:
        case 0x0A:
        case 0x0B:
        case 0x0C:
        case 0x0F:
        case 0x10:
        case 0x13:
        case 0x14:
        case 0x16:
        case 0x1D:
        case 0x21:
        case 0x2D:
        case 0x32:
        case 0x34:
        case 0x35:
        case 0x36:
        case 0x38:
        case 0x3B:
        case 0x3C:
        case 0x3E:
        case 0x41:
        case 0x46:
        case 0x52:
        case 0x56:
        case 0x62:
        case 0x64:
        case 0x67:
        case 0x68:
        case 0x6A:
        case 0x6B:
        case 0x6C:
        case 0x6E:
        case 0x6F:
        case 0x70:
        case 0x7E:
        case 0x83:
        case 0x84:
        case 0x86:
        case 0x87:
        case 0x88:
        case 0x91:
            return 1252;
        case 0x08:
            return 1253;
        case 0x1F:
        case 0x2C:
        case 0x43:
            return 1254;
        case 0x0D:
        case 0x3D:
            return 1255;
        case 0x01:
        case 0x20:
        case 0x29:
        case 0x59:
        case 0x63:
        case 0x80:
        case 0x8C:
        case 0x92:
            return 1256;
        case 0x25:
        case 0x26:
        case 0x27:
            return 1257;
        case 0x2A:
            return 1258;
        case 0x1E:
            return 874;
        case 0x11:
            return 932;
        case 0x04:
            return 936;
        case 0x12:
            return 949;
        default:
            return 0;
    }
}

// Identifiers whose script differs from the rest of their primary language.
int codePageOfSublanguage(LangId language) {
    switch (language) {
        case 0x0404:
        case 0x0C04:
        case 0x1404:
        case 0x7C04:  // Chinese, traditional script
            return 950;
        case 0x0C1A:
        case 0x1C1A:
        case 0x201A:
        case 0x281A:
        case 0x301A:
        case 0x6C1A:
        case 0x7C1A:
            return 1251;  // Serbian and Bosnian in Cyrillic script
        case 0x082C:
        case 0x742C:
        case 0x0843:
        case 0x7843:  // Azeri and Uzbek in Cyrillic
            return 1251;
        case 0x0850:
        case 0x7850:  // Mongolian in its traditional script
            return 0;
        case 0x085D:
        case 0x7C5D:  // Inuktitut in Latin script
            return 1252;
        case 0x0859:  // Sindhi in Arabic script
            return 1256;
        default:
            return -1;
    }
}

const char* icuNameOf(int codePage) {
    switch (codePage) {
        case 874:
            return "windows-874";
        case 932:
            return "cp932";
        case 936:
            return "windows-936";
        case 949:
            return "windows-949";
        case 950:
            return "windows-950";
        case 1250:
            return "windows-1250";
        case 1251:
            return "windows-1251";
        case 1252:
            return "windows-1252";
        case 1253:
            return "windows-1253";
        case 1254:
            return "windows-1254";
        case 1255:
            return "windows-1255";
        case 1256:
            return "windows-1256";
        case 1257:
            return "windows-1257";
        case 1258:
            return "windows-1258";
        default:
            return nullptr;
    }
}

ConverterPtr openConverter(int codePage) {
    const char* name = icuNameOf(codePage);
    if (!name) {
        return nullptr;
    }
    UErrorCode status = U_ZERO_ERROR;
    ConverterPtr converter(ucnv_open(name, &status));
    return U_FAILURE(status) ? nullptr : std::move(converter);
}

}  // namespace

int systemAnsiCodePage() {
    return kUtf8CodePage;
}

int ansiCodePageOf(LangId language) {
    int codePage = codePageOfSublanguage(language);
    if (codePage < 0) {
        codePage = codePageOfPrimary(language & 0x3FFu);
    }
    return codePage > 0 ? codePage : systemAnsiCodePage();
}

QString decodeAnsi(QByteArrayView bytes, int codePage) {
    ConverterPtr converter = openConverter(codePage);
    if (!converter || bytes.isEmpty()) {
        return QString::fromUtf8(bytes);
    }
    // ICU counts in 32-bit lengths: convert in pieces so that text of any size converts whole.
    // Two UTF-16 units per byte is more than any Windows code page produces.
    constexpr qsizetype kPiece = 1 << 20;
    QString text;
    text.reserve(bytes.size() + 16);
    std::vector<UChar> buffer(2 * std::min(bytes.size(), kPiece) + 16);
    const char* source = bytes.data();
    const char* const sourceEnd = source + bytes.size();
    for (;;) {
        const char* const pieceEnd = sourceEnd - source > kPiece ? source + kPiece : sourceEnd;
        const bool last = pieceEnd == sourceEnd;
        UChar* target = buffer.data();
        UErrorCode status = U_ZERO_ERROR;
        ucnv_toUnicode(converter.get(), &target, buffer.data() + buffer.size(), &source, pieceEnd,
                       nullptr, last, &status);
        if (U_FAILURE(status)) {
            return QString::fromUtf8(bytes);
        }
        text.append(reinterpret_cast<const QChar*>(buffer.data()), target - buffer.data());
        if (last) {
            return text;
        }
    }
}

QByteArray encodeAnsi(QStringView text, int codePage) {
    ConverterPtr converter = openConverter(codePage);
    if (!converter || text.isEmpty()) {
        return text.toUtf8();
    }
    const auto* source = reinterpret_cast<const UChar*>(text.utf16());
    const auto sourceLength = static_cast<int32_t>(text.size());
    UErrorCode status = U_ZERO_ERROR;
    const int32_t needed =
        ucnv_fromUChars(converter.get(), nullptr, 0, source, sourceLength, &status);
    if (status != U_BUFFER_OVERFLOW_ERROR && U_FAILURE(status)) {
        return text.toUtf8();
    }
    QByteArray bytes(needed, Qt::Uninitialized);
    status = U_ZERO_ERROR;
    ucnv_fromUChars(converter.get(), bytes.data(), needed, source, sourceLength, &status);
    if (U_FAILURE(status) && status != U_STRING_NOT_TERMINATED_WARNING) {
        return text.toUtf8();
    }
    return bytes;
}

QString decodeUtf16(QByteArrayView bytes, bool bigEndian) {
    QString text(bytes.size() / 2, Qt::Uninitialized);
    for (qsizetype i = 0; i < text.size(); ++i) {
        const auto lo = static_cast<unsigned char>(bytes[2 * i + (bigEndian ? 1 : 0)]);
        const auto hi = static_cast<unsigned char>(bytes[2 * i + (bigEndian ? 0 : 1)]);
        text[i] = QChar(char16_t(lo | (hi << 8)));
    }
    return text;
}

QString languageDisplayName(LangId language) {
    char locale[ULOC_FULLNAME_CAPACITY] = {};
    UErrorCode status = U_ZERO_ERROR;
    const int32_t localeLength =
        uloc_getLocaleForLCID(language, locale, sizeof(locale) - 1, &status);
    if (U_SUCCESS(status) && localeLength > 0 && qstrcmp(locale, "root") != 0) {
        UChar name[256];
        status = U_ZERO_ERROR;
        const int32_t nameLength = uloc_getDisplayName(locale, "en", name, 255, &status);
        if (U_SUCCESS(status) && nameLength > 0) {
            return QString(reinterpret_cast<const QChar*>(name), std::min(nameLength, 255));
        }
    }
    return QString::number(language);
}

}  // namespace mx
