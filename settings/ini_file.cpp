#include "settings/ini_file.h"

#include <utility>

#include "core/error.h"
#include "core/file_writer.h"
#include "core/int_text.h"
#include "core/native_path.h"
#include "core/read_file.h"

namespace mx {
namespace {

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";
const QByteArray kCrLf = QByteArrayLiteral("\r\n");
const QByteArray kLineFeed = QByteArrayLiteral("\n");
const QByteArray kCarriageReturn = QByteArrayLiteral("\r");

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string_view trimBlanks(std::string_view text) {
    while (!text.empty() && isBlank(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && isBlank(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

bool sameName(std::string_view bytes, const QString& name) {
    const QString decoded = QString::fromUtf8(bytes.data(), qsizetype(bytes.size()));
    return decoded.compare(name, Qt::CaseInsensitive) == 0;
}

// "[name]" with blanks allowed around the brackets and the name; a missing "]" ends the
// name at the end of the line.
bool parseSectionHeader(std::string_view line, std::string_view* name) {
    line = trimBlanks(line);
    if (line.empty() || line.front() != '[') {
        return false;
    }
    line.remove_prefix(1);
    const auto close = line.find(']');
    *name = trimBlanks(line.substr(0, close));
    return true;
}

bool parseKeyLine(std::string_view line, std::string_view* key, std::string_view* value) {
    line = trimBlanks(line);
    if (line.empty() || line.front() == ';' || line.front() == '[') {
        return false;
    }
    const auto equals = line.find('=');
    if (equals == std::string_view::npos) {
        return false;
    }
    *key = trimBlanks(line.substr(0, equals));
    if (key->empty()) {
        return false;
    }
    std::string_view v = trimBlanks(line.substr(equals + 1));
    if (v.size() >= 2 && v.front() == '"' && v.back() == '"') {
        v = v.substr(1, v.size() - 2);
    }
    *value = v;
    return true;
}

// Values are file names as often as not, so bytes that are not UTF-8 map losslessly both ways.
QString decodeValue(std::string_view value) {
    return decodeNativePath(QByteArrayView(value.data(), qsizetype(value.size())));
}

QByteArray encodeValue(const QString& value) {
    QByteArray bytes = encodeNativePath(value);
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        if (bytes[i] == '\n' || bytes[i] == '\r') {
            bytes.truncate(i);
            break;
        }
    }
    const bool quoted = bytes.size() >= 2 && bytes.front() == '"' && bytes.back() == '"';
    if (!bytes.isEmpty() && (isBlank(bytes.front()) || isBlank(bytes.back()) || quoted)) {
        return '"' + bytes + '"';
    }
    return bytes;
}

}  // namespace

IniFile::IniFile(QString path) : m_path(std::move(path)) {
    // Folders, FIFOs and devices count as unreadable; opening them never blocks. Only a file
    // that is not there reads as empty: anything else would be replaced by the next save.
    const ReadableFile file = openRegularFile(m_path);
    if (!file && file.failure == OpenFailure::Missing) {
        return;
    }
    const std::optional<QByteArray> read = file ? readAllFrom(file) : std::nullopt;
    if (!read) {
        m_unreadable = true;
        return;
    }
    const QByteArray& bytes = *read;
    // A line ends at CR LF, LF or a CR alone; each keeps its own end.
    qsizetype start = 0;
    const qsizetype size = bytes.size();
    while (start < size) {
        qsizetype end = start;
        while (end < size && bytes[end] != '\n' && bytes[end] != '\r') {
            ++end;
        }
        if (end == size) {
            m_lines.push_back({bytes.mid(start), {}});
            break;
        }
        const QByteArray* eol = &kLineFeed;
        if (bytes[end] == '\r') {
            eol = end + 1 < size && bytes[end + 1] == '\n' ? &kCrLf : &kCarriageReturn;
        }
        m_lines.push_back({bytes.mid(start, end - start), *eol});
        start = end + eol->size();
    }
    // Lines added later end as the file's own do when it uses one kind throughout.
    const QByteArray* common = nullptr;
    for (const Line& line : m_lines) {
        if (line.eol.isEmpty()) {
            continue;
        }
        if (common && *common != line.eol) {
            common = nullptr;
            break;
        }
        common = &line.eol;
    }
    if (common) {
        m_newLine = *common;
    }
}

std::string_view IniFile::content(qsizetype index) const {
    const QByteArray& text = m_lines[size_t(index)].text;
    std::string_view view(text.constData(), size_t(text.size()));
    if (index == 0 && view.starts_with(kUtf8Bom)) {
        view.remove_prefix(kUtf8Bom.size());
    }
    return view;
}

IniFile::Section IniFile::findSection(const QString& name) const {
    Section section;
    const auto count = qsizetype(m_lines.size());
    std::string_view found;
    for (qsizetype i = 0; i < count; ++i) {
        if (!parseSectionHeader(content(i), &found)) {
            continue;
        }
        if (section.header >= 0) {
            section.end = i;
            return section;
        }
        if (sameName(found, name)) {
            section.header = i;
        }
    }
    section.end = count;
    return section;
}

qsizetype IniFile::findKey(const Section& section, const QString& key) const {
    std::string_view name;
    std::string_view value;
    for (qsizetype i = section.header + 1; i < section.end; ++i) {
        if (parseKeyLine(content(i), &name, &value) && sameName(name, key)) {
            return i;
        }
    }
    return -1;
}

QString IniFile::readString(const QString& section, const QString& key,
                            const QString& defaultValue) const {
    const Section found = findSection(section);
    if (found.header < 0) {
        return defaultValue;
    }
    const qsizetype index = findKey(found, key);
    if (index < 0) {
        return defaultValue;
    }
    std::string_view name;
    std::string_view value;
    parseKeyLine(content(index), &name, &value);
    return decodeValue(value);
}

int IniFile::readInteger(const QString& section, const QString& key, int defaultValue) const {
    const QString text = readString(section, key, QString());
    return tryStrToInt(text).value_or(defaultValue);
}

void IniFile::writeString(const QString& section, const QString& key, const QString& value) {
    const QByteArray line = key.toUtf8() + '=' + encodeValue(value);
    const Section found = findSection(section);
    if (found.header >= 0) {
        const qsizetype index = findKey(found, key);
        if (index >= 0) {
            // A value that reads back as it stands keeps its line's bytes: its spelling of the
            // key, blanks and quotes.
            std::string_view name;
            std::string_view stored;
            parseKeyLine(content(index), &name, &stored);
            if (decodeValue(stored) != value) {
                m_lines[size_t(index)].text = line;
            }
            return;
        }
        // After the section's last non-blank line, so that blank lines separating it from the
        // next section stay where they are.
        qsizetype last = found.end - 1;
        while (last > found.header && trimBlanks(content(last)).empty()) {
            --last;
        }
        if (m_lines[size_t(last)].eol.isEmpty()) {
            m_lines[size_t(last)].eol = m_newLine;
        }
        m_lines.insert(m_lines.begin() + last + 1, Line{line, m_newLine});
        return;
    }
    if (!m_lines.empty() && m_lines.back().eol.isEmpty()) {
        m_lines.back().eol = m_newLine;
    }
    m_lines.push_back({'[' + section.toUtf8() + ']', m_newLine});
    m_lines.push_back({line, m_newLine});
}

void IniFile::writeInteger(const QString& section, const QString& key, int value) {
    writeString(section, key, QString::number(value));
}

void IniFile::save() const {
    const QString message = QStringLiteral("Unable to write to %1").arg(m_path);
    if (m_unreadable) {
        throw Error(message);
    }
    QByteArray bytes;
    for (const Line& line : m_lines) {
        bytes += line.text;
        bytes += line.eol;
    }
    try {
        writeFileSafely(m_path, bytes);
    } catch (const FileWriteError&) {
        throw Error(message);
    }
}

}  // namespace mx
