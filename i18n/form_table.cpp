#include "i18n/form_table.h"

#include "i18n/lang_error.h"

#include <QFile>
#include <QRegularExpression>

namespace mx {

std::unique_ptr<TLxLang_CompEntry> parseFormTable(const QString& table) {
    std::unique_ptr<TLxLang_CompEntry> root;
    const QStringList lines = table.split(u'\n');
    for (qsizetype index = 0; index < lines.size(); ++index) {
        const auto fail = [&](const QString& reason) {
            return ELxLangError(
                QStringLiteral("Form table line %1: %2").arg(index + 1).arg(reason));
        };
        const QString line = lines[index].section(u'#', 0, 0).trimmed();
        if (line.isEmpty()) {
            continue;
        }
        const QString name = line.section(u':', 0, 0).trimmed();
        static const QRegularExpression identifier(QStringLiteral("^[A-Za-z_][A-Za-z0-9_]*$"));
        if (!identifier.match(name).hasMatch()) {
            throw fail(QStringLiteral("\"%1\" is not a component name").arg(name));
        }
        TLxLang_CompEntry* node = nullptr;
        if (!root) {
            root = std::make_unique<TLxLang_CompEntry>();
            root->storedName = name;
            node = root.get();
        } else {
            node = &root->addChild(name);
        }
        if (!line.contains(u':')) {
            continue;
        }
        node->ensureProperties();
        for (const QString& pair : line.section(u':', 1).split(
                 QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts)) {
            bool numeric = false;
            const int id = pair.section(u'=', 0, 0).toInt(&numeric);
            const QString path = pair.section(u'=', 1);
            if (!numeric || id <= 0 || path.isEmpty()) {
                throw fail(QStringLiteral("\"%1\" is not ID=path").arg(pair));
            }
            if (!node->properties->add(id, path)) {
                throw fail(QStringLiteral("property \"%1\" listed twice").arg(path));
            }
        }
    }
    if (!root) {
        throw ELxLangError(QStringLiteral("Form table line 1: no window named"));
    }
    return root;
}

QByteArray formLangData(const QString& formName) {
    QFile file(QStringLiteral(":/i18n/forms/%1.langdata").arg(formName));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

}  // namespace mx
