#include "common/test_support.h"

#include <QFile>
#include <QProcess>

namespace mx::test {

int runProgram(const QString& program, const QStringList& args, QString* output, int timeoutMs) {
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, args);
    if (!process.waitForStarted() || !process.waitForFinished(timeoutMs)) {
        process.kill();
        process.waitForFinished();
        return -1;
    }
    if (output) {
        *output += QString::fromUtf8(process.readAll());
    }
    return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
}

bool runFfmpeg(const QStringList& args) {
    QString output;
    const int rc = runProgram(
        "ffmpeg", QStringList{"-hide_banner", "-loglevel", "error", "-y"} + args, &output);
    if (rc != 0) {
        qWarning("ffmpeg failed (%d): %s", rc, qPrintable(output));
    }
    return rc == 0;
}

QByteArray readFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return {};
    }
    return file.readAll();
}

bool writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        return false;
    }
    return file.write(bytes) == bytes.size() && file.flush();
}

}  // namespace mx::test
