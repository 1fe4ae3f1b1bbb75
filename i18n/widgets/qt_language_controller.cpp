#include "i18n/widgets/qt_language_controller.h"

namespace mx {

QtLanguageController::QtLanguageController(QWidget* window, TLxLanguageManager& manager)
    : QObject(window), m_window(window) {
    setObjectName(QStringLiteral("LanguageController"));
    m_controller = std::make_unique<TLxLanguageController>(*componentFor(window), manager);
    m_controller->OnLanguageChanging = [this](TLxLanguageController&) { emit languageChanging(); };
    m_controller->OnLanguageChanged = [this](TLxLanguageController&) { emit languageChanged(); };
}

// The controller goes first: it unregisters from the manager while its components still exist.
QtLanguageController::~QtLanguageController() {
    m_controller.reset();
}

void QtLanguageController::load(QByteArrayView langData) {
    m_controller->setLangData(langData);
    m_controller->loaded();
}

LxComponent* QtLanguageController::componentFor(QObject* object) {
    auto& component = m_components[object];
    if (!component) {
        component = std::make_unique<QtComponent>(
            object, [this](QObject* owned) { return componentFor(owned); });
        // Our own destroyed() comes from ~QObject, when this controller is no longer one.
        if (object != this) {
            connect(object, &QObject::destroyed, this, [this, object] { forget(object); });
        }
    }
    return component.get();
}

void QtLanguageController::forget(QObject* object) {
    // The window's own component stays: the controller refers to it until it is destroyed.
    const auto it = m_components.find(object);
    if (object == m_window || it == m_components.end()) {
        return;
    }
    if (m_controller) {
        m_controller->componentRemoved(it->second.get());
    }
    m_components.erase(it);
}

}  // namespace mx
