#include "i18n/language_manager.h"

#include "core/int_text.h"
#include "core/native_path.h"
#include "i18n/constants_resource.h"
#include "i18n/lang_error.h"
#include "i18n/lang_file_reader.h"

#include <dirent.h>
#include <fnmatch.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <algorithm>
#include <memory>

namespace mx {
namespace {

// The path made absolute against the working folder, by its bytes, without "." and ".." parts.
QString absoluteNativePath(const QString& path) {
    if (path.startsWith(u'/')) {
        return QDir::cleanPath(path);
    }
    const std::unique_ptr<char, decltype(&std::free)> current(::getcwd(nullptr, 0), &std::free);
    return QDir::cleanPath(decodeNativePath(current ? current.get() : "") + u'/' + path);
}

}  // namespace

TLxLanguageManager::TLxLanguageManager() : m_codePage(ansiCodePageOf(kBuiltInLanguage)) {
    QFile resource(QString::fromLatin1(kConstantsResourcePath));
    if (resource.open(QIODevice::ReadOnly)) {
        loadConstantsResource(resource.readAll());
    }
    ApplyTranslations(nullptr);
}

void TLxLanguageManager::loadConstantsResource(QByteArrayView bytes) {
    WriteLocker locker(m_lock);
    for (const auto& [name, value] : readConstantsResource(bytes, m_codePage)) {
        if (auto* existing = m_constants.find(name)) {
            existing->value = existing->defaultValue = value;
        } else {
            m_constants.add(name, value, value);
        }
    }
}

int TLxLanguageManager::ScanLanguageFiles(const QString& directory, const QString& mask,
                                          bool recurse) {
    const QString folder = directory.endsWith(u'/') ? directory : directory + u'/';
    const QByteArray nativeFolder = encodeNativePath(folder);
    const QByteArray pattern = encodeNativePath(mask);
    int accepted = 0;
    // Listed by bytes, in the order the file system returns entries, unsorted: a name that is
    // not UTF-8 is still a language file.
    const std::unique_ptr<DIR, int (*)(DIR*)> listing(::opendir(nativeFolder.constData()),
                                                      &::closedir);
    if (!listing) {
        return 0;
    }
    while (const dirent* entry = ::readdir(listing.get())) {
        const QByteArray name(entry->d_name);
        if (name == "." || name == ".." ||
            ::fnmatch(pattern.constData(), name.constData(), FNM_CASEFOLD) != 0) {
            continue;
        }
        const QByteArray path = nativeFolder + name;
        struct stat target {};
        struct stat link {};
        if (::stat(path.constData(), &target) == 0 && S_ISDIR(target.st_mode)) {
            // A link to a directory is not followed: it could lead back up the tree for ever.
            if (recurse && !name.startsWith('.') && ::lstat(path.constData(), &link) == 0 &&
                !S_ISLNK(link.st_mode)) {
                accepted += ScanLanguageFiles(decodeNativePath(path), mask, true);
            }
            continue;
        }
        // A file that cannot be read (too large for a language file, no permission) is no
        // language, like one without LANGID; the files after it still count.
        try {
            if (AddLanguageFile(decodeNativePath(path))) {
                ++accepted;
            }
        } catch (const Error&) {
        }
    }
    return accepted;
}

bool TLxLanguageManager::AddLanguageFile(const QString& path) {
    WriteLocker locker(m_lock);
    // Only regular files: opening a pipe or a device named like a language file could block
    // the program for ever.
    struct stat info {};
    if (::stat(encodeNativePath(path).constData(), &info) != 0 || !S_ISREG(info.st_mode)) {
        return false;
    }
    const QString absolutePath = absoluteNativePath(path);
    TLxLang_CompTranslations header;
    readLanguageFile(path, LangFileReadMode::HeaderOnly, header);
    const auto declared = tryStrToInt(header.headerValue(u"LANGID")).value_or(0);
    const auto language = static_cast<LangId>(static_cast<std::uint32_t>(declared));
    if (language == 0) {
        return false;
    }
    if (language != GetDefaultLanguage()) {
        const auto known =
            std::find_if(m_languages.begin(), m_languages.end(),
                         [&](const auto& record) { return record.language == language; });
        if (known != m_languages.end()) {
            known->path = absolutePath;
        } else {
            m_languages.push_back(TLxLang_LangResource{language, absolutePath});
        }
    }
    return true;
}

int TLxLanguageManager::GetLanguageCount() const {
    ReadLocker locker(m_lock);
    return static_cast<int>(m_languages.size()) + 1;
}

LangId TLxLanguageManager::GetLanguageIdAt(int index) const {
    ReadLocker locker(m_lock);
    if (index < 0 || index > static_cast<int>(m_languages.size())) {
        throw Error(QStringLiteral("List index out of bounds (%1)").arg(index));
    }
    return index == 0 ? m_defaultLanguage : m_languages[index - 1].language;
}

QString TLxLanguageManager::GetLanguageNameAt(int index) const {
    return languageDisplayName(GetLanguageIdAt(index));
}

LangId TLxLanguageManager::GetDefaultLanguage() const {
    ReadLocker locker(m_lock);
    return m_defaultLanguage;
}

LangId TLxLanguageManager::GetCurrentLanguage() const {
    ReadLocker locker(m_lock);
    return m_currentLanguage;
}

int TLxLanguageManager::codePage() const {
    ReadLocker locker(m_lock);
    return m_codePage;
}

std::vector<TLxLang_LangResource> TLxLanguageManager::languages() const {
    ReadLocker locker(m_lock);
    return m_languages;
}

void TLxLanguageManager::SetCurrentLanguage(LangId language) {
    std::unique_ptr<TLxLang_CompTranslations> translations;
    bool changed = false;
    {
        WriteLocker locker(m_lock);
        translations = LoadTranslations(language);
        if (!translations) {
            language = GetDefaultLanguage();
        }
        if (language != m_currentLanguage) {
            m_currentLanguage = language;
            m_codePage = ansiCodePageOf(language);
            changed = true;
        }
    }
    if (changed) {
        ApplyTranslations(translations.get());
    }
}

std::unique_ptr<TLxLang_CompTranslations> TLxLanguageManager::LoadTranslations(
    LangId language) const {
    QString path;
    {
        ReadLocker locker(m_lock);
        if (language == m_defaultLanguage) {
            return nullptr;
        }
        const auto record = std::find_if(m_languages.begin(), m_languages.end(),
                                         [&](const auto& r) { return r.language == language; });
        if (record == m_languages.end()) {
            return nullptr;
        }
        path = record->path;
    }
    auto translations = std::make_unique<TLxLang_CompTranslations>();
    readLanguageFile(path, LangFileReadMode::Full, *translations);
    return translations;
}

void TLxLanguageManager::ApplyTranslations(const TLxLang_CompTranslations* translations) {
    {
        // The constants change, so they are written under the write lock.
        WriteLocker locker(m_lock);
        for (auto& constant : m_constants.items()) {
            if (!translations) {
                constant.value = constant.defaultValue;
            } else if (const auto* translated = translations->constants().find(constant.name)) {
                constant.value = translated->value;
            }
        }
    }
    ReadLocker locker(m_lock);
    // A window may be created or destroyed by an event handler during the walk: walk a copy
    // and skip controllers that have been unregistered meanwhile.
    const std::vector<LanguageControllerLink*> controllers = m_controllers;
    for (LanguageControllerLink* controller : controllers) {
        if (isRegistered(controller)) {
            TranslateController(translations, *controller);
        }
    }
}

void TLxLanguageManager::TranslateController(const TLxLang_CompTranslations* translations,
                                             LanguageControllerLink& controller) {
    controller.languageChanging();
    try {
        const TLxLang_CompTranslation* section =
            translations ? translations->findSection(controller.sectionName()) : nullptr;
        controller.applyTranslation(section, codePage());
    } catch (...) {
        controller.languageChanged();
        throw;
    }
    controller.languageChanged();
}

void TLxLanguageManager::TranslateNewController(LanguageControllerLink& controller) {
    ReadLocker locker(m_lock);
    if (m_currentLanguage != m_defaultLanguage) {
        if (auto translations = LoadTranslations(m_currentLanguage)) {
            TranslateController(translations.get(), controller);
        }
    }
}

void TLxLanguageManager::AddController(LanguageControllerLink* controller) {
    WriteLocker locker(m_lock);
    if (!isRegistered(controller)) {
        m_controllers.push_back(controller);
    }
}

void TLxLanguageManager::RemoveController(LanguageControllerLink* controller) {
    WriteLocker locker(m_lock);
    std::erase(m_controllers, controller);
}

bool TLxLanguageManager::isRegistered(LanguageControllerLink* controller) const {
    ReadLocker locker(m_lock);
    return std::find(m_controllers.begin(), m_controllers.end(), controller) != m_controllers.end();
}

std::optional<QString> TLxLanguageManager::constantValue(QStringView name) const {
    ReadLocker locker(m_lock);
    if (const auto* constant = m_constants.find(name)) {
        return constant->value;
    }
    return std::nullopt;
}

TLxLanguageManager& LangManager() {
    static TLxLanguageManager manager;
    return manager;
}

}  // namespace mx
