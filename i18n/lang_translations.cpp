#include "i18n/lang_translations.h"

#include "i18n/ascii_text.h"

#include <algorithm>

namespace mx {

std::vector<TLxLang_Constant>::const_iterator TLxLang_Constants::lowerBound(
    QStringView name) const {
    return std::lower_bound(m_items.begin(), m_items.end(), name,
                            [](const TLxLang_Constant& item, QStringView key) {
                                return compareAsciiNoCase(item.name, key) < 0;
                            });
}

const TLxLang_Constant* TLxLang_Constants::find(QStringView name) const {
    const auto it = lowerBound(name);
    return (it != m_items.end() && sameAsciiNoCase(it->name, name)) ? &*it : nullptr;
}

TLxLang_Constant* TLxLang_Constants::find(QStringView name) {
    return const_cast<TLxLang_Constant*>(std::as_const(*this).find(name));
}

bool TLxLang_Constants::add(const QString& name, const QString& value,
                            const QString& defaultValue) {
    const auto it = lowerBound(name);
    if (it != m_items.end() && sameAsciiNoCase(it->name, name)) {
        return false;
    }
    m_items.insert(it, TLxLang_Constant{name, value, defaultValue});
    return true;
}

bool isValidConstantName(QStringView name) {
    if (name.isEmpty()) {
        return false;
    }
    for (qsizetype i = 0; i < name.size(); ++i) {
        const char16_t c = name[i].unicode();
        const bool letter = (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z') || c == u'_';
        const bool digit = c >= u'0' && c <= u'9';
        if (!letter && !(digit && i > 0)) {
            return false;
        }
    }
    return true;
}

bool TLxLang_CompTranslation::add(std::int32_t id, const QString& value) {
    const auto it = std::lower_bound(
        m_values.begin(), m_values.end(), id,
        [](const TLxLang_PropValueTranslation& item, std::int32_t key) { return item.id < key; });
    if (it != m_values.end() && it->id == id) {
        return false;
    }
    m_values.insert(it, TLxLang_PropValueTranslation{id, value});
    return true;
}

const QString* TLxLang_CompTranslation::find(std::int32_t id) const {
    const auto it = std::lower_bound(
        m_values.begin(), m_values.end(), id,
        [](const TLxLang_PropValueTranslation& item, std::int32_t key) { return item.id < key; });
    return (it != m_values.end() && it->id == id) ? &it->value : nullptr;
}

QString TLxLang_CompTranslations::headerValue(QStringView name) const {
    for (const auto& [key, value] : m_header) {
        if (key.compare(name, Qt::CaseInsensitive) == 0) {
            return value;
        }
    }
    return {};
}

void TLxLang_CompTranslations::setHeaderValue(const QString& name, const QString& value) {
    const auto it = std::find_if(m_header.begin(), m_header.end(), [&](const auto& entry) {
        return entry.first.compare(name, Qt::CaseInsensitive) == 0;
    });
    if (value.isEmpty()) {
        if (it != m_header.end()) {
            m_header.erase(it);
        }
    } else if (it != m_header.end()) {
        it->second = value;
    } else {
        m_header.emplace_back(name, value);
    }
}

const TLxLang_CompTranslation* TLxLang_CompTranslations::findSection(QStringView name) const {
    for (const auto& section : m_sections) {
        if (sameAsciiNoCase(section->name(), name)) {
            return section.get();
        }
    }
    return nullptr;
}

TLxLang_CompTranslation& TLxLang_CompTranslations::section(const QString& name) {
    if (const auto* existing = findSection(name)) {
        return const_cast<TLxLang_CompTranslation&>(*existing);
    }
    m_sections.push_back(std::make_unique<TLxLang_CompTranslation>(name));
    return *m_sections.back();
}

void TLxLang_CompTranslations::clear() {
    m_header.clear();
    m_constants.clear();
    m_sections.clear();
}

}  // namespace mx
