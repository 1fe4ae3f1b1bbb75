#include "joblist/job_list_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "core/error.h"
#include "core/file_writer.h"
#include "core/int_text.h"
#include "core/native_path.h"
#include "joblist/job_list.h"
#include "settings/extraction_options.h"

namespace mx {
namespace {

const QString kOptionsLine = QStringLiteral("options");
constexpr char kEndOfFile = 26;

QString flagLine(OptionField field, bool value) {
    return optionFieldName(field) +
           (value ? QStringLiteral("_Checked=TRUE") : QStringLiteral("_Checked=FALSE"));
}

bool isFlag(OptionField field) {
    const OptionKind kind = optionFieldKind(field);
    return kind == OptionKind::Flag || kind == OptionKind::GroupFlag;
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
    const QByteArray native = encodeNativePath(path);
    const int fd = ::open(native.constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        throw Error(openFailureText(errno, native));
    }
    struct Closer {
        int fd;
        ~Closer() { ::close(fd); }
    } closer{fd};
    struct stat info;
    if (::fstat(fd, &info) == 0 && S_ISDIR(info.st_mode)) {
        throw Error(openFailureText(EISDIR, native));
    }
    QByteArray bytes;
    char buffer[65536];
    for (;;) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            throw Error(systemText(errno));
        }
        if (got == 0) {
            return bytes;
        }
        bytes.append(buffer, got);
    }
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
    for (OptionField field : kStoredOptionFields) {
        if (!isFlag(field) && breaksLines(options.text(field))) {
            throw Error(QStringLiteral("The list was not saved: the option %1 holds a line break "
                                       "or the byte 26, which a job list file cannot carry:\n%2")
                            .arg(optionFieldName(field), shownWithoutBreaks(options.text(field))));
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
    for (OptionField field : kStoredOptionFields) {
        addLine(isFlag(field) ? flagLine(field, options.flag(field)) : options.text(field));
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
    for (OptionField field : kStoredOptionFields) {
        const QString line = next < lines.size() ? lines[next] : QString();
        ++next;
        if (isFlag(field)) {
            options.setFlag(field, line == flagLine(field, true));
        } else if (field == OptionField::jpgTrackBar) {
            options.setJpgTrackBar(StrToInt(line));
        } else {
            options.setText(field, line);
        }
    }
    return result;
}

}  // namespace mx
