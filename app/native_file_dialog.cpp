#include "app/native_file_dialog.h"

#include <sys/stat.h>

#include "core/native_path.h"
#include "core/path_recovery.h"

namespace mx {
namespace {

QStringList recovered(const QStringList& paths) {
    QStringList result;
    for (const QString& path : paths) {
        result << recoverNativePath(path);
    }
    return result;
}

// 1 for a folder, 0 for another existing entry, -1 for none.
int kindOf(const QString& path) {
    struct stat info;
    if (::stat(encodeNativePath(path).constData(), &info) != 0) {
        return -1;
    }
    return S_ISDIR(info.st_mode) ? 1 : 0;
}

}  // namespace

QStringList NativeFileDialog::nativeSelectedFiles() const {
    return m_chosen.isEmpty() ? recovered(selectedFiles()) : m_chosen;
}

void NativeFileDialog::accept() {
    const QStringList chosen = recovered(selectedFiles());
    const bool opening = acceptMode() == AcceptOpen && fileMode() != AnyFile;
    const int wanted = fileMode() == Directory ? 1 : 0;
    bool found = opening && !chosen.isEmpty();
    for (const QString& path : chosen) {
        found = found && kindOf(path) == wanted;
    }
    if (found) {
        m_chosen = chosen;
        QDialog::accept();
        return;
    }
    // Everything else as Qt does it: its own messages, a typed folder name opens the folder.
    QFileDialog::accept();
}

}  // namespace mx
