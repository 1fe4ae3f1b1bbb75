#include "joblist/job_list_file.h"

#include <QFile>
#include <QFileInfo>

#include "core/error.h"
#include "core/int_text.h"
#include "joblist/job_list.h"
#include "settings/atomic_file.h"
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

QByteArray readWhole(const QString& path) {
    const QFileInfo info(path);
    if (!info.exists()) {
        throw Error(QFileInfo(info.absolutePath()).isDir() ? QStringLiteral("File not found")
                                                           : QStringLiteral("Path not found"));
    }
    QFile file(path);
    if (info.isDir() || !file.open(QIODevice::ReadOnly)) {
        throw Error(QStringLiteral("File access denied"));
    }
    QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        throw Error(file.errorString());
    }
    return bytes;
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
    for (const OptionFieldInfo& info : kOptionFieldTable) {
        addLine(optionLine(info, options));
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
    for (const OptionFieldInfo& info : kOptionFieldTable) {
        applyOptionLine(info, next < lines.size() ? lines[next] : QString(), options);
        ++next;
    }
    return result;
}

}  // namespace mx
