#pragma once

#include <QFileDialog>
#include <QStringList>

namespace mx {

// A file dialog that hands back the real bytes of names that are not UTF-8. Qt's own dialog
// lists such a name with U+FFFD and then refuses it as missing ("File not found"); this one maps
// the chosen names back to their files (recoverNativePath) before that check.
class NativeFileDialog : public QFileDialog {
public:
    using QFileDialog::QFileDialog;

    // The chosen paths by their real bytes (see native_path.h).
    QStringList nativeSelectedFiles() const;

protected:
    void accept() override;

private:
    QStringList m_chosen;
};

}  // namespace mx
