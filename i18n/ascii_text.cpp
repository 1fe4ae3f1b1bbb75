#include "i18n/ascii_text.h"

namespace mx {
namespace {

char16_t foldAscii(char16_t c) {
    return (c >= u'a' && c <= u'z') ? char16_t(c - (u'a' - u'A')) : c;
}

}  // namespace

int compareAsciiNoCase(QStringView a, QStringView b) {
    const qsizetype n = std::min(a.size(), b.size());
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t ca = foldAscii(a[i].unicode());
        const char16_t cb = foldAscii(b[i].unicode());
        if (ca != cb) {
            return ca < cb ? -1 : 1;
        }
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

QStringView trimControl(QStringView text) {
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && text[begin].unicode() <= 32) {
        ++begin;
    }
    while (end > begin && text[end - 1].unicode() <= 32) {
        --end;
    }
    return text.mid(begin, end - begin);
}

}  // namespace mx
