#include "widgets/native_file_dialog.h"

#include <sys/stat.h>

#include <QInputDialog>

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

// The path as shown, followed by the bytes its stand-ins hide, so that names which look alike
// can be told apart: "/v/caf\uFFFD.avi  (byte E9)".
QString labelWithBytes(const QString& path) {
    QStringList bytes;
    for (const QChar c : path) {
        if (c.unicode() >= 0xDC80 && c.unicode() <= 0xDCFF) {
            bytes << QStringLiteral("%1")
                         .arg(c.unicode() - 0xDC00, 2, 16, QLatin1Char('0'))
                         .toUpper();
        }
    }
    return displayPath(path) + QStringLiteral("  (byte%1 %2)")
                                   .arg(bytes.size() == 1 ? QString() : QStringLiteral("s"),
                                        bytes.join(QLatin1Char(' ')));
}

// The file meant by `shown` when several look like it; empty when the user cancels.
QString askWhichOne(QWidget* parent, const QString& shown, const QStringList& candidates) {
    QStringList labels;
    for (const QString& candidate : candidates) {
        labels << labelWithBytes(candidate);
    }
    bool chosen = false;
    const QString label = QInputDialog::getItem(
        parent, parent->windowTitle(),
        QStringLiteral("Several files are shown as\n%1\nWhich one is meant?").arg(shown), labels, 0,
        false, &chosen);
    return chosen ? candidates.value(labels.indexOf(label)) : QString();
}

// The deepest folder of `path` that Qt can open: its name holds no byte that is not UTF-8.
QString openableByQt(QString path) {
    while (hasEscapedBytes(path)) {
        const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
        if (slash < 0) {
            return QString();
        }
        path.truncate(slash == 0 ? 1 : slash);
    }
    return path;
}

}  // namespace

QStringList NativeFileDialog::nativeSelectedFiles() const {
    return m_chosen.isEmpty() ? recovered(selectedFiles()) : m_chosen;
}

QString NativeFileDialog::getExistingFolder(QWidget* parent, const QString& title,
                                            const QString& start) {
    NativeFileDialog dialog(parent, title, openableByQt(start));
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly);
    return dialog.exec() == QDialog::Accepted ? dialog.nativeSelectedFiles().value(0) : QString();
}

void NativeFileDialog::accept() {
    QStringList chosen;
    for (const QString& shown : selectedFiles()) {
        const QStringList candidates = nativePathsShownAs(shown);
        if (candidates.size() <= 1) {
            chosen << recoverNativePath(shown);
            continue;
        }
        const QString meant = askWhichOne(this, shown, candidates);
        if (meant.isEmpty()) {
            return;  // back to the dialog
        }
        chosen << meant;
    }
    const bool opening = acceptMode() == AcceptOpen && fileMode() != AnyFile;
    const int wanted = fileMode() == Directory ? 1 : 0;
    bool found = opening && !chosen.isEmpty();
    for (const QString& path : chosen) {
        found = found && kindOf(path) == wanted;
    }
    m_chosen = chosen;
    if (found) {
        QDialog::accept();
        return;
    }
    // Everything else as Qt does it: its own messages, a typed folder name opens the folder.
    QFileDialog::accept();
}

}  // namespace mx
