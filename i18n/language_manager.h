#pragma once

#include "i18n/code_pages.h"
#include "i18n/lang_translations.h"
#include "i18n/rw_lock.h"

#include <QString>
#include <memory>
#include <optional>
#include <vector>

namespace mx {

// What the manager needs from a window's language controller.
class LanguageControllerLink {
public:
    virtual ~LanguageControllerLink() = default;
    // The name of the window's section in language files.
    virtual QString sectionName() const = 0;
    // Writes the section's texts, or the built-in texts where the section (or an ID in it) is
    // missing, into the window; 8-bit properties get their text in `codePage`.
    virtual void applyTranslation(const TLxLang_CompTranslation* section, int codePage) = 0;
    virtual void languageChanging() = 0;
    virtual void languageChanged() = 0;
};

struct TLxLang_LangResource {
    LangId language;
    QString path;
};

// Keeps the available languages, reads language files, holds the current language and has
// every registered window re-translate itself when the language changes. All state is guarded
// by one reader/writer lock; the program makes every call from the GUI thread.
class TLxLanguageManager {
public:
    TLxLanguageManager();
    TLxLanguageManager(const TLxLanguageManager&) = delete;
    TLxLanguageManager& operator=(const TLxLanguageManager&) = delete;

    // Registers the language files in `directory` whose names match `mask` (wildcards, any
    // case), in directory listing order; returns how many files were accepted. With `recurse`,
    // subdirectories whose names match the mask (and do not begin with ".") are scanned too.
    // A file that cannot be read (too large, no permission) is skipped like one without LANGID.
    int ScanLanguageFiles(const QString& directory, const QString& mask, bool recurse);

    // Reads the file's header and registers its LANGID (low 16 bits). False for a missing
    // path, anything but a regular file or a LANGID of 0; a file that cannot be read throws. A file
    // declaring the built-in language is accepted but registers nothing; a known identifier gets
    // the new path and keeps its position.
    bool AddLanguageFile(const QString& path);

    // The built-in language plus the registered ones.
    int GetLanguageCount() const;
    // Index 0 is the built-in language. An index out of range throws Error
    // "List index out of bounds (<index>)".
    LangId GetLanguageIdAt(int index) const;
    QString GetLanguageNameAt(int index) const;
    LangId GetDefaultLanguage() const;
    LangId GetCurrentLanguage() const;
    // The ANSI code page of the current language.
    int codePage() const;
    std::vector<TLxLang_LangResource> languages() const;

    // Selects a language and re-translates every window when it changed. An identifier without
    // a file selects the built-in language. The file is read even when the language is already
    // current, so its errors are reported; on an error nothing changes.
    void SetCurrentLanguage(LangId language);

    // The whole language file of a registered language; null for the built-in language and
    // for identifiers without a file. Reads the file on every call.
    std::unique_ptr<TLxLang_CompTranslations> LoadTranslations(LangId language) const;

    // Updates the constants and re-translates every registered controller in registration
    // order; null stands for the built-in language.
    void ApplyTranslations(const TLxLang_CompTranslations* translations);
    // Fires OnLanguageChanging, applies the controller's section (or the built-in texts), and
    // fires OnLanguageChanged, the latter also when applying failed.
    void TranslateController(const TLxLang_CompTranslations* translations,
                             LanguageControllerLink& controller);
    // Brings a freshly loaded window into the current language.
    void TranslateNewController(LanguageControllerLink& controller);

    void AddController(LanguageControllerLink* controller);
    void RemoveController(LanguageControllerLink* controller);

    // The current value of a named constant (names compare without regard to ASCII case).
    std::optional<QString> constantValue(QStringView name) const;
    // Adds constants as the built-in constants resource would; used by the constructor and by
    // tests. Throws ELxLangError for a damaged or newer resource.
    void loadConstantsResource(QByteArrayView bytes);

private:
    bool isRegistered(LanguageControllerLink* controller) const;

    mutable ReentrantRwLock m_lock;
    TLxLang_Constants m_constants;
    std::vector<LanguageControllerLink*> m_controllers;
    std::vector<TLxLang_LangResource> m_languages;
    int m_codePage;
    const LangId m_defaultLanguage = kBuiltInLanguage;
    LangId m_currentLanguage = kBuiltInLanguage;
};

// The one manager of the process, created on the first call.
TLxLanguageManager& LangManager();

}  // namespace mx
