#include "i18n_test_util.h"

#include "common/test_support.h"
#include "core/error.h"

#include <gtest/gtest.h>
#include <QFileInfo>

namespace mx::test {

QByteArray utf16File(const QString& text) {
    QByteArray bytes("\xFF\xFE", 2);
    for (QChar c : text) {
        bytes.append(static_cast<char>(c.unicode() & 0xFF));
        bytes.append(static_cast<char>(c.unicode() >> 8));
    }
    return bytes;
}

QByteArray ansiFile(const QString& text, int codePage) {
    return encodeAnsi(text, codePage);
}

QString putFile(const QTemporaryDir& dir, const QString& name, const QByteArray& bytes) {
    const QString path = dir.filePath(name);
    QDir().mkpath(QFileInfo(path).path());
    EXPECT_TRUE(writeFile(path, bytes)) << path.toStdString();
    return path;
}

void FakeController::applyTranslation(const TLxLang_CompTranslation* section, int codePage) {
    lastCodePage = codePage;
    const QString* value = section ? section->find(1) : nullptr;
    events << (QStringLiteral("apply ") + (value ? *value : QStringLiteral("built-in")));
    if (onApply) {
        onApply();
    }
}

QString errorOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const Error& error) {
        return error.message();
    }
    return {};
}

}  // namespace mx::test
