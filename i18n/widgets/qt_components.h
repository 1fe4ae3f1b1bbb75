#pragma once

#include "i18n/lx_component.h"

#include <QObject>
#include <QPointer>
#include <functional>

namespace mx {

// The dynamic property that holds a widget's help keyword.
inline constexpr const char* kHelpKeywordProperty = "HelpKeyword";

// A live QObject as the language controller sees it. Which texts a kind of object offers, and
// under which property path, comes from one table in qt_components.cpp: a new widget kind is
// one entry there.
class QtComponent : public LxComponent {
public:
    // `lookup` turns owned QObjects into their components (the controller keeps them).
    QtComponent(QObject* object, std::function<LxComponent*(QObject*)> lookup);

    QObject* object() const { return m_object; }

    QString componentName() const override;
    // A window owns its named descendants, down to (and including) other windows; pop-up menus
    // are not windows here. Other components own nothing.
    std::vector<LxComponent*> ownedComponents() const override;
    bool isLanguageController() const override;
    std::vector<LxProperty> textProperties() const override;
    QString readText(const QString& path) const override;
    void writeText(const QString& path, const QString& text) override;

private:
    QPointer<QObject> m_object;
    std::function<LxComponent*(QObject*)> m_lookup;
};

// Whether the object owns components of its own: a window other than a pop-up menu.
bool isOwningWindow(const QObject* object);

}  // namespace mx
