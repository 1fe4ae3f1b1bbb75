#pragma once

#include "i18n/code_pages.h"
#include "i18n/language_manager.h"

#include <QByteArray>
#include <QDir>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <functional>

namespace mx::test {

// Language-file bytes: UTF-16LE after FF FE, or 8-bit text in a Windows code page.
QByteArray utf16File(const QString& text);
QByteArray ansiFile(const QString& text, int codePage);

// Writes `bytes` to dir/name and returns the path; fails the test when it cannot.
QString putFile(const QTemporaryDir& dir, const QString& name, const QByteArray& bytes);

// The message of the Error that action throws; empty when it throws none.
QString errorOf(const std::function<void()>& action);

// A controller as the manager sees it, recording what happened to it.
class FakeController : public LanguageControllerLink {
public:
    explicit FakeController(QString section) : m_section(std::move(section)) {}
    QString sectionName() const override { return m_section; }
    void applyTranslation(const TLxLang_CompTranslation* section, int codePage) override;
    void languageChanging() override { events << "changing"; }
    void languageChanged() override { events << "changed"; }

    QStringList events;  // "changing", "apply <value of ID 1 or built-in>", ...
    int lastCodePage = 0;
    std::function<void()> onApply;  // runs inside apply, e.g. to throw

private:
    QString m_section;
};

}  // namespace mx::test
