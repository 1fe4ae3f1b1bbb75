#include "i18n/lang_data.h"

#include "i18n/ascii_text.h"
#include "i18n/byte_reader.h"
#include "i18n/lx_component.h"

#include <algorithm>

namespace mx {
namespace {

auto lowerBoundByPath(const std::vector<TLxLang_PropEntry>& items, QStringView path) {
    return std::lower_bound(items.begin(), items.end(), path,
                            [](const TLxLang_PropEntry& entry, QStringView key) {
                                return compareAsciiNoCase(entry.path, key) < 0;
                            });
}

void readNode(ByteReader& reader, TLxLang_CompEntry& node, int depth) {
    if (depth > kMaxLangDataDepth) {
        reader.fail();
    }
    node.storedName = QString::fromUtf8(reader.bytes(reader.u16()));
    if (reader.u8() != 0) {
        const std::uint32_t count = reader.u32();
        reader.expectItems(count, 6);
        auto& properties = node.ensureProperties();
        for (std::uint32_t i = 0; i < count; ++i) {
            const auto id = static_cast<std::int32_t>(reader.u32());
            properties.add(id, QString::fromUtf8(reader.bytes(reader.u16())));
        }
    }
    if (reader.u8() != 0) {
        const std::uint32_t count = reader.u32();
        reader.expectItems(count, 4);
        node.children = std::make_unique<TLxLang_CompEntry::Children>();
        node.children->reserve(count);
        for (std::uint32_t i = 0; i < count; ++i) {
            auto child = std::make_unique<TLxLang_CompEntry>();
            child->parent = &node;
            readNode(reader, *child, depth + 1);
            node.children->push_back(std::move(child));
        }
    }
}

void appendLe(QByteArray& out, std::uint64_t value, int size) {
    for (int i = 0; i < size; ++i) {
        out.append(static_cast<char>((value >> (8 * i)) & 0xFF));
    }
}

void appendText(QByteArray& out, const QString& text) {
    const QByteArray bytes = text.toUtf8();
    if (bytes.size() > 0xFFFF) {
        throw ELxLangError(QStringLiteral("Translation data text too long (\"%1\")").arg(text));
    }
    appendLe(out, static_cast<std::uint64_t>(bytes.size()), 2);
    out.append(bytes);
}

void writeNode(QByteArray& out, const TLxLang_CompEntry& node) {
    appendText(out, node.name());
    out.append(node.properties ? '\1' : '\0');
    if (node.properties) {
        const auto& items = node.properties->items();
        appendLe(out, items.size(), 4);
        for (const auto& entry : items) {
            appendLe(out, static_cast<std::uint32_t>(entry.id), 4);
            appendText(out, entry.path);
        }
    }
    out.append(node.children ? '\1' : '\0');
    if (node.children) {
        appendLe(out, node.children->size(), 4);
        for (const auto& child : *node.children) {
            writeNode(out, *child);
        }
    }
}

}  // namespace

bool TLxLang_PropEntries::add(std::int32_t id, const QString& path) {
    const auto it = lowerBoundByPath(m_items, path);
    if (it != m_items.end() && sameAsciiNoCase(it->path, path)) {
        return false;
    }
    m_items.insert(it, TLxLang_PropEntry{id, path, QString()});
    return true;
}

const TLxLang_PropEntry* TLxLang_PropEntries::find(QStringView path) const {
    const auto it = lowerBoundByPath(m_items, path);
    return (it != m_items.end() && sameAsciiNoCase(it->path, path)) ? &*it : nullptr;
}

TLxLang_PropEntry* TLxLang_PropEntries::find(QStringView path) {
    return const_cast<TLxLang_PropEntry*>(std::as_const(*this).find(path));
}

QString TLxLang_CompEntry::name() const {
    return component ? component->componentName() : storedName;
}

TLxLang_CompEntry& TLxLang_CompEntry::addChild(const QString& name) {
    if (!children) {
        children = std::make_unique<Children>();
    }
    auto child = std::make_unique<TLxLang_CompEntry>();
    child->parent = this;
    child->storedName = name;
    children->push_back(std::move(child));
    return *children->back();
}

TLxLang_PropEntries& TLxLang_CompEntry::ensureProperties() {
    if (!properties) {
        properties = std::make_unique<TLxLang_PropEntries>();
    }
    return *properties;
}

QString TLxLang_CompEntry::nodePath() const {
    if (!parent) {
        return {};
    }
    const QString above = parent->nodePath();
    return above.isEmpty() ? name() : above + u'.' + name();
}

std::unique_ptr<TLxLang_CompEntry> readLangData(QByteArrayView bytes) {
    auto root = std::make_unique<TLxLang_CompEntry>();
    if (bytes.isEmpty()) {
        return root;
    }
    ByteReader reader(bytes, QStringLiteral("Translation data"));
    readNode(reader, *root, 0);
    if (reader.remaining() != 0) {
        reader.fail();
    }
    return root;
}

QByteArray writeLangData(const TLxLang_CompEntry& root) {
    QByteArray out;
    writeNode(out, root);
    return out;
}

}  // namespace mx
