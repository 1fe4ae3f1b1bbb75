#pragma once

#include <gtest/gtest.h>

#include <QString>
#include <QStringList>

#include "core/error.h"

namespace mx::test {

// Runs a program to completion; returns its exit code, or -1 when it could not start or
// did not finish within the time limit. Standard output and error are appended to *output.
int runProgram(const QString& program, const QStringList& args, QString* output = nullptr,
               int timeoutMs = 120000);

// Runs the ffmpeg CLI with "-hide_banner -loglevel error -y" and the given arguments;
// true when it exited 0.
bool runFfmpeg(const QStringList& args);

// Reads a whole file; empty when it cannot be read.
QByteArray readFile(const QString& path);

// Writes a whole file, replacing it; false on failure.
bool writeFile(const QString& path, const QByteArray& bytes);

// The message of the Error the call throws; fails the test when it throws none.
template <typename Call>
QString errorOf(Call&& call) {
    try {
        call();
    } catch (const Error& e) {
        return e.message();
    }
    ADD_FAILURE() << "no error";
    return QString();
}

}  // namespace mx::test
