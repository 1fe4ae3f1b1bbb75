#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <cstdint>
#include <memory>
#include <vector>

namespace mx {

class LxComponent;

// One translatable property of a component: its ID in language files, its path below the
// component ("Caption", "Columns[1].Caption") and the built-in text recorded at load.
struct TLxLang_PropEntry {
    std::int32_t id = 0;
    QString path;
    QString builtIn;
};

// Property entries sorted by path (without regard to the case of ASCII letters).
class TLxLang_PropEntries {
public:
    // Inserts at the sorted place; an entry whose path is already present is dropped, so the
    // first ID stays. Returns whether it was inserted.
    bool add(std::int32_t id, const QString& path);
    const TLxLang_PropEntry* find(QStringView path) const;
    TLxLang_PropEntry* find(QStringView path);
    const std::vector<TLxLang_PropEntry>& items() const { return m_items; }

private:
    std::vector<TLxLang_PropEntry> m_items;
};

// One node of a window's translation tree, bound to a live component once the window loaded.
struct TLxLang_CompEntry {
    using Children = std::vector<std::unique_ptr<TLxLang_CompEntry>>;

    TLxLang_CompEntry* parent = nullptr;
    LxComponent* component = nullptr;
    QString storedName;  // cleared when bound
    std::unique_ptr<TLxLang_PropEntries> properties;
    std::unique_ptr<Children> children;

    // The bound component's name, or the stored name before binding.
    QString name() const;
    TLxLang_CompEntry& addChild(const QString& name);
    TLxLang_PropEntries& ensureProperties();
    // Names from the window's direct child down to this node, joined by "."; empty for the root.
    QString nodePath() const;
};

// The stored byte form of a tree, little-endian, no header. A node is: name length (2 bytes)
// and name; a byte that is non-zero when a property list follows: count (4), then per entry ID
// (4), path length (2) and path; a byte that is non-zero when a child list follows: count (4)
// and the child nodes. Names and paths are UTF-8. Entries are written sorted by path.
// Reading: empty data gives an empty root; an entry whose path is already present is dropped;
// truncated, damaged or over-deep data and bytes after the root throw ELxLangError, and
// nothing is read outside `bytes`.
std::unique_ptr<TLxLang_CompEntry> readLangData(QByteArrayView bytes);
QByteArray writeLangData(const TLxLang_CompEntry& root);

// Nesting deeper than this is taken for damaged data.
inline constexpr int kMaxLangDataDepth = 256;

}  // namespace mx
