#include "i18n/constants_resource.h"

#include "i18n/byte_reader.h"
#include "i18n/code_pages.h"

namespace mx {

std::vector<std::pair<QString, QString>> readConstantsResource(QByteArrayView bytes, int codePage) {
    constexpr int kCurrentVersion = 2;
    ByteReader reader(bytes, QStringLiteral("The constants resource"));
    const int version = reader.u8();
    if (version > kCurrentVersion) {
        throw ELxLangError(
            QStringLiteral("Stream version (%1) is greater than the current one (%2)")
                .arg(version)
                .arg(kCurrentVersion));
    }
    if (version == 2) {
        reader.u8();  // a flag nothing reads
    }
    const std::uint32_t count = reader.u32();
    reader.expectItems(count, 4);
    std::vector<std::pair<QString, QString>> constants;
    constants.reserve(count);
    for (std::uint32_t i = 0; i < count; ++i) {
        const QString name = QString::fromUtf8(reader.bytes(reader.u16()));
        const std::uint16_t length = reader.u16();
        QString value;
        if (version == 2) {
            value = decodeUtf16(reader.bytes(qsizetype(length) * 2), false);
        } else {
            value = decodeAnsi(reader.bytes(length), codePage);
        }
        constants.emplace_back(name, value);
    }
    return constants;
}

}  // namespace mx
