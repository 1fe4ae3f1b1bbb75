#include "common/test_support.h"
#include "i18n/form_table.h"
#include "i18n/lang_error.h"
#include "i18n/language_manager.h"

#include <gtest/gtest.h>
#include <QDir>
#include <QFileInfo>

#include <map>
#include <set>

namespace mx {
namespace {

// The repository's folders (read only). Not found through __FILE__: a compiler cache may
// rewrite it relative to the build folder.
QString sourcePath(const QString& relative) {
    return QDir(QStringLiteral(MX_SOURCE_DIR)).filePath(relative);
}

std::set<int> idsOf(const TLxLang_CompEntry& node) {
    std::set<int> ids;
    if (node.properties) {
        for (const auto& entry : node.properties->items()) {
            EXPECT_TRUE(ids.insert(entry.id).second) << entry.id;
        }
    }
    if (node.children) {
        for (const auto& child : *node.children) {
            for (int id : idsOf(*child)) {
                EXPECT_TRUE(ids.insert(id).second) << "ID " << id << " used twice";
            }
        }
    }
    return ids;
}

std::set<int> range(int first, int last, std::set<int> except = {}) {
    std::set<int> ids;
    for (int id = first; id <= last; ++id) {
        if (!except.count(id)) {
            ids.insert(id);
        }
    }
    return ids;
}

struct Form {
    QString name;
    std::set<int> ids;
    size_t children;
};
const Form kForms[] = {{"Form1", range(1, 24), 27}, {"OptionsForm", range(1, 38, {36}), 50}};

TEST(FormTables, BuiltInDataMatchesTheTables) {
    for (const Form& form : kForms) {
        const QByteArray table = test::readFile(sourcePath("i18n/forms/" + form.name + ".table"));
        ASSERT_FALSE(table.isEmpty()) << form.name.toStdString();
        const auto root = parseFormTable(QString::fromUtf8(table));
        EXPECT_EQ(root->name(), form.name);
        EXPECT_EQ(idsOf(*root), form.ids) << form.name.toStdString();
        ASSERT_TRUE(root->children);
        EXPECT_EQ(root->children->size(), form.children);
        EXPECT_EQ(writeLangData(*root), formLangData(form.name))
            << form.name.toStdString() << ".langdata is out of date: run mx_langdata_tool";
    }
    const auto form1 = readLangData(formLangData("Form1"));
    const auto& lvLog = *(*form1->children)[25];
    EXPECT_EQ(lvLog.name(), "lvLog");
    EXPECT_EQ(lvLog.properties->find(u"Columns[2].Caption")->id, 22);
    EXPECT_TRUE(formLangData("FormAbout").isEmpty());
}

// Every ID bound to its component and property as the windows' designs give them; a swap of two
// IDs (a label showing its neighbour's text in every language) fails here.
const char kBindings[] = R"(Form1 1 Form1 Caption
Form1 2 BtnExit Caption
Form1 3 BtnAddFile Caption
Form1 4 BtnAddDir Caption
Form1 5 BtnSaveList Caption
Form1 6 BtnSetting Caption
Form1 7 BtnOpenList Caption
Form1 8 BtnStartExtract Caption
Form1 9 BtnHelp Caption
Form1 10 FileList Columns[0].Caption
Form1 11 FileList Columns[1].Caption
Form1 12 OpenDialog1 Filter
Form1 13 DirDialog1 Title
Form1 14 OpenDialogList DefaultExt
Form1 15 OpenDialogList Filter
Form1 16 SaveDialogList DefaultExt
Form1 17 SaveDialogList Filter
Form1 18 ClearList1 Caption
Form1 19 DeletefromList1 Caption
Form1 20 lvLog Columns[0].Caption
Form1 21 lvLog Columns[1].Caption
Form1 22 lvLog Columns[2].Caption
Form1 23 Form1 HelpKeyword
Form1 24 BtnAbout Caption
OptionsForm 1 OptionsForm Caption
OptionsForm 2 Button1 Caption
OptionsForm 3 Button2 Caption
OptionsForm 4 GroupBox1 Caption
OptionsForm 5 pathEdit Text
OptionsForm 6 chkFolder Caption
OptionsForm 7 GroupBox2 Caption
OptionsForm 8 rbAutoWidth Caption
OptionsForm 9 _rbWidth Caption
OptionsForm 10 GroupBox3 Caption
OptionsForm 11 Label1 Caption
OptionsForm 12 lbl1 Caption
OptionsForm 13 lbl2 Caption
OptionsForm 14 lbl3 Caption
OptionsForm 15 rbFrameFile Caption
OptionsForm 16 rbMatrix Caption
OptionsForm 17 rbEverSec Caption
OptionsForm 18 GroupBox4 Caption
OptionsForm 19 rbProport Caption
OptionsForm 20 rbRandom Caption
OptionsForm 21 GroupBox5 Caption
OptionsForm 22 _btnlog Caption
OptionsForm 23 GroupBox6 Caption
OptionsForm 24 JPGqualitylabel Caption
OptionsForm 25 BMPBtn Caption
OptionsForm 26 JPGBtn Caption
OptionsForm 27 grp1 Caption
OptionsForm 28 chkSec Caption
OptionsForm 29 chkAddNumber Caption
OptionsForm 30 grp2 Caption
OptionsForm 31 chktime Caption
OptionsForm 32 chkFilename Caption
OptionsForm 33 grp3 Caption
OptionsForm 34 OptionsForm HelpKeyword
OptionsForm 35 Label2 Caption
OptionsForm 37 lbl4 Caption
OptionsForm 38 _edtmytext Text
)";

// "<window> <ID> <component> <property path>" for every entry below `node`, by ID.
void collectBindings(const QString& window, const TLxLang_CompEntry& node,
                     std::map<int, QString>& bindings) {
    if (node.properties) {
        for (const auto& entry : node.properties->items()) {
            bindings[entry.id] = window + ' ' + QString::number(entry.id) + ' ' + node.name() +
                                 ' ' + entry.path + '\n';
        }
    }
    if (node.children) {
        for (const auto& child : *node.children) {
            collectBindings(window, *child, bindings);
        }
    }
}

TEST(FormTables, EveryIdIsBoundToItsControlAndProperty) {
    QString bindings;
    for (const Form& form : kForms) {
        std::map<int, QString> byId;
        collectBindings(form.name, *readLangData(formLangData(form.name)), byId);
        for (const auto& [id, line] : byId) {
            bindings += line;
        }
    }
    EXPECT_EQ(bindings.toStdString(), kBindings);
}

TEST(FormTables, MalformedLinesAreReported) {
    const auto error = [](const QString& table) {
        try {
            parseFormTable(table);
        } catch (const ELxLangError& e) {
            return e.message();
        }
        return QString();
    };
    EXPECT_EQ(error("# nothing\n"), "Form table line 1: no window named");
    EXPECT_EQ(error("Form1: 1=Caption\nBtn-1\n"),
              "Form table line 2: \"Btn-1\" is not a component name");
    EXPECT_EQ(error("Form1: 0=Caption\n"), "Form table line 1: \"0=Caption\" is not ID=path");
    EXPECT_EQ(error("Form1: 1=Caption 2=caption\n"),
              "Form table line 1: property \"caption\" listed twice");
}

TEST(ShippedLanguageFiles, TranslateEveryIdOfBothWindows) {
    const QDir lang(sourcePath("lang"));
    const QStringList files = lang.entryList({"*.lng"}, QDir::Files, QDir::Name);
    ASSERT_EQ(files, QStringList({"german.lng", "russian.lng"}));
    EXPECT_TRUE(test::readFile(lang.filePath("german.lng")).startsWith("\xFF\xFE"));
    EXPECT_FALSE(test::readFile(lang.filePath("russian.lng")).startsWith("\xFF\xFE"));

    TLxLanguageManager manager;
    EXPECT_EQ(manager.ScanLanguageFiles(lang.path(), "*.lng", false), 2);
    ASSERT_EQ(manager.GetLanguageCount(), 3);
    for (LangId language : {LangId(1031), LangId(1049)}) {
        const auto translations = manager.LoadTranslations(language);
        ASSERT_TRUE(translations) << language;
        for (const Form& form : kForms) {
            const auto* section = translations->findSection(form.name);
            ASSERT_NE(section, nullptr) << language;
            for (int id : form.ids) {
                const QString* value = section->find(id);
                EXPECT_TRUE(value && !value->isEmpty())
                    << language << " " << form.name.toStdString() << " " << id;
            }
            EXPECT_EQ(section->values().size(), form.ids.size());
        }
        const auto* options = translations->findSection(u"OptionsForm");
        EXPECT_EQ(*options->find(5), "e:\\tempvideo\\images");
        EXPECT_EQ(*options->find(34), "setup");
    }
    EXPECT_EQ(*manager.LoadTranslations(1049)->findSection(u"Form1")->find(2), "Выход");
    EXPECT_EQ(*manager.LoadTranslations(1031)->findSection(u"OptionsForm")->find(7), "Größe");
}

}  // namespace
}  // namespace mx
