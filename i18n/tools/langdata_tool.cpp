// Turns a window's readable translation table (i18n/forms/*.table) into the stored
// translation data the window loads: mx_langdata_tool <table> <output.langdata>.
#include "core/error.h"
#include "i18n/form_table.h"

#include <QCoreApplication>
#include <QFile>
#include <QSaveFile>
#include <cstdio>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 3) {
        std::fprintf(stderr, "usage: mx_langdata_tool <table> <output.langdata>\n");
        return 2;
    }
    try {
        QFile table(args[1]);
        if (!table.open(QIODevice::ReadOnly)) {
            throw mx::Error(QStringLiteral("Cannot open %1: %2").arg(args[1], table.errorString()));
        }
        const QByteArray data =
            mx::writeLangData(*mx::parseFormTable(QString::fromUtf8(table.readAll())));
        QSaveFile out(args[2]);
        if (!out.open(QIODevice::WriteOnly) || out.write(data) != data.size() || !out.commit()) {
            throw mx::Error(
                QStringLiteral("Unable to write to %1: %2").arg(args[2], out.errorString()));
        }
    } catch (const std::exception& error) {
        std::fprintf(stderr, "%s\n", error.what());
        return 1;
    }
    return 0;
}
