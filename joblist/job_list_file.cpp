#include "joblist/job_list_file.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>

#include "core/error.h"
#include "core/file_writer.h"
#include "core/int_text.h"
#include "core/native_path.h"
#include "core/read_file.h"
#include "joblist/job_list.h"
#include "settings/extraction_options.h"

namespace mx {
namespace {

const QString kOptionsLine = QStringLiteral("options");
constexpr char kEndOfFile = 26;

QString flagLine(const OptionFieldInfo& info, bool value) {
    return QString::fromLatin1(info.name) +
           (value ? QStringLiteral("_Checked=TRUE") : QStringLiteral("_Checked=FALSE"));
}

QString optionLine(const OptionFieldInfo& info, const ExtractionOptions& options) {
    switch (info.kind) {
        case OptionKind::Flag:
        case OptionKind::GroupFlag:
            return flagLine(info, options.flag(info.field));
        case OptionKind::Integer:
            return QString::number(options.jpgTrackBar());
        case OptionKind::NumberText:
        case OptionKind::Text:
            break;
    }
    return options.text(info.field);
}

void applyOptionLine(const OptionFieldInfo& info, const QString& line, ExtractionOptions& options) {
    switch (info.kind) {
        case OptionKind::Flag:
        case OptionKind::GroupFlag:
            options.setFlag(info.field, line == flagLine(info, true));
            break;
        case OptionKind::Integer:
            options.setJpgTrackBar(StrToInt(line));
            break;
        case OptionKind::NumberText:
        case OptionKind::Text:
            options.setText(info.field, line);
            break;
    }
}

QString systemText(int errorNumber) {
    return QString::fromLocal8Bit(std::strerror(errorNumber));
}

// The short texts the window has always shown for a file that cannot be opened or created.
QString openFailureText(int errorNumber, const QByteArray& path) {
    switch (errorNumber) {
        case ENOENT: {
            struct stat folder;
            const QByteArray parent = path.left(path.lastIndexOf('/') + 1);
            const bool folderExists =
                ::stat(parent.isEmpty() ? "." : parent.constData(), &folder) == 0 &&
                S_ISDIR(folder.st_mode);
            return folderExists ? QStringLiteral("File not found")
                                : QStringLiteral("Path not found");
        }
        case ENOTDIR:
            return QStringLiteral("Path not found");
        case EACCES:
        case EPERM:
        case EISDIR:
        case EROFS:
            return QStringLiteral("File access denied");
        default:
            return systemText(errorNumber);
    }
}

QByteArray readWhole(const QString& path) {
    // Folders, FIFOs and devices are refused before anything is read: no read may block.
    const ReadableFile file = openRegularFile(path);
    if (!file) {
        throw Error(openFailureText(file.failure == OpenFailure::NotRegular ? EISDIR : file.error,
                                    encodeNativePath(path)));
    }
    int error = 0;
    std::optional<QByteArray> bytes = readAllFrom(file, &error);
    if (!bytes) {
        throw Error(systemText(error));
    }
    return *std::move(bytes);
}

// A line the file cannot carry: it would split into two lines or end the file there.
bool breaksLines(const QString& text) {
    return text.contains(QLatin1Char('\n')) || text.contains(QLatin1Char('\r')) ||
           text.contains(QChar(kEndOfFile));
}

QString shownWithoutBreaks(const QString& text) {
    QString shown = displayPath(text);
    for (QChar& c : shown) {
        if (c == QLatin1Char('\n') || c == QLatin1Char('\r') || c == QChar(kEndOfFile)) {
            c = QChar(QChar::ReplacementCharacter);
        }
    }
    return shown;
}

// Lines end at LF, with a CR before it dropped; text after the last line end is a line of its
// own when not empty.
QStringList splitLines(QByteArray bytes) {
    const qsizetype end = bytes.indexOf(kEndOfFile);
    if (end >= 0) {
        bytes.truncate(end);
    }
    QStringList lines;
    qsizetype start = 0;
    while (start < bytes.size()) {
        qsizetype lineFeed = bytes.indexOf('\n', start);
        const qsizetype next = lineFeed < 0 ? bytes.size() : lineFeed + 1;
        if (lineFeed < 0) {
            lineFeed = bytes.size();
        } else if (lineFeed > start && bytes[lineFeed - 1] == '\r') {
            --lineFeed;
        }
        lines.append(decodeNativePath(QByteArrayView(bytes.constData() + start, lineFeed - start)));
        start = next;
    }
    return lines;
}

}  // namespace

void writeJobListFile(const QString& path, const JobList& jobs, const ExtractionOptions& options) {
    for (size_t i = 0; i < jobs.rows().size(); ++i) {
        const JobRow& row = jobs.rows()[i];
        if (breaksLines(row.path)) {
            throw Error(QStringLiteral("The list was not saved: the path in row %1 holds a line "
                                       "break or the byte 26, which a job list file cannot "
                                       "carry:\n%2")
                            .arg(row.number, shownWithoutBreaks(row.path)));
        }
    }
    for (const OptionFieldInfo& info : kOptionFieldTable) {
        if (info.kind != OptionKind::NumberText && info.kind != OptionKind::Text) {
            continue;
        }
        const QString value = options.text(info.field);
        if (breaksLines(value)) {
            throw Error(QStringLiteral("The list was not saved: the option %1 holds a line break "
                                       "or the byte 26, which a job list file cannot carry:\n%2")
                            .arg(QString::fromLatin1(info.name), shownWithoutBreaks(value)));
        }
    }
    QString text;
    const auto addLine = [&text](const QString& line) {
        text += line;
        text += QLatin1String("\r\n");
    };
    for (const JobRow& row : jobs.rows()) {
        addLine(row.path);
    }
    addLine(kOptionsLine);
    for (const OptionFieldInfo& info : kOptionFieldTable) {
        addLine(optionLine(info, options));
    }
    try {
        writeFileSafely(path, encodeNativePath(text));
    } catch (const FileWriteError& e) {
        throw Error(e.step() == FileWriteError::Step::Create
                        ? openFailureText(e.errorNumber(), encodeNativePath(path))
                        : e.systemText());
    }
}

JobListFileResult readJobListFile(const QString& path, JobList& jobs, ExtractionOptions& options) {
    const QStringList lines = splitLines(readWhole(path));
    JobListFileResult result;
    qsizetype next = 0;
    while (next < lines.size() && lines[next] != kOptionsLine) {
        jobs.addNumbered(QString::number(result.rowsAdded + 1), lines[next]);
        ++result.rowsAdded;
        ++next;
    }
    if (next == lines.size()) {
        return result;
    }
    result.optionsFound = true;
    ++next;
    // Written one by one in file order, so each radio group ends as its last true line says.
    for (const OptionFieldInfo& info : kOptionFieldTable) {
        applyOptionLine(info, next < lines.size() ? lines[next] : QString(), options);
        ++next;
    }
    return result;
}

}  // namespace mx
