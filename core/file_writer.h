#pragma once

#include <QByteArrayView>
#include <QString>
#include <stdexcept>

namespace mx {

// Why writeFileSafely gave up: the step that failed and the system's error number.
class FileWriteError : public std::runtime_error {
public:
    enum class Step {
        Create,  // the file (its temporary twin) could not be created
        Write,   // a write, the flush to the device, the close or the rename failed
    };
    FileWriteError(Step step, int errorNumber);

    Step step() const { return m_step; }
    int errorNumber() const { return m_errorNumber; }
    // The system's own text for the error number ("No space left on device", ...).
    QString systemText() const;

private:
    Step m_step;
    int m_errorNumber;
};

// Replaces the file at `path` (a native path, see native_path.h) with `bytes`, for every file
// the program writes. The bytes go unbuffered to a new temporary file in the same folder, which
// is flushed to the device, closed and renamed over the target only when every step succeeded;
// a short write, a failed fsync, close or rename is a failure whatever the size. On failure the
// old file is exactly as it was, the temporary file is gone, and FileWriteError is thrown. A
// replaced file keeps its permission bits; a symbolic link is written through to its target.
void writeFileSafely(const QString& path, QByteArrayView bytes);

// Removes the temporary file of the write under way, if any, for a program about to end without
// unwinding (from a signal handler: it only unlinks). The write itself fails or is cut short with
// the process; the old file stays as it was.
void removeTemporaryFileInProgress() noexcept;

}  // namespace mx
