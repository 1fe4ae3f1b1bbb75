#pragma once

#include <QString>
#include <QStringView>
#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

namespace mx {

// A named text constant: the value in use and the one to return to with the built-in language.
struct TLxLang_Constant {
    QString name;
    QString value;
    QString defaultValue;
};

// Constants sorted by name, compared without regard to the case of ASCII letters.
class TLxLang_Constants {
public:
    const TLxLang_Constant* find(QStringView name) const;
    TLxLang_Constant* find(QStringView name);
    // Inserts at the sorted place; false (and no change) when the name is already present.
    bool add(const QString& name, const QString& value, const QString& defaultValue);
    void clear() { m_items.clear(); }
    const std::vector<TLxLang_Constant>& items() const { return m_items; }
    std::vector<TLxLang_Constant>& items() { return m_items; }

private:
    std::vector<TLxLang_Constant>::const_iterator lowerBound(QStringView name) const;
    std::vector<TLxLang_Constant> m_items;
};

// First character a letter or "_", the others letters, digits or "_" (ASCII only).
bool isValidConstantName(QStringView name);

struct TLxLang_PropValueTranslation {
    std::int32_t id;
    QString value;
};

// The translations of one window: values kept sorted by ID for binary search.
class TLxLang_CompTranslation {
public:
    explicit TLxLang_CompTranslation(QString name) : m_name(std::move(name)) {}
    const QString& name() const { return m_name; }
    // Inserts at the sorted place; false (and no change) when the ID is already present.
    bool add(std::int32_t id, const QString& value);
    const QString* find(std::int32_t id) const;
    const std::vector<TLxLang_PropValueTranslation>& values() const { return m_values; }

private:
    QString m_name;
    std::vector<TLxLang_PropValueTranslation> m_values;
};

// The content of one language file: header values, constants and window sections in order of
// first appearance. Made for one operation and discarded afterwards.
class TLxLang_CompTranslations {
public:
    // Header names compare without regard to case; an empty value removes the name.
    QString headerValue(QStringView name) const;
    void setHeaderValue(const QString& name, const QString& value);
    const std::vector<std::pair<QString, QString>>& headerValues() const { return m_header; }

    TLxLang_Constants& constants() { return m_constants; }
    const TLxLang_Constants& constants() const { return m_constants; }

    // The section of that name, compared without regard to the case of ASCII letters.
    const TLxLang_CompTranslation* findSection(QStringView name) const;
    // The section of that name, appended when there is none yet.
    TLxLang_CompTranslation& section(const QString& name);
    const std::vector<std::unique_ptr<TLxLang_CompTranslation>>& sections() const {
        return m_sections;
    }

    void clear();

private:
    std::vector<std::pair<QString, QString>> m_header;
    TLxLang_Constants m_constants;
    std::vector<std::unique_ptr<TLxLang_CompTranslation>> m_sections;
};

}  // namespace mx
