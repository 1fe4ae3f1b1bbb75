#include "i18n/lang_translations.h"

#include "i18n/ascii_text.h"

#include <algorithm>

namespace mx {

bool AsciiNoCaseLess::operator()(QStringView a, QStringView b) const {
    return compareAsciiNoCase(a, b) < 0;
}

const TLxLang_Constant* TLxLang_Constants::find(QStringView name) const {
    const auto it = m_index.find(name);
    return it != m_index.end() ? &m_items[it->second] : nullptr;
}

TLxLang_Constant* TLxLang_Constants::find(QStringView name) {
    return const_cast<TLxLang_Constant*>(std::as_const(*this).find(name));
}

bool TLxLang_Constants::add(const QString& name, const QString& value,
                            const QString& defaultValue) {
    if (!m_index.emplace(name, m_items.size()).second) {
        return false;
    }
    m_items.push_back(TLxLang_Constant{name, value, defaultValue});
    return true;
}

void TLxLang_Constants::clear() {
    m_items.clear();
    m_index.clear();
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
    return m_values.emplace(id, value).second;
}

const QString* TLxLang_CompTranslation::find(std::int32_t id) const {
    const auto it = m_values.find(id);
    return it != m_values.end() ? &it->second : nullptr;
}

QString TLxLang_CompTranslations::headerValue(QStringView name) const {
    const auto it = m_headerIndex.find(name.toString().toCaseFolded());
    return it != m_headerIndex.end() ? m_header[*it].second : QString();
}

void TLxLang_CompTranslations::setHeaderValue(const QString& name, const QString& value) {
    const QString folded = name.toCaseFolded();
    const auto it = m_headerIndex.find(folded);
    if (value.isEmpty()) {
        // A removed name keeps its slot, emptied, so the other slots stay where the index
        // says they are; headerValues() leaves it out.
        if (it != m_headerIndex.end()) {
            m_header[*it].second.clear();
            m_headerIndex.erase(it);
        }
    } else if (it != m_headerIndex.end()) {
        m_header[*it].second = value;
    } else {
        m_headerIndex.insert(folded, m_header.size());
        m_header.emplace_back(name, value);
    }
}

std::vector<std::pair<QString, QString>> TLxLang_CompTranslations::headerValues() const {
    std::vector<std::pair<QString, QString>> values;
    for (const auto& entry : m_header) {
        if (!entry.second.isEmpty()) {
            values.push_back(entry);
        }
    }
    return values;
}

const TLxLang_CompTranslation* TLxLang_CompTranslations::findSection(QStringView name) const {
    const auto it = m_sectionIndex.find(name);
    return it != m_sectionIndex.end() ? m_sections[it->second].get() : nullptr;
}

TLxLang_CompTranslation& TLxLang_CompTranslations::section(const QString& name) {
    if (const auto it = m_sectionIndex.find(name); it != m_sectionIndex.end()) {
        return *m_sections[it->second];
    }
    m_sectionIndex.emplace(name, m_sections.size());
    m_sections.push_back(std::make_unique<TLxLang_CompTranslation>(name));
    return *m_sections.back();
}

void TLxLang_CompTranslations::clear() {
    m_header.clear();
    m_headerIndex.clear();
    m_constants.clear();
    m_sectionIndex.clear();
    m_sections.clear();
}

}  // namespace mx
