#pragma once

#include <QHash>
#include <QString>
#include <QStringView>
#include <cstddef>
#include <cstdint>
#include <map>
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

// Orders names without regard to the case of ASCII letters.
struct AsciiNoCaseLess {
    using is_transparent = void;
    bool operator()(QStringView a, QStringView b) const;
};

// Constants in the order they were added, found by name compared without regard to the case
// of ASCII letters. Adding and finding take logarithmic time whatever the order of the names.
class TLxLang_Constants {
public:
    const TLxLang_Constant* find(QStringView name) const;
    TLxLang_Constant* find(QStringView name);
    // False (and no change) when the name is already present.
    bool add(const QString& name, const QString& value, const QString& defaultValue);
    void clear();
    const std::vector<TLxLang_Constant>& items() const { return m_items; }
    // For changing values; names must stay as they are.
    std::vector<TLxLang_Constant>& items() { return m_items; }

private:
    std::vector<TLxLang_Constant> m_items;
    std::map<QString, std::size_t, AsciiNoCaseLess> m_index;
};

// First character a letter or "_", the others letters, digits or "_" (ASCII only).
bool isValidConstantName(QStringView name);

struct TLxLang_PropValueTranslation {
    std::int32_t id;
    QString value;
};

// The translations of one window, by ID. A tree rather than a sorted array: IDs come in any
// order, and inserting each into an array is quadratic on a large file in descending order.
class TLxLang_CompTranslation {
public:
    explicit TLxLang_CompTranslation(QString name) : m_name(std::move(name)) {}
    const QString& name() const { return m_name; }
    // False (and no change) when the ID is already present.
    bool add(std::int32_t id, const QString& value);
    const QString* find(std::int32_t id) const;
    const std::map<std::int32_t, QString>& values() const { return m_values; }

private:
    QString m_name;
    std::map<std::int32_t, QString> m_values;
};

// The content of one language file: header values, constants and window sections in order of
// first appearance. Made for one operation and discarded afterwards.
class TLxLang_CompTranslations {
public:
    // Header names compare without regard to case; an empty value removes the name.
    QString headerValue(QStringView name) const;
    void setHeaderValue(const QString& name, const QString& value);
    // The names with a value, in order of first appearance.
    std::vector<std::pair<QString, QString>> headerValues() const;

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
    QHash<QString, std::size_t> m_headerIndex;  // by case-folded name
    TLxLang_Constants m_constants;
    std::vector<std::unique_ptr<TLxLang_CompTranslation>> m_sections;
    std::map<QString, std::size_t, AsciiNoCaseLess> m_sectionIndex;
};

}  // namespace mx
