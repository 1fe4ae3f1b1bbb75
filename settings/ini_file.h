#pragma once

#include <QByteArray>
#include <QString>
#include <string_view>
#include <vector>

namespace mx {

// An INI file read and written the way the platform's profile routines treat one: section and
// key names match without regard to case, the first of duplicate sections or keys wins, blanks
// around names and values and one pair of enclosing double quotes are not part of a value, and
// lines whose first non-blank character is ";" are comments. A line ends at CR LF, LF or a CR
// alone. Writing a key replaces its own line in place (unless the line already reads back as
// the new value, when its bytes stay as they are) or adds it after the last line of its
// section, creating the section at the end of the file; every other line keeps its bytes and
// its own line end. New lines end as the file's lines do when they all end alike, otherwise
// with CR LF. Names are UTF-8; values map bytes that are not UTF-8 losslessly, as file names
// do (core/native_path.h). The file is read once, when the object is made, and written only by
// save().
class IniFile {
public:
    // Reads the file now. A missing file reads as empty.
    explicit IniFile(QString path);

    const QString& path() const { return m_path; }

    // The key's value, or defaultValue when the section or the key is missing.
    QString readString(const QString& section, const QString& key,
                       const QString& defaultValue) const;
    // The key's value as a number text (decimal, or hexadecimal after "$", "x" or "0x");
    // defaultValue when the key is missing or its value is not a whole number.
    int readInteger(const QString& section, const QString& key, int defaultValue) const;

    // Set the key in memory; save() writes the file. A value that would not read back as given
    // (blanks at either end, enclosing quotes) is written inside double quotes. A value cannot
    // span lines: it is cut at its first CR or LF, which would otherwise end the line and let
    // the rest be read as keys or sections of their own.
    void writeString(const QString& section, const QString& key, const QString& value);
    void writeInteger(const QString& section, const QString& key, int value);

    // Writes the whole file through a temporary file in the same folder that is renamed into
    // place, so a failure leaves the old file as it was. A file that exists but could not be
    // read is never overwritten (its content would be lost). Throws Error with the text
    // "Unable to write to <path>".
    void save() const;

private:
    struct Line {
        QByteArray text;  // without its line end
        QByteArray eol;   // "\r\n", "\n", "\r", or empty for a last line without one
    };
    struct Section {
        qsizetype header = -1;  // index of the "[name]" line, -1 when the section is missing
        qsizetype end = 0;      // one past its last line
    };

    std::string_view content(qsizetype index) const;
    Section findSection(const QString& name) const;
    qsizetype findKey(const Section& section, const QString& key) const;

    QString m_path;
    std::vector<Line> m_lines;
    QByteArray m_newLine = QByteArrayLiteral("\r\n");
    bool m_unreadable = false;
};

}  // namespace mx
