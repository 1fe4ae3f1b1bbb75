#include "core/native_path.h"

namespace mx {
namespace {

constexpr char16_t kEscapeBase = 0xDC00;

bool isEscape(char16_t unit) {
    return unit >= 0xDC80 && unit <= 0xDCFF;
}

bool isContinuation(unsigned char byte) {
    return (byte & 0xC0) == 0x80;
}

// Length of the valid UTF-8 sequence starting at bytes[i], or 0 when it is not one (overlong
// forms, surrogates and code points above U+10FFFF are not valid).
qsizetype validSequenceLength(QByteArrayView bytes, qsizetype i, char32_t* codePoint) {
    const auto at = [&](qsizetype k) { return static_cast<unsigned char>(bytes[k]); };
    const unsigned char lead = at(i);
    qsizetype length;
    char32_t value;
    char32_t minimum;
    if (lead < 0x80) {
        *codePoint = lead;
        return 1;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2, value = lead & 0x1F, minimum = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3, value = lead & 0x0F, minimum = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4, value = lead & 0x07, minimum = 0x10000;
    } else {
        return 0;
    }
    if (i + length > bytes.size()) {
        return 0;
    }
    for (qsizetype k = 1; k < length; ++k) {
        if (!isContinuation(at(i + k))) {
            return 0;
        }
        value = (value << 6) | (at(i + k) & 0x3F);
    }
    if (value < minimum || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) {
        return 0;
    }
    *codePoint = value;
    return length;
}

}  // namespace

QString decodeNativePath(QByteArrayView bytes) {
    QString result;
    result.reserve(bytes.size());
    for (qsizetype i = 0; i < bytes.size();) {
        char32_t codePoint = 0;
        const qsizetype length = validSequenceLength(bytes, i, &codePoint);
        if (length == 0) {
            result.append(QChar(char16_t(kEscapeBase + static_cast<unsigned char>(bytes[i]))));
            ++i;
            continue;
        }
        if (codePoint >= 0x10000) {
            result.append(QChar(QChar::highSurrogate(codePoint)));
            result.append(QChar(QChar::lowSurrogate(codePoint)));
        } else {
            result.append(QChar(char16_t(codePoint)));
        }
        i += length;
    }
    return result;
}

QByteArray encodeNativePath(const QString& path) {
    QByteArray result;
    result.reserve(path.size());
    const auto append = [&](char32_t c) {
        if (c < 0x80) {
            result.append(char(c));
        } else if (c < 0x800) {
            result.append(char(0xC0 | (c >> 6)));
            result.append(char(0x80 | (c & 0x3F)));
        } else if (c < 0x10000) {
            result.append(char(0xE0 | (c >> 12)));
            result.append(char(0x80 | ((c >> 6) & 0x3F)));
            result.append(char(0x80 | (c & 0x3F)));
        } else {
            result.append(char(0xF0 | (c >> 18)));
            result.append(char(0x80 | ((c >> 12) & 0x3F)));
            result.append(char(0x80 | ((c >> 6) & 0x3F)));
            result.append(char(0x80 | (c & 0x3F)));
        }
    };
    for (qsizetype i = 0; i < path.size(); ++i) {
        const char16_t unit = path[i].unicode();
        if (QChar::isHighSurrogate(unit) && i + 1 < path.size() &&
            QChar::isLowSurrogate(path[i + 1].unicode())) {
            append(QChar::surrogateToUcs4(unit, path[i + 1].unicode()));
            ++i;
        } else if (isEscape(unit)) {
            result.append(char(unit - kEscapeBase));
        } else if (QChar::isSurrogate(unit)) {
            // A lone surrogate that no decoding produced: it has no bytes of its own.
            append(0xFFFD);
        } else {
            append(unit);
        }
    }
    return result;
}

bool hasEscapedBytes(const QString& path) {
    for (qsizetype i = 0; i < path.size(); ++i) {
        const char16_t unit = path[i].unicode();
        if (QChar::isHighSurrogate(unit) && i + 1 < path.size() &&
            QChar::isLowSurrogate(path[i + 1].unicode())) {
            ++i;
        } else if (isEscape(unit)) {
            return true;
        }
    }
    return false;
}

QString displayPath(const QString& path) {
    if (!hasEscapedBytes(path)) {
        return path;
    }
    QString shown = path;
    for (qsizetype i = 0; i < shown.size(); ++i) {
        const char16_t unit = shown[i].unicode();
        if (QChar::isHighSurrogate(unit) && i + 1 < shown.size() &&
            QChar::isLowSurrogate(shown[i + 1].unicode())) {
            ++i;
        } else if (isEscape(unit)) {
            shown[i] = QChar(QChar::ReplacementCharacter);
        }
    }
    return shown;
}

QString displayLine(const QString& text) {
    QString shown = displayPath(text);
    for (QChar& c : shown) {
        if (c.category() == QChar::Other_Control) {
            c = QChar(QChar::ReplacementCharacter);
        }
    }
    return shown;
}

}  // namespace mx
