#include "widgets/folder_edit.h"

#include <sys/stat.h>

#include <QContextMenuEvent>
#include <QDir>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QToolButton>

#include "core/native_path.h"
#include "widgets/design_scale.h"
#include "widgets/native_file_dialog.h"

namespace mx {

NoClipboardLineEdit::NoClipboardLineEdit(QWidget* parent) : QLineEdit(parent) {
    setDragEnabled(false);
    setAcceptDrops(false);
}

void NoClipboardLineEdit::keyPressEvent(QKeyEvent* event) {
    if (event->matches(QKeySequence::Cut) || event->matches(QKeySequence::Copy) ||
        event->matches(QKeySequence::Paste) || event->matches(QKeySequence::Undo) ||
        event->matches(QKeySequence::Redo)) {
        event->accept();
        return;
    }
    QLineEdit::keyPressEvent(event);
}

void NoClipboardLineEdit::contextMenuEvent(QContextMenuEvent* event) {
    event->accept();
}

void NoClipboardLineEdit::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::MiddleButton) {
        event->accept();  // no paste of the X11 selection
        return;
    }
    QLineEdit::mouseReleaseEvent(event);
}

FolderEdit::FolderEdit(QWidget* parent)
    : QWidget(parent), m_edit(new NoClipboardLineEdit(this)), m_browse(new QToolButton(this)) {
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(m_edit);
    layout->addWidget(m_browse);
    m_browse->setText(QStringLiteral("..."));
    m_browse->setFixedWidth(scaled(26));
    m_browse->setFocusPolicy(Qt::NoFocus);
    connect(m_browse, &QToolButton::clicked, this, &FolderEdit::browse);
    connect(m_edit, &QLineEdit::textChanged, this, &FolderEdit::textChanged);
    m_picker = [](QWidget* owner, const QString& start) {
        return NativeFileDialog::getExistingFolder(owner, QString(), start);
    };
}

QString FolderEdit::pickerStartFolder() const {
    const QString typed = m_edit->text();
    if (typed.isEmpty()) {
        return m_lastConfirmed.isEmpty() ? QDir::rootPath() : m_lastConfirmed;
    }
    struct stat info {};
    const bool isFolder =
        ::stat(encodeNativePath(typed).constData(), &info) == 0 && S_ISDIR(info.st_mode);
    return isFolder ? typed : QDir::rootPath();
}

void FolderEdit::browse() {
    const QString chosen = m_picker(this, pickerStartFolder());
    if (chosen.isEmpty()) {
        return;
    }
    m_lastConfirmed = chosen;
    m_edit->setText(chosen);
}

}  // namespace mx
