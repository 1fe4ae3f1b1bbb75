#include "i18n/mask_list.h"

#include "i18n/lang_error.h"

namespace mx {
namespace {

char16_t fold(char16_t c) {
    return QChar(c).toUpper().unicode();
}

}  // namespace

WildcardMask::WildcardMask(const QString& mask) {
    const auto invalidAt = [&](qsizetype index) {
        return ELxLangError(
            QStringLiteral("'%1' is an invalid mask at (%2)").arg(mask).arg(index + 1));
    };
    for (qsizetype i = 0; i < mask.size(); ++i) {
        const char16_t c = mask[i].unicode();
        Token token;
        token.kind = Token::Literal;
        if (c == u'*') {
            token.kind = Token::Star;
        } else if (c == u'?') {
            token.kind = Token::Any;
        } else if (c == u'[') {
            token.kind = Token::Set;
            ++i;
            if (i < mask.size() && mask[i] == u'!') {
                token.negated = true;
                ++i;
            }
            while (i < mask.size() && mask[i] != u']') {
                const char16_t low = fold(mask[i].unicode());
                char16_t high = low;
                if (i + 2 < mask.size() && mask[i + 1] == u'-' && mask[i + 2] != u']') {
                    high = fold(mask[i + 2].unicode());
                    i += 2;
                }
                token.ranges.emplace_back(low, high);
                ++i;
            }
            if (i >= mask.size() || token.ranges.empty()) {
                throw invalidAt(i);
            }
        } else {
            token.literal = fold(c);
        }
        m_tokens.push_back(std::move(token));
    }
}

bool WildcardMask::Token::matches(char16_t c) const {
    switch (kind) {
        case Literal:
            return fold(c) == literal;
        case Any:
            return true;
        case Set: {
            const char16_t f = fold(c);
            bool inSet = false;
            for (const auto& [low, high] : ranges) {
                inSet = inSet || (f >= low && f <= high);
            }
            return inSet != negated;
        }
        case Star:
            break;
    }
    return false;
}

bool WildcardMask::matches(QStringView text) const {
    // Greedy matching that returns to the last star on a mismatch; linear in practice and
    // never worse than text length times mask length.
    size_t t = 0;
    qsizetype s = 0;
    size_t starToken = SIZE_MAX;
    qsizetype starText = 0;
    while (s < text.size()) {
        if (t < m_tokens.size() && m_tokens[t].kind == Token::Star) {
            starToken = t++;
            starText = s;
        } else if (t < m_tokens.size() && m_tokens[t].matches(text[s].unicode())) {
            ++t;
            ++s;
        } else if (starToken != SIZE_MAX) {
            t = starToken + 1;
            s = ++starText;
        } else {
            return false;
        }
    }
    while (t < m_tokens.size() && m_tokens[t].kind == Token::Star) {
        ++t;
    }
    return t == m_tokens.size();
}

TLxLang_MaskList::TLxLang_MaskList(const QStringList& masks) {
    for (const QString& mask : masks) {
        m_masks.emplace_back(mask);
    }
}

bool TLxLang_MaskList::matches(QStringView text) const {
    for (const auto& mask : m_masks) {
        if (mask.matches(text)) {
            return true;
        }
    }
    return false;
}

}  // namespace mx
