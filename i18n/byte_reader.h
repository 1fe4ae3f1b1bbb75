#pragma once

#include "i18n/lang_error.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <cstdint>

namespace mx {

// Reads little-endian numbers and byte runs from a buffer, never past its end: a read that
// would go beyond it throws ELxLangError naming `what` and the offset.
class ByteReader {
public:
    ByteReader(QByteArrayView bytes, QString what) : m_bytes(bytes), m_what(std::move(what)) {}

    std::uint8_t u8() { return static_cast<std::uint8_t>(take(1)[0]); }
    std::uint16_t u16() { return static_cast<std::uint16_t>(le(take(2))); }
    std::uint32_t u32() { return static_cast<std::uint32_t>(le(take(4))); }
    QByteArrayView bytes(qsizetype count) { return take(count); }

    qsizetype remaining() const { return m_bytes.size() - m_pos; }
    qsizetype position() const { return m_pos; }

    // Fails unless at least `count` items of at least `itemSize` bytes each can still follow,
    // so that a garbage count never makes us reserve or loop beyond the data.
    void expectItems(std::uint64_t count, qsizetype itemSize) const {
        if (count * static_cast<std::uint64_t>(itemSize) >
            static_cast<std::uint64_t>(remaining())) {
            fail();
        }
    }

    [[noreturn]] void fail() const {
        throw ELxLangError(
            QStringLiteral("%1 is truncated or damaged (at byte %2)").arg(m_what).arg(m_pos));
    }

private:
    QByteArrayView take(qsizetype count) {
        if (count < 0 || count > remaining()) {
            fail();
        }
        const QByteArrayView run = m_bytes.sliced(m_pos, count);
        m_pos += count;
        return run;
    }
    static std::uint64_t le(QByteArrayView run) {
        std::uint64_t value = 0;
        for (qsizetype i = run.size(); i-- > 0;) {
            value = (value << 8) | static_cast<std::uint8_t>(run[i]);
        }
        return value;
    }

    QByteArrayView m_bytes;
    QString m_what;
    qsizetype m_pos = 0;
};

}  // namespace mx
