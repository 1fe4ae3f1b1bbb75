#include "i18n/lang_file_reader.h"

#include "core/int_text.h"
#include "core/read_file.h"
#include "i18n/ascii_text.h"
#include "i18n/lang_error.h"

#include <QFile>
#include <algorithm>
#include <cerrno>
#include <cstring>

namespace mx {
namespace {

bool startsWith(const QByteArray& bytes, std::initializer_list<unsigned char> mark) {
    if (bytes.size() < static_cast<qsizetype>(mark.size())) {
        return false;
    }
    qsizetype i = 0;
    for (unsigned char c : mark) {
        if (static_cast<unsigned char>(bytes[i++]) != c) {
            return false;
        }
    }
    return true;
}

QString cutAtNul(QString text) {
    const qsizetype nul = text.indexOf(QChar(u'\0'));
    if (nul >= 0) {
        text.truncate(nul);
    }
    return text;
}

// The first decoding, honouring byte order marks, used only to find the declared language.
QString decodeWithMark(const QByteArray& bytes) {
    if (startsWith(bytes, {0xFF, 0xFE})) {
        return decodeUtf16(QByteArrayView(bytes).sliced(2), false);
    }
    if (startsWith(bytes, {0xFE, 0xFF})) {
        return decodeUtf16(QByteArrayView(bytes).sliced(2), true);
    }
    if (startsWith(bytes, {0xEF, 0xBB, 0xBF})) {
        return QString::fromUtf8(QByteArrayView(bytes).sliced(3));
    }
    return decodeAnsi(bytes, systemAnsiCodePage());
}

LangId declaredLanguage(const QString& text) {
    for (const QString& line : splitLanguageLines(text)) {
        const qsizetype eq = line.indexOf(u'=');
        if (eq >= 0 &&
            trimControl(QStringView(line).first(eq)).compare(u"LANGID", Qt::CaseInsensitive) == 0) {
            const auto value =
                tryStrToInt(trimControl(QStringView(line).sliced(eq + 1)).toString());
            return static_cast<LangId>(
                static_cast<std::uint32_t>(value.value_or(kBuiltInLanguage)));
        }
    }
    return kBuiltInLanguage;
}

enum class SectionKind { Header, Constants, Window };

}  // namespace

QStringList splitLanguageLines(QStringView text) {
    QStringList lines;
    qsizetype start = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (c == u'\r' || c == u'\n' || c == u'\x2028') {
            lines.append(text.sliced(start, i - start).toString());
            if (c == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') {
                ++i;
            }
            start = i + 1;
        }
    }
    if (start < text.size()) {
        lines.append(text.sliced(start).toString());
    }
    return lines;
}

QString decodeLangEscapes(QStringView value) {
    QString result;
    result.reserve(value.size());
    const auto isDigit = [&](qsizetype i) {
        return i < value.size() && value[i] >= u'0' && value[i] <= u'9';
    };
    for (qsizetype i = 0; i < value.size(); ++i) {
        const QChar c = value[i];
        if (c != u'\\' || i + 1 >= value.size()) {
            result.append(c);
            continue;
        }
        const QChar next = value[i + 1];
        if (isDigit(i + 1) && isDigit(i + 2)) {
            result.append(
                QChar(char16_t((next.unicode() - u'0') * 10 + (value[i + 2].unicode() - u'0'))));
            i += 2;
        } else if (next == u'\\') {
            result.append(u'\\');
            ++i;
        } else if (next == u'n') {
            result.append(u"\r\n");
            ++i;
        } else if (next == u't') {
            result.append(u'\t');
            ++i;
        } else {
            result.append(c);
        }
    }
    return result;
}

QString decodeLanguageFile(const QByteArray& bytes) {
    if (startsWith(bytes, {0xFF, 0xFE})) {
        return cutAtNul(decodeUtf16(QByteArrayView(bytes).sliced(2), false));
    }
    const LangId language = declaredLanguage(cutAtNul(decodeWithMark(bytes)));
    return cutAtNul(decodeAnsi(bytes, ansiCodePageOf(language)));
}

void parseLanguageText(const QString& text, LangFileReadMode mode,
                       TLxLang_CompTranslations& target) {
    const QStringList lines = splitLanguageLines(text);
    SectionKind kind = SectionKind::Header;
    TLxLang_CompTranslation* section = nullptr;
    for (qsizetype index = 0; index < lines.size(); ++index) {
        try {
            const QStringView line = trimControl(lines[index]);
            if (line.isEmpty() || line.startsWith(u';')) {
                continue;
            }
            if (line.startsWith(u'[')) {
                if (line.size() <= 2 || !line.endsWith(u']')) {
                    continue;
                }
                if (mode == LangFileReadMode::HeaderOnly) {
                    return;
                }
                const QString name = trimControl(line.sliced(1, line.size() - 2)).toString();
                if (sameAsciiNoCase(name, u"$CONSTANTS")) {
                    kind = SectionKind::Constants;
                } else {
                    kind = SectionKind::Window;
                    section = &target.section(name);
                }
                continue;
            }
            const qsizetype eq = line.indexOf(u'=');
            if (eq < 0) {
                continue;
            }
            const QString key = trimControl(line.first(eq)).toString();
            if (key.isEmpty()) {
                continue;
            }
            const QStringView value = trimControl(line.sliced(eq + 1));
            switch (kind) {
                case SectionKind::Header:
                    target.setHeaderValue(key, value.toString());
                    break;
                case SectionKind::Constants: {
                    if (!isValidConstantName(key)) {
                        throw ELxLangError(
                            QStringLiteral("Invalid constant name (\"%1\")").arg(key));
                    }
                    const QString decoded = decodeLangEscapes(value);
                    if (!target.constants().add(key, decoded, decoded)) {
                        throw ELxLangError(
                            QStringLiteral("Duplicate constant name (\"%1\")").arg(key));
                    }
                    break;
                }
                case SectionKind::Window: {
                    const std::int32_t id = tryStrToInt(key).value_or(0);
                    if (id > 0 && !section->add(id, decodeLangEscapes(value))) {
                        throw ELxLangError(
                            QStringLiteral("Duplicate property value translation ID (%1)").arg(id));
                    }
                    break;
                }
            }
        } catch (const std::exception& error) {
            throw ELxLangError(QStringLiteral("Loading translations failed.\r\nLine %1: %2")
                                   .arg(index)
                                   .arg(QString::fromUtf8(error.what())));
        }
    }
}

namespace {

// Nothing that is a language file comes near this size; a larger file is refused instead of
// being decoded into several times its size in memory.
constexpr std::int64_t kLargestLanguageFile = 64 * 1024 * 1024;
// The start-up scan needs only the header at the top of a file: it reads this much first and
// twice as much each time no section header has shown yet.
constexpr std::int64_t kFirstHeaderRead = 16 * 1024;

bool isSectionLine(QStringView line) {
    line = trimControl(line);
    return line.size() > 2 && line.startsWith(u'[') && line.endsWith(u']');
}

// Drops the text after the last line end, which may be a line cut short by the read.
QString wholeLines(QString text) {
    for (qsizetype i = text.size(); i > 0; --i) {
        const char16_t c = text[i - 1].unicode();
        if (c == u'\r' || c == u'\n' || c == u'\x2028') {
            text.truncate(i);
            return text;
        }
    }
    return {};
}

// Whether the decoded text stops at a NUL within these bytes.
bool endsAtNul(const QByteArray& bytes) {
    if (startsWith(bytes, {0xFF, 0xFE})) {
        for (qsizetype i = 2; i + 1 < bytes.size(); i += 2) {
            if (bytes[i] == 0 && bytes[i + 1] == 0) {
                return true;
            }
        }
        return false;
    }
    return bytes.contains('\0');
}

[[noreturn]] void throwReadError(const QString& path, int error) {
    throw Error(QStringLiteral("Cannot read file \"%1\". %2")
                    .arg(path, QString::fromLocal8Bit(std::strerror(error))));
}

void readHeaderLines(const ReadableFile& file, const QString& path,
                     TLxLang_CompTranslations& target) {
    QByteArray bytes;
    std::int64_t wanted = kFirstHeaderRead;
    for (;;) {
        int error = 0;
        const std::optional<QByteArray> more = readHead(file, wanted, &error);
        if (!more) {
            throwReadError(path, error);
        }
        bytes += *more;
        // The text ends at its first NUL, so nothing after one can matter (a sparse file
        // holds gigabytes of them).
        const bool atEnd = more->size() < wanted || endsAtNul(bytes);
        if (!atEnd && bytes.size() >= kLargestLanguageFile) {
            throwReadError(path, EFBIG);
        }
        const QString text =
            atEnd ? decodeLanguageFile(bytes) : wholeLines(decodeLanguageFile(bytes));
        const QStringList lines = splitLanguageLines(text);
        if (atEnd || std::any_of(lines.begin(), lines.end(), isSectionLine)) {
            parseLanguageText(text, LangFileReadMode::HeaderOnly, target);
            return;
        }
        wanted = bytes.size();
    }
}

}  // namespace

void readLanguageFile(const QString& path, LangFileReadMode mode,
                      TLxLang_CompTranslations& target) {
    target.clear();
    // Only regular files: a pipe or device named like a language file would block or never end.
    const ReadableFile file = openRegularFile(path);
    if (!file) {
        throw Error(QStringLiteral("Cannot open file \"%1\". %2").arg(path, file.errorText()));
    }
    if (mode == LangFileReadMode::HeaderOnly) {
        readHeaderLines(file, path, target);
        return;
    }
    int error = 0;
    const std::optional<QByteArray> bytes = readAllFrom(file, &error, kLargestLanguageFile);
    if (!bytes) {
        throwReadError(path, error);
    }
    parseLanguageText(decodeLanguageFile(*bytes), mode, target);
}

}  // namespace mx
