#pragma once

#include "i18n/code_pages.h"

#include <QByteArray>
#include <QString>
#include <vector>

namespace mx {

// A text property reached by walking a component's published properties.
struct LxProperty {
    QString path;              // "Caption", "Font.Name", "Columns[0].Caption"
    bool stored = true;        // the toolkit keeps it with the window's design
    bool ansi = false;         // an 8-bit string property
    bool throughFont = false;  // reached through an object of class TFont
};

// The language controller's view of a live component of a window. The window toolkit adapts
// its components to this; tests use fakes.
class LxComponent {
public:
    virtual ~LxComponent() = default;
    virtual QString componentName() const = 0;
    // The components this one owns, in ownership order.
    virtual std::vector<LxComponent*> ownedComponents() const = 0;
    virtual bool isLanguageController() const { return false; }
    // The text-valued properties in the order the toolkit lists them: string properties and
    // string lists (as their whole text), collection items with "[i]" after the collection's
    // name, and the properties of owned non-component objects such as a font. "Name" and
    // properties referring to other components are left out.
    virtual std::vector<LxProperty> textProperties() const = 0;
    virtual QString readText(const QString& path) const = 0;
    virtual void writeText(const QString& path, const QString& text) = 0;
    // An 8-bit property receives bytes in the language's code page; components whose 8-bit
    // texts are shown in the system's code page see them converted from there.
    virtual void writeAnsiText(const QString& path, const QByteArray& bytes) {
        writeText(path, decodeAnsi(bytes, systemAnsiCodePage()));
    }
};

}  // namespace mx
