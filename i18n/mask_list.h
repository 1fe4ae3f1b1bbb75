#pragma once

#include <QString>
#include <QStringList>
#include <vector>

namespace mx {

// One wildcard mask, matched without regard to case: "*" any run, "?" any one character,
// "[...]" one character of a set with ranges ("a-z"), "[!...]" of its complement.
class WildcardMask {
public:
    // Throws ELxLangError "'<mask>' is an invalid mask at (<position>)" for an unclosed or
    // empty set; the position counts from 1.
    explicit WildcardMask(const QString& mask);
    bool matches(QStringView text) const;

private:
    struct Token {
        enum Kind { Literal, Any, Star, Set } kind = Literal;
        char16_t literal = 0;
        bool negated = false;
        std::vector<std::pair<char16_t, char16_t>> ranges;
        bool matches(char16_t c) const;
    };
    std::vector<Token> m_tokens;
};

// A text matches the list when it matches any of its masks (one mask per line).
class TLxLang_MaskList {
public:
    explicit TLxLang_MaskList(const QStringList& masks);
    bool matches(QStringView text) const;
    bool isEmpty() const { return m_masks.empty(); }

private:
    std::vector<WildcardMask> m_masks;
};

}  // namespace mx
