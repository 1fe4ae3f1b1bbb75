#include "i18n/language_controller.h"

#include "i18n/ascii_text.h"

#include <algorithm>

namespace mx {
namespace {

QStringList sortedUnique(QStringList masks) {
    std::sort(masks.begin(), masks.end(),
              [](const QString& a, const QString& b) { return compareAsciiNoCase(a, b) < 0; });
    masks.erase(
        std::unique(masks.begin(), masks.end(),
                    [](const QString& a, const QString& b) { return sameAsciiNoCase(a, b); }),
        masks.end());
    return masks;
}

bool hasLetter(const QString& text) {
    return std::any_of(text.begin(), text.end(), [](QChar c) {
        const char16_t u = c.unicode();
        return (u >= u'A' && u <= u'Z') || (u >= u'a' && u <= u'z') || u >= 161;
    });
}

// True when the subject, or the subject of an object the property was reached through
// ("Font" for "Font.Name"), matches the masks.
bool matchesOrInside(const TLxLang_MaskList& masks, const QString& nodePath,
                     const QString& propertyPath) {
    if (masks.isEmpty()) {
        return false;
    }
    for (qsizetype dot = propertyPath.indexOf(u'.'); dot >= 0;
         dot = propertyPath.indexOf(u'.', dot + 1)) {
        if (masks.matches(nodePath + u'.' + propertyPath.first(dot))) {
            return true;
        }
    }
    return masks.matches(nodePath + u'.' + propertyPath);
}

}  // namespace

TLxLanguageController::TLxLanguageController(LxComponent& owner, TLxLanguageManager& manager,
                                             bool loadingFromDesign, bool designing)
    : m_owner(owner),
      m_manager(manager),
      m_designing(designing),
      m_root(std::make_unique<TLxLang_CompEntry>()) {
    if (!loadingFromDesign) {
        m_root->component = &m_owner;
    }
    if (!m_designing) {
        m_manager.AddController(this);
    }
}

TLxLanguageController::~TLxLanguageController() {
    if (!m_designing) {
        m_manager.RemoveController(this);
    }
}

void TLxLanguageController::setIgnoreList(const QStringList& masks) {
    m_ignoreList = sortedUnique(masks);
}

void TLxLanguageController::setStoreList(const QStringList& masks) {
    m_storeList = sortedUnique(masks);
}

void TLxLanguageController::setLangData(QByteArrayView bytes) {
    m_root = readLangData(bytes);
}

void TLxLanguageController::loaded() {
    bind(*m_root, m_owner);
    const TLxLang_MaskList ignore(m_ignoreList);
    const TLxLang_MaskList store(m_storeList);
    collect(*m_root, ignore, store);
    if (!m_designing) {
        m_manager.TranslateNewController(*this);
    }
}

void TLxLanguageController::bind(TLxLang_CompEntry& node, LxComponent& component) {
    node.component = &component;
    node.storedName.clear();
    if (!node.children) {
        return;
    }
    const std::vector<LxComponent*> owned = component.ownedComponents();
    auto& children = *node.children;
    for (auto i = static_cast<qsizetype>(children.size()); i-- > 0;) {
        TLxLang_CompEntry& child = *children[i];
        const auto match = std::find_if(owned.begin(), owned.end(), [&](LxComponent* candidate) {
            return sameAsciiNoCase(candidate->componentName(), child.storedName);
        });
        if (match != owned.end()) {
            bind(child, **match);
        } else {
            children.erase(children.begin() + i);
        }
    }
    if (children.empty()) {
        node.children.reset();
    }
}

bool TLxLanguageController::valuePasses(const QString& text) const {
    if (hasOption(lxlcoIgnoreNonAlphaProps)) {
        return hasLetter(text);
    }
    if (hasOption(lxlcoIgnoreEmptyProps)) {
        return !text.isEmpty();
    }
    return true;
}

void TLxLanguageController::collect(TLxLang_CompEntry& node, const TLxLang_MaskList& ignore,
                                    const TLxLang_MaskList& store) {
    LxComponent& component = *node.component;
    const QString nodePath = node.nodePath();
    if (node.properties) {
        for (const LxProperty& property : component.textProperties()) {
            if (matchesOrInside(ignore, nodePath, property.path)) {
                continue;
            }
            if (!property.stored && !store.matches(nodePath + u'.' + property.path)) {
                continue;
            }
            if (property.throughFont && hasOption(lxlcoIgnoreFontProps)) {
                continue;
            }
            const QString text = component.readText(property.path);
            if (!valuePasses(text)) {
                continue;
            }
            if (auto* entry = node.properties->find(property.path)) {
                entry->builtIn = text;
            }
        }
    }
    if (!node.children) {
        return;
    }
    for (LxComponent* owned : component.ownedComponents()) {
        if (owned->componentName().isEmpty() || owned->isLanguageController()) {
            continue;
        }
        for (auto& child : *node.children) {
            if (child->component == owned) {
                collect(*child, ignore, store);
            }
        }
    }
}

QString TLxLanguageController::sectionName() const {
    return m_sectionName.isEmpty() ? m_owner.componentName() : m_sectionName;
}

void TLxLanguageController::applyTranslation(const TLxLang_CompTranslation* section, int codePage) {
    apply(*m_root, section, codePage);
}

void TLxLanguageController::apply(TLxLang_CompEntry& node, const TLxLang_CompTranslation* section,
                                  int codePage) {
    if (node.properties && node.component) {
        for (const LxProperty& property : node.component->textProperties()) {
            const TLxLang_PropEntry* entry = node.properties->find(property.path);
            if (!entry) {
                continue;
            }
            const QString* translated = section ? section->find(entry->id) : nullptr;
            const QString& text = translated ? *translated : entry->builtIn;
            if (property.ansi) {
                node.component->writeAnsiText(property.path, encodeAnsi(text, codePage));
            } else {
                node.component->writeText(property.path, text);
            }
        }
    }
    if (node.children) {
        for (auto& child : *node.children) {
            apply(*child, section, codePage);
        }
    }
}

void TLxLanguageController::languageChanging() {
    if (OnLanguageChanging) {
        OnLanguageChanging(*this);
    }
}

void TLxLanguageController::languageChanged() {
    if (OnLanguageChanged) {
        OnLanguageChanged(*this);
    }
}

void TLxLanguageController::componentRemoved(const LxComponent* component) {
    if (component == &m_owner) {
        return;
    }
    const auto removeFrom = [&](auto& self, TLxLang_CompEntry& node) -> void {
        if (!node.children) {
            return;
        }
        std::erase_if(*node.children,
                      [&](const auto& child) { return child->component == component; });
        if (node.children->empty()) {
            node.children.reset();
            return;
        }
        for (auto& child : *node.children) {
            self(self, *child);
        }
    };
    removeFrom(removeFrom, *m_root);
}

}  // namespace mx
