#pragma once

#include "i18n/language_controller.h"
#include "i18n/widgets/qt_components.h"

#include <QByteArrayView>
#include <QObject>
#include <QWidget>
#include <memory>
#include <unordered_map>

namespace mx {

// A window's language controller bound to live Qt widgets. Create it as the last thing of
// the window's set-up, adjust SectionName or the mask lists through controller() if needed,
// then load() the window's translation data. It registers with the manager at construction
// and unregisters when the window destroys it. A component destroyed before the window loses
// its node. Everything runs on the GUI thread.
class QtLanguageController : public QObject {
    Q_OBJECT

public:
    explicit QtLanguageController(QWidget* window, TLxLanguageManager& manager = LangManager());
    ~QtLanguageController() override;

    // Reads the stored tree, binds it to the window's components by name, records their
    // built-in texts and brings the window into the current language. Errors (damaged data,
    // an invalid mask, a language file that cannot be read) propagate.
    void load(QByteArrayView langData);

    TLxLanguageController& controller() { return *m_controller; }
    QWidget* window() const { return m_window; }

signals:
    void languageChanging();
    void languageChanged();

private:
    LxComponent* componentFor(QObject* object);
    void forget(QObject* object);

    QWidget* m_window;
    std::unordered_map<QObject*, std::unique_ptr<QtComponent>> m_components;
    std::unique_ptr<TLxLanguageController> m_controller;
};

}  // namespace mx
