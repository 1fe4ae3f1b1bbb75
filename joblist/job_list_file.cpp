#include "joblist/job_list_file.h"

#include <QFile>
#include <QFileInfo>
#include <cstring>

#include "core/error.h"
#include "core/int_text.h"
#include "core/read_file.h"
#include "joblist/job_list.h"
#include "settings/atomic_file.h"
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

QByteArray readWhole(const QString& path) {
    const QFileInfo info(path);
    if (!info.exists()) {
        throw Error(QFileInfo(info.absolutePath()).isDir() ? QStringLiteral("File not found")
                                                           : QStringLiteral("Path not found"));
    }
    // Folders, FIFOs and devices are refused before anything is read: no read may block.
    const ReadableFile file = openRegularFile(path);
    if (!file) {
        throw Error(QStringLiteral("File access denied"));
    }
    int error = 0;
    std::optional<QByteArray> bytes = readAllFrom(file, &error);
    if (!bytes) {
        throw Error(QString::fromLocal8Bit(std::strerror(error)));
    }
    return *std::move(bytes);
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
        lines.append(QString::fromUtf8(bytes.constData() + start, lineFeed - start));
        start = next;
    }
    return lines;
}

}  // namespace

void writeJobListFile(const QString& path, const JobList& jobs, const ExtractionOptions& options) {
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
    writeFileAtomically(path, text.toUtf8());
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
