#pragma once

#include <QByteArray>
#include <QString>

namespace mx {

// Replaces the file at `path` with `bytes`: the data goes to a temporary file in the same
// folder, which is renamed over the old file only once every write and the close succeeded.
// A failure therefore leaves any old file exactly as it was. Throws Error with the system's
// short file error text: "Path not found", "File access denied", "Disk full", or the
// operating system's own description for anything else.
void writeFileAtomically(const QString& path, const QByteArray& bytes);

}  // namespace mx
