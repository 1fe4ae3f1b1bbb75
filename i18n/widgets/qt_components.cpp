#include "i18n/widgets/qt_components.h"

#include <QAbstractButton>
#include <QAction>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMetaProperty>
#include <QTableWidget>
#include <QTreeWidget>
#include <QVariant>

namespace mx {
namespace {

// One kind of translatable text. A collection's items have "%1" in the path for the index
// and a count; `metaProperty` names a QString Q_PROPERTY that any class may declare.
struct TextBinding {
    const char* path;
    bool (*applies)(const QObject*);
    QString (*read)(const QObject*, int index);
    void (*write)(QObject*, int index, const QString& text);
    int (*count)(const QObject*) = nullptr;
    const char* metaProperty = nullptr;
};

template <class T>
bool is(const QObject* object) {
    return qobject_cast<const T*>(object) != nullptr;
}

template <class T>
const T* as(const QObject* object) {
    return static_cast<const T*>(object);
}

template <class T>
T* as(QObject* object) {
    return static_cast<T*>(object);
}

QTableWidgetItem* tableHeader(QObject* object, int column) {
    auto* table = as<QTableWidget>(object);
    if (!table->horizontalHeaderItem(column)) {
        table->setHorizontalHeaderItem(column, new QTableWidgetItem);
    }
    return table->horizontalHeaderItem(column);
}

const TextBinding kBindings[] = {
    {"Caption", isOwningWindow, [](const QObject* o, int) { return as<QWidget>(o)->windowTitle(); },
     [](QObject* o, int, const QString& t) { as<QWidget>(o)->setWindowTitle(t); }},
    {"Caption", is<QAbstractButton>,  // push buttons, check boxes, radio buttons
     [](const QObject* o, int) { return as<QAbstractButton>(o)->text(); },
     [](QObject* o, int, const QString& t) { as<QAbstractButton>(o)->setText(t); }},
    {"Caption", is<QLabel>, [](const QObject* o, int) { return as<QLabel>(o)->text(); },
     [](QObject* o, int, const QString& t) { as<QLabel>(o)->setText(t); }},
    {"Caption", is<QGroupBox>, [](const QObject* o, int) { return as<QGroupBox>(o)->title(); },
     [](QObject* o, int, const QString& t) { as<QGroupBox>(o)->setTitle(t); }},
    {"Caption", is<QAction>,  // menu items
     [](const QObject* o, int) { return as<QAction>(o)->text(); },
     [](QObject* o, int, const QString& t) { as<QAction>(o)->setText(t); }},
    {"Caption", is<QMenu>, [](const QObject* o, int) { return as<QMenu>(o)->title(); },
     [](QObject* o, int, const QString& t) { as<QMenu>(o)->setTitle(t); }},
    {"Text", is<QLineEdit>, [](const QObject* o, int) { return as<QLineEdit>(o)->text(); },
     [](QObject* o, int, const QString& t) { as<QLineEdit>(o)->setText(t); }},
    // The folder field: an edit with a browse button, whose text is its own property.
    {"Text", [](const QObject* o) { return o->inherits("mx::FolderEdit"); },
     [](const QObject* o, int) { return o->property("text").toString(); },
     [](QObject* o, int, const QString& t) { o->setProperty("text", t); }},
    {"Columns[%1].Caption", is<QTreeWidget>,  // list views in report style
     [](const QObject* o, int i) { return as<QTreeWidget>(o)->headerItem()->text(i); },
     [](QObject* o, int i, const QString& t) { as<QTreeWidget>(o)->headerItem()->setText(i, t); },
     [](const QObject* o) { return as<QTreeWidget>(o)->columnCount(); }},
    {"Columns[%1].Caption", is<QTableWidget>,
     [](const QObject* o, int i) {
         const auto* item = as<QTableWidget>(o)->horizontalHeaderItem(i);
         return item ? item->text() : QString();
     },
     [](QObject* o, int i, const QString& t) { tableHeader(o, i)->setText(t); },
     [](const QObject* o) { return as<QTableWidget>(o)->columnCount(); }},
    {"HelpKeyword", is<QWidget>,
     [](const QObject* o, int) { return o->property(kHelpKeywordProperty).toString(); },
     [](QObject* o, int, const QString& t) { o->setProperty(kHelpKeywordProperty, t); }},
    // Properties of our own non-visual components (file and folder dialogs).
    {"Filter", nullptr, nullptr, nullptr, nullptr, "Filter"},
    {"DefaultExt", nullptr, nullptr, nullptr, nullptr, "DefaultExt"},
    {"Title", nullptr, nullptr, nullptr, nullptr, "Title"},
};

bool hasTextProperty(const QObject* object, const char* name) {
    const int index = object->metaObject()->indexOfProperty(name);
    if (index < 0) {
        return false;
    }
    const QMetaProperty property = object->metaObject()->property(index);
    return property.metaType().id() == QMetaType::QString && property.isReadable();
}

bool applies(const TextBinding& binding, const QObject* object) {
    return binding.metaProperty ? hasTextProperty(object, binding.metaProperty)
                                : binding.applies(object);
}

QString readBinding(const TextBinding& binding, const QObject* object, int index) {
    return binding.metaProperty ? object->property(binding.metaProperty).toString()
                                : binding.read(object, index);
}

void writeBinding(const TextBinding& binding, QObject* object, int index, const QString& text) {
    if (binding.metaProperty) {
        object->setProperty(binding.metaProperty, text);
    } else {
        binding.write(object, index, text);
    }
}

// Calls `visit(path, binding, index)` for every text the object offers, in table order, each
// path once; stops when `visit` returns true.
template <class Visit>
void forEachText(const QObject* object, Visit&& visit) {
    QStringList seen;
    for (const TextBinding& binding : kBindings) {
        if (!applies(binding, object)) {
            continue;
        }
        const int count = binding.count ? binding.count(object) : 1;
        for (int index = 0; index < count; ++index) {
            const QString path = binding.count ? QString::fromLatin1(binding.path).arg(index)
                                               : QString::fromLatin1(binding.path);
            if (seen.contains(path)) {
                continue;
            }
            seen << path;
            if (visit(path, binding, index)) {
                return;
            }
        }
    }
}

bool isNamedComponent(const QObject* object) {
    const QString name = object->objectName();
    return !name.isEmpty() && !name.startsWith(QLatin1String("qt_"));
}

}  // namespace

bool isOwningWindow(const QObject* object) {
    const auto* widget = qobject_cast<const QWidget*>(object);
    return widget && widget->isWindow() && !qobject_cast<const QMenu*>(widget);
}

QtComponent::QtComponent(QObject* object, std::function<LxComponent*(QObject*)> lookup)
    : m_object(object), m_lookup(std::move(lookup)) {}

QString QtComponent::componentName() const {
    return m_object ? m_object->objectName() : QString();
}

std::vector<LxComponent*> QtComponent::ownedComponents() const {
    std::vector<LxComponent*> owned;
    if (!isOwningWindow(m_object)) {
        return owned;
    }
    const auto walk = [&](auto& self, const QObject* parent) -> void {
        for (QObject* child : parent->children()) {
            if (isNamedComponent(child)) {
                owned.push_back(m_lookup(child));
            }
            if (!isOwningWindow(child)) {
                self(self, child);
            }
        }
    };
    walk(walk, m_object);
    return owned;
}

bool QtComponent::isLanguageController() const {
    return m_object && m_object->inherits("mx::QtLanguageController");
}

std::vector<LxProperty> QtComponent::textProperties() const {
    std::vector<LxProperty> properties;
    if (!m_object) {
        return properties;
    }
    forEachText(m_object, [&](const QString& path, const TextBinding& binding, int index) {
        // Qt keeps no design; a text differing from the empty default counts as stored.
        const bool stored = !readBinding(binding, m_object, index).isEmpty();
        properties.push_back(LxProperty{path, stored, false, false});
        return false;
    });
    return properties;
}

QString QtComponent::readText(const QString& path) const {
    QString text;
    if (m_object) {
        forEachText(m_object, [&](const QString& candidate, const TextBinding& binding, int index) {
            if (candidate != path) {
                return false;
            }
            text = readBinding(binding, m_object, index);
            return true;
        });
    }
    return text;
}

void QtComponent::writeText(const QString& path, const QString& text) {
    if (m_object) {
        forEachText(m_object, [&](const QString& candidate, const TextBinding& binding, int index) {
            if (candidate != path) {
                return false;
            }
            writeBinding(binding, m_object, index, text);
            return true;
        });
    }
}

}  // namespace mx
