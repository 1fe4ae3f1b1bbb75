#pragma once

#include "i18n/lang_data.h"
#include "i18n/language_manager.h"
#include "i18n/lx_component.h"
#include "i18n/mask_list.h"

#include <QStringList>
#include <functional>
#include <memory>

namespace mx {

// Bits of TLxLanguageController::Options.
enum TLxLanguageControllerOption : unsigned {
    lxlcoAutoSaveLangSource = 0,   // no effect at run time
    lxlcoIgnoreEmptyProps = 1,     // empty texts are not collected
    lxlcoIgnoreNonAlphaProps = 2,  // texts without a letter are not collected
    lxlcoIgnoreFontProps = 3,      // font objects are not descended into while collecting
};
inline constexpr unsigned lxlcoAll = 0xF;

// The translating side of one window: the tree of translatable properties with their IDs,
// bound to the window's live components, and how a translation is written into them.
class TLxLanguageController final : public LanguageControllerLink {
public:
    using Event = std::function<void(TLxLanguageController&)>;

    // `owner` is the window. With `loadingFromDesign` false the root is bound to the owner at
    // once; unless `designing`, the controller registers with the manager now and unregisters
    // when destroyed.
    explicit TLxLanguageController(LxComponent& owner, TLxLanguageManager& manager = LangManager(),
                                   bool loadingFromDesign = true, bool designing = false);
    ~TLxLanguageController() override;
    TLxLanguageController(const TLxLanguageController&) = delete;
    TLxLanguageController& operator=(const TLxLanguageController&) = delete;

    // Masks of "node path.property path" subjects; kept sorted, duplicates dropped.
    const QStringList& IgnoreList() const { return m_ignoreList; }
    void setIgnoreList(const QStringList& masks);
    const QStringList& StoreList() const { return m_storeList; }
    void setStoreList(const QStringList& masks);
    unsigned Options() const { return m_options; }
    void setOptions(unsigned options) { m_options = options; }
    bool hasOption(TLxLanguageControllerOption option) const { return m_options & (1u << option); }
    const QString& SectionName() const { return m_sectionName; }
    void setSectionName(const QString& name) { m_sectionName = name; }

    Event OnLanguageChanging;
    Event OnLanguageChanged;

    // The stored tree: reading replaces the tree with unbound nodes (see readLangData).
    void setLangData(QByteArrayView bytes);
    QByteArray LangData() const { return writeLangData(*m_root); }

    // After the whole window exists: binds the tree to the components by name, records the
    // built-in texts and, unless designing, brings the window into the current language.
    // An invalid mask throws ELxLangError.
    void loaded();

    // A component of the window is going away: its node and subtree are dropped.
    void componentRemoved(const LxComponent* component);

    const TLxLang_CompEntry& root() const { return *m_root; }
    LxComponent& owner() const { return m_owner; }

    // LanguageControllerLink
    QString sectionName() const override;
    void applyTranslation(const TLxLang_CompTranslation* section, int codePage) override;
    void languageChanging() override;
    void languageChanged() override;

private:
    void bind(TLxLang_CompEntry& node, LxComponent& component);
    void collect(TLxLang_CompEntry& node, const TLxLang_MaskList& ignore,
                 const TLxLang_MaskList& store);
    void apply(TLxLang_CompEntry& node, const TLxLang_CompTranslation* section, int codePage);
    bool valuePasses(const QString& text) const;

    LxComponent& m_owner;
    TLxLanguageManager& m_manager;
    bool m_designing;
    QStringList m_ignoreList;
    QStringList m_storeList;
    unsigned m_options = lxlcoAll;
    QString m_sectionName;
    std::unique_ptr<TLxLang_CompEntry> m_root;
};

}  // namespace mx
