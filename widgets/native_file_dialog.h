#pragma once

#include <QFileDialog>
#include <QStringList>

namespace mx {

// A file dialog that hands back the real bytes of names that are not UTF-8. Qt's own dialog
// lists such a name with U+FFFD and then refuses it as missing ("File not found"); this one maps
// the chosen names back to their files (recoverNativePath) before that check. Names that differ
// only in such bytes look alike in the dialog: choosing one of them asks which file is meant.
class NativeFileDialog : public QFileDialog {
public:
    using QFileDialog::QFileDialog;

    // The chosen paths by their real bytes (see native_path.h).
    QStringList nativeSelectedFiles() const;

    // A folder chosen in this dialog, starting at `start`; empty when cancelled.
    static QString getExistingFolder(QWidget* parent, const QString& title, const QString& start);

protected:
    void accept() override;

private:
    QStringList m_chosen;
};

}  // namespace mx
