#include "i18n/language_controller.h"
#include "i18n/lang_error.h"
#include "i18n/mask_list.h"
#include "i18n_test_util.h"

#include <gtest/gtest.h>
#include <QMap>

namespace mx {
namespace {

// A component with a fixed list of text properties held in a map.
class FakeComponent : public LxComponent {
public:
    explicit FakeComponent(QString name, FakeComponent* owner = nullptr) : m_name(std::move(name)) {
        if (owner) {
            owner->owned.push_back(this);
        }
    }
    FakeComponent& text(const QString& path, const QString& value, bool stored = true) {
        properties.push_back(LxProperty{path, stored, false, path.startsWith("Font.")});
        values[path] = value;
        return *this;
    }
    QString componentName() const override { return m_name; }
    std::vector<LxComponent*> ownedComponents() const override {
        return {owned.begin(), owned.end()};
    }
    bool isLanguageController() const override { return controller; }
    std::vector<LxProperty> textProperties() const override { return properties; }
    QString readText(const QString& path) const override { return values.value(path); }
    void writeText(const QString& path, const QString& value) override {
        values[path] = value;
        ++writes;
    }
    void writeAnsiText(const QString& path, const QByteArray& bytes) override {
        values[path] = QStringLiteral("8bit:") + QString::fromLatin1(bytes.toHex());
    }

    std::vector<FakeComponent*> owned;
    std::vector<LxProperty> properties;
    QMap<QString, QString> values;
    bool controller = false;
    int writes = 0;

private:
    QString m_name;
};

QByteArray u32(unsigned v) {
    return QByteArray(1, char(v & 0xFF)) + char((v >> 8) & 0xFF) + char((v >> 16) & 0xFF) +
           char(v >> 24);
}
QByteArray text(const QByteArray& s) {
    return QByteArray(1, char(s.size())) + '\0' + s;
}
QByteArray props(std::initializer_list<std::pair<int, QByteArray>> entries) {
    QByteArray out = '\1' + u32(entries.size());
    for (const auto& [id, path] : entries) {
        out += u32(id) + text(path);
    }
    return out;
}
QByteArray node(const QByteArray& name, const QByteArray& properties,
                std::initializer_list<QByteArray> children = {}) {
    QByteArray out = text(name) + (properties.isEmpty() ? QByteArray(1, '\0') : properties);
    if (children.size() == 0) {
        return out + '\0';
    }
    out += '\1' + u32(children.size());
    for (const auto& child : children) {
        out += child;
    }
    return out;
}

struct TestWindow {
    FakeComponent form{"Form1"};
    FakeComponent exit{"BtnExit", &form};
    FakeComponent edit{"edtCount", &form};
    FakeComponent frame{"Frame1", &form};
    FakeComponent inner{"lblInner", &frame};
    FakeComponent gone{"", &form};

    TestWindow() {
        form.text("Caption", "Main").text("HelpKeyword", "Welcome_topic").text("Hint", "");
        exit.text("Caption", "Exit").text("Font.Name", "Tahoma");
        edit.text("Text", "640").text("Hint", "", false);
        inner.text("Caption", "Inner");
    }

    QByteArray langData() const {
        return node("Form1", props({{1, "Caption"}, {23, "HelpKeyword"}, {30, "Hint"}}),
                    {node("btnexit", props({{2, "Caption"}, {3, "Font.Name"}})),
                     node("Missing", props({{4, "Caption"}}), {node("Deep", props({{5, "X"}}))}),
                     node("edtCount", props({{6, "Text"}, {7, "Hint"}})),
                     node("Frame1", QByteArray(),
                          {node("lblInner", props({{8, "Caption"}})),
                           node("lblGone", props({{9, "Caption"}}))})});
    }
};

const TLxLang_PropEntry* entry(const TLxLang_CompEntry& node, const QString& path) {
    return node.properties ? node.properties->find(path) : nullptr;
}

const TLxLang_CompEntry* child(const TLxLang_CompEntry& node, const QString& name) {
    if (node.children) {
        for (const auto& c : *node.children) {
            if (c->name() == name) {
                return c.get();
            }
        }
    }
    return nullptr;
}

TEST(Masks, WildcardsSetsAndErrors) {
    const auto matches = [](const QString& mask, const QString& text) {
        return WildcardMask(mask).matches(text);
    };
    EXPECT_TRUE(matches("*.Caption", "BtnExit.caption"));
    EXPECT_TRUE(matches("*", ""));
    EXPECT_TRUE(matches("Btn?xit.*", "BTNEXIT.Font.Name"));
    EXPECT_FALSE(matches("Btn?xit.*", "BtnExit"));
    EXPECT_TRUE(matches("[a-c]*", "Btn"));
    EXPECT_FALSE(matches("[a-c]*", "Dtn"));
    EXPECT_TRUE(matches("[!a-c]*", "Dtn"));
    EXPECT_FALSE(matches("[!a-c]*", "btn"));
    EXPECT_TRUE(matches("*Columns[[]1]*", "lvLog.Columns[1].Caption"));
    EXPECT_TRUE(matches("a*b*c", "aXbYbZc"));
    EXPECT_FALSE(matches("a*b*c", "aXbYbZ"));

    const auto error = [](const QString& mask) {
        try {
            WildcardMask{mask};
        } catch (const ELxLangError& e) {
            return e.message();
        }
        return QString();
    };
    EXPECT_EQ(error("abc[de"), "'abc[de' is an invalid mask at (7)");
    EXPECT_EQ(error("x[]"), "'x[]' is an invalid mask at (3)");
    EXPECT_EQ(error("[!"), "'[!' is an invalid mask at (3)");

    TLxLanguageManager manager;
    TestWindow window;
    TLxLanguageController controller(window.form, manager);
    controller.setIgnoreList({"*.Hint", "[x"});
    controller.setLangData(window.langData());
    EXPECT_THROW(controller.loaded(), ELxLangError) << "an invalid mask fails at load";
}

// The test window with its controller loaded, every option at its default.
struct LoadedWindow {
    TLxLanguageManager manager;
    TestWindow window;
    TLxLanguageController controller{window.form, manager};
    LoadedWindow() {
        controller.setLangData(window.langData());
        controller.loaded();
    }
};

TEST(LanguageControllerLoad, BindsByNameAndCollectsBuiltInTexts) {
    LoadedWindow loaded;
    const TestWindow& window = loaded.window;
    const TLxLanguageController& controller = loaded.controller;

    const TLxLang_CompEntry& root = controller.root();
    EXPECT_EQ(root.component, &window.form);
    EXPECT_TRUE(root.storedName.isEmpty());
    EXPECT_EQ(entry(root, "Caption")->builtIn, "Main");
    EXPECT_EQ(entry(root, "HelpKeyword")->builtIn, "Welcome_topic");
    ASSERT_NE(child(root, "BtnExit"), nullptr) << "bound without regard to case";
    EXPECT_EQ(child(root, "BtnExit")->component, &window.exit);
    EXPECT_EQ(child(root, "Missing"), nullptr) << "an unbound node goes with its subtree";
    EXPECT_EQ(entry(*child(root, "BtnExit"), "Font.Name")->builtIn, "")
        << "fonts are not collected with every option set";
    EXPECT_EQ(entry(*child(root, "edtCount"), "Text")->builtIn, "")
        << "a text without a letter is not collected";
    const auto* frame = child(root, "Frame1");
    ASSERT_NE(frame, nullptr);
    ASSERT_NE(child(*frame, "lblInner"), nullptr) << "deeper nodes bind under their owner";
    EXPECT_EQ(child(*frame, "lblGone"), nullptr);
    EXPECT_EQ(entry(*child(*frame, "lblInner"), "Caption")->builtIn, "Inner");

    // The stored form now names the bound components as they are spelled.
    const auto reread = readLangData(controller.LangData());
    EXPECT_EQ((*reread->children)[0]->storedName, "BtnExit");
    EXPECT_EQ(reread->children->size(), 3u);
}

TEST(LanguageControllerLoad, OptionsAndMaskListsFilterCollecting) {
    TLxLanguageManager manager;
    TestWindow window;
    TLxLanguageController controller(window.form, manager);
    controller.setOptions(1u << lxlcoIgnoreEmptyProps);
    controller.setIgnoreList({".Help*", "BtnExit.Font"});
    controller.setStoreList({"edtCount.Hint"});
    window.edit.values["Hint"] = "x";
    window.form.values["Hint"] = "";
    controller.setLangData(window.langData());
    controller.loaded();
    const auto& root = controller.root();
    EXPECT_EQ(entry(root, "HelpKeyword")->builtIn, "") << "ignored";
    EXPECT_EQ(entry(*child(root, "edtCount"), "Text")->builtIn, "640") << "digits pass now";
    EXPECT_EQ(entry(*child(root, "edtCount"), "Hint")->builtIn, "x") << "stored by the mask";
    EXPECT_EQ(entry(*child(root, "BtnExit"), "Font.Name")->builtIn, "")
        << "the ignored font object is not walked";

    TestWindow plain;
    TLxLanguageController noFilters(plain.form, manager);
    noFilters.setOptions(0);
    noFilters.setLangData(plain.langData());
    noFilters.loaded();
    EXPECT_EQ(entry(*child(noFilters.root(), "BtnExit"), "Font.Name")->builtIn, "Tahoma");
    EXPECT_EQ(entry(*child(noFilters.root(), "edtCount"), "Hint")->builtIn, "")
        << "a property the toolkit does not store needs the store mask";
}

TEST(LanguageControllerApply, TranslatesAndRestoresEveryListedProperty) {
    QTemporaryDir dir;
    TLxLanguageManager manager;
    manager.AddLanguageFile(
        test::putFile(dir, "ru.lng",
                      test::ansiFile("LANGID=1049\n[FORM1]\n1=Главное\n2=Выход\n23=help_ru\n"
                                     "8=Внутри\n99=unused\n",
                                     1251)));
    manager.AddLanguageFile(
        test::putFile(dir, "de.lng", test::utf16File("LANGID=1031\n[Form1]\n1=Haupt\n")));
    manager.AddLanguageFile(test::putFile(dir, "fr.lng", "LANGID=1036\n[Other]\n1=Autre\n"));

    TestWindow window;
    QStringList events;
    auto controller = std::make_unique<TLxLanguageController>(window.form, manager);
    controller->OnLanguageChanging = [&](TLxLanguageController& c) {
        events << "changing " + c.sectionName();
    };
    controller->OnLanguageChanged = [&](TLxLanguageController&) { events << "changed"; };
    controller->setLangData(window.langData());
    controller->loaded();
    EXPECT_TRUE(events.isEmpty()) << "nothing to do in the built-in language";

    manager.SetCurrentLanguage(1049);
    EXPECT_EQ(events, QStringList({"changing Form1", "changed"}));
    EXPECT_EQ(window.form.values["Caption"], "Главное");
    EXPECT_EQ(window.form.values["HelpKeyword"], "help_ru");
    EXPECT_EQ(window.exit.values["Caption"], "Выход");
    EXPECT_EQ(window.inner.values["Caption"], "Внутри");

    // German lacks IDs 2 and 23: their built-in texts come back.
    manager.SetCurrentLanguage(1031);
    EXPECT_EQ(window.form.values["Caption"], "Haupt");
    EXPECT_EQ(window.form.values["HelpKeyword"], "Welcome_topic");
    EXPECT_EQ(window.exit.values["Caption"], "Exit");

    // A file without this window's section shows the built-in texts.
    manager.SetCurrentLanguage(1049);
    manager.SetCurrentLanguage(1036);
    EXPECT_EQ(window.form.values["Caption"], "Main");
    EXPECT_EQ(window.inner.values["Caption"], "Inner");

    manager.SetCurrentLanguage(1049);
    manager.SetCurrentLanguage(kBuiltInLanguage);
    EXPECT_EQ(window.form.values["Caption"], "Main");
    EXPECT_EQ(window.form.values["HelpKeyword"], "Welcome_topic");
    EXPECT_EQ(window.exit.values["Caption"], "Exit");
    EXPECT_EQ(window.inner.values["Caption"], "Inner");
    EXPECT_EQ(window.edit.values["Text"], "") << "its built-in text was not collected";

    // A window loaded while a language is current comes up in it; section by SectionName.
    manager.SetCurrentLanguage(1031);
    TestWindow second;
    TLxLanguageController other(second.form, manager);
    other.setSectionName("form1");
    other.setLangData(second.langData());
    other.loaded();
    EXPECT_EQ(second.form.values["Caption"], "Haupt");

    controller.reset();
    manager.SetCurrentLanguage(kBuiltInLanguage);
    EXPECT_EQ(window.form.values["Caption"], "Haupt") << "a destroyed controller is unregistered";
    EXPECT_EQ(second.form.values["Caption"], "Main");
}

TEST(LanguageControllerApply, EightBitPropertiesGetTheLanguagesCodePage) {
    FakeComponent form("Form1");
    form.properties.push_back(LxProperty{"Caption", true, true, false});
    form.values["Caption"] = "Main";
    TLxLanguageManager manager;
    TLxLanguageController controller(form, manager);
    controller.setLangData(node("Form1", props({{1, "Caption"}})));
    controller.loaded();
    TLxLang_CompTranslation section("Form1");
    section.add(1, QStringLiteral("Выход"));
    controller.applyTranslation(&section, 1251);
    EXPECT_EQ(form.values["Caption"], "8bit:c2fbf5eee4");
}

TEST(LanguageControllerApply, RemovedComponentsLoseTheirNodes) {
    LoadedWindow loaded;
    TestWindow& window = loaded.window;
    TLxLanguageController& controller = loaded.controller;
    controller.componentRemoved(&window.inner);
    const auto* frame = child(controller.root(), "Frame1");
    ASSERT_NE(frame, nullptr);
    EXPECT_FALSE(frame->children) << "an emptied child list is dropped";
    controller.componentRemoved(&window.exit);
    EXPECT_EQ(child(controller.root(), "BtnExit"), nullptr);
    controller.componentRemoved(&window.form);
    EXPECT_EQ(controller.root().component, &window.form) << "the window itself stays";
    controller.applyTranslation(nullptr, 1252);
    EXPECT_EQ(window.exit.writes, 0);
}

}  // namespace
}  // namespace mx
