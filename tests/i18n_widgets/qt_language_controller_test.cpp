#include "i18n/widgets/qt_language_controller.h"
#include "common/test_support.h"
#include "i18n/code_pages.h"
#include "i18n/lang_data.h"
#include "i18n/widgets/dialog_components.h"

#include <gtest/gtest.h>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTreeWidget>

namespace mx {
namespace {

template <class T, class Parent>
T* make(Parent* parent, const char* name) {
    auto* object = new T(parent);
    object->setObjectName(name);
    return object;
}

// A small window with one control of every kind the adapter knows.
struct TestWindow {
    std::unique_ptr<QWidget> form = std::make_unique<QWidget>();
    QPushButton* exit = make<QPushButton>(form.get(), "BtnExit");
    QLabel* label = make<QLabel>(form.get(), "Label1");
    QGroupBox* group = make<QGroupBox>(form.get(), "GroupBox1");
    QCheckBox* check = make<QCheckBox>(group, "chkFolder");
    QRadioButton* radio = make<QRadioButton>(group, "rbMatrix");
    QLineEdit* path = make<QLineEdit>(group, "pathEdit");
    QLineEdit* number = make<QLineEdit>(group, "FrameNumberEdit");
    QTreeWidget* files = make<QTreeWidget>(form.get(), "FileList");
    QTableWidget* log = make<QTableWidget>(form.get(), "lvLog");
    QMenu* popup = make<QMenu>(form.get(), "pm1");
    QAction* clear = make<QAction>(popup, "ClearList1");
    FileDialogComponent* open = new FileDialogComponent(form.get(), "OpenDialog1");
    FileDialogComponent* saveList = new FileDialogComponent(form.get(), "SaveDialogList");
    FolderDialogComponent* folder = new FolderDialogComponent(form.get(), "DirDialog1");

    TestWindow() {
        form->setObjectName("Form1");
        form->setWindowTitle("Moxelby Extractor");
        form->setProperty(kHelpKeywordProperty, "Welcome_topic");
        exit->setText("Exit");
        label->setText("Frame Number");
        group->setTitle("save path");
        check->setText("into File source folder");
        radio->setText("Matrix");
        path->setText("e:\\tempvideo\\images");
        number->setText("11");
        files->setHeaderLabels({"Number", "Filename"});
        log->setColumnCount(3);
        log->setHorizontalHeaderLabels({"date", "time", "info"});
        popup->addAction(clear);
        clear->setText("Clear List");
        open->setFilter("VIDEO|*.avi;*.mov|All Files|*.*");
        saveList->setDefaultExt("mxl");
        saveList->setFilter("MX List|*.mxl|All Files|*.*");
        folder->setTitle("Select Folder");
    }

    // Everything as the built-in language shows it, in ID order.
    QStringList texts() const {
        return {form->windowTitle(),
                exit->text(),
                label->text(),
                group->title(),
                check->text(),
                radio->text(),
                path->text(),
                files->headerItem()->text(0),
                files->headerItem()->text(1),
                log->horizontalHeaderItem(0)->text(),
                log->horizontalHeaderItem(2)->text(),
                clear->text(),
                open->filter(),
                saveList->defaultExt(),
                saveList->filter(),
                folder->title(),
                form->property(kHelpKeywordProperty).toString(),
                number->text()};
    }
};

QByteArray testLangData() {
    TLxLang_CompEntry root;
    root.storedName = "Form1";
    root.ensureProperties().add(1, "Caption");
    root.ensureProperties().add(17, "HelpKeyword");
    const auto add = [&](const char* name, std::initializer_list<std::pair<int, const char*>> ids) {
        auto& node = root.addChild(name);
        for (const auto& [id, path] : ids) {
            node.ensureProperties().add(id, path);
        }
    };
    add("BtnExit", {{2, "Caption"}});
    add("Label1", {{3, "Caption"}});
    add("GroupBox1", {{4, "Caption"}});
    add("chkFolder", {{5, "Caption"}});
    add("rbMatrix", {{6, "Caption"}});
    add("pathEdit", {{7, "Text"}});
    add("FileList", {{8, "Columns[0].Caption"}, {9, "Columns[1].Caption"}});
    add("lvLog", {{10, "Columns[0].Caption"}, {11, "Columns[2].Caption"}});
    add("pm1", {});
    add("ClearList1", {{12, "Caption"}});
    add("OpenDialog1", {{13, "Filter"}});
    add("SaveDialogList", {{14, "DefaultExt"}, {15, "Filter"}});
    add("DirDialog1", {{16, "Title"}});
    add("FrameNumberEdit", {});
    return writeLangData(root);
}

const QStringList kRussian = {"Извлечение кадров",
                              "Выход",
                              "Номер кадра",
                              "путь",
                              "в папку источника",
                              "Матрица",
                              "c:\\кадры",
                              "Номер",
                              "Файл",
                              "дата",
                              "инфо",
                              "Очистить",
                              "ВИДЕО|*.avi|Все|*.*",
                              "mxl",
                              "Список|*.mxl",
                              "Выберите папку",
                              "welcome_ru",
                              "11"};

QString russianFile() {
    QString file = "LANGID=1049\n[Form1]\n";
    for (int id = 1; id <= 17; ++id) {
        file += QString("%1=%2\n").arg(id).arg(QString(kRussian[id - 1]).replace("\\", "\\\\"));
    }
    return file;
}

class QtLanguageControllerTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(test::writeFile(dir.filePath("ru.lng"), encodeAnsi(russianFile(), 1251)));
        ASSERT_TRUE(test::writeFile(dir.filePath("de.lng"), "LANGID=1031\n[Form1]\n2=Beenden\n"));
        ASSERT_TRUE(test::writeFile(dir.filePath("fr.lng"), "LANGID=1036\n[OptionsForm]\n1=x\n"));
        manager.ScanLanguageFiles(dir.path(), "*.lng", false);
    }

    QTemporaryDir dir;
    TLxLanguageManager manager;
};

TEST_F(QtLanguageControllerTest, SwitchesEveryListedPropertyAndBack) {
    TestWindow window;
    const QStringList builtIn = window.texts();
    auto* controller = new QtLanguageController(window.form.get(), manager);
    int changing = 0;
    int changed = 0;
    QObject::connect(controller, &QtLanguageController::languageChanging, [&] { ++changing; });
    QObject::connect(controller, &QtLanguageController::languageChanged, [&] {
        ++changed;
        EXPECT_EQ(changing, changed);
    });
    controller->load(testLangData());

    manager.SetCurrentLanguage(1049);
    EXPECT_EQ(window.texts(), kRussian);
    EXPECT_EQ(changing, 1);
    EXPECT_EQ(changed, 1);

    manager.SetCurrentLanguage(kBuiltInLanguage);
    EXPECT_EQ(window.texts(), builtIn);

    // An ID German lacks shows the built-in text although Russian had translated it.
    manager.SetCurrentLanguage(1049);
    manager.SetCurrentLanguage(1031);
    QStringList german = builtIn;
    german[1] = "Beenden";
    EXPECT_EQ(window.texts(), german);

    // A file without this window's section gives the built-in texts.
    manager.SetCurrentLanguage(1049);
    manager.SetCurrentLanguage(1036);
    EXPECT_EQ(window.texts(), builtIn);
}

TEST_F(QtLanguageControllerTest, NewWindowsComeUpInTheCurrentLanguage) {
    manager.SetCurrentLanguage(1049);
    TestWindow window;
    QtLanguageController controller(window.form.get(), manager);
    controller.load(testLangData());
    EXPECT_EQ(window.texts(), kRussian);
}

TEST_F(QtLanguageControllerTest, DestroyedComponentsAndWindowsAreForgotten) {
    auto window = std::make_unique<TestWindow>();
    auto* controller = new QtLanguageController(window->form.get(), manager);
    controller->load(testLangData());
    delete window->exit;
    delete window->popup;  // takes its menu item along
    manager.SetCurrentLanguage(1049);
    EXPECT_EQ(window->label->text(), "Номер кадра");
    const auto& root = controller->controller().root();
    for (const auto& child : *root.children) {
        EXPECT_NE(child->name(), "BtnExit");
        EXPECT_NE(child->name(), "ClearList1");
    }
    window.reset();
    manager.SetCurrentLanguage(kBuiltInLanguage);  // must not reach the destroyed window
    EXPECT_EQ(manager.GetCurrentLanguage(), kBuiltInLanguage);
}

TEST(DialogComponents, FilterTextBecomesQtNameFilters) {
    FileDialogComponent dialog;
    dialog.setFilter("VIDEO|*.avi;*.mov;*.wmv|All Files|*.*|Broken");
    EXPECT_EQ(dialog.nameFilters(), QStringList({"VIDEO (*.avi *.mov *.wmv)", "All Files (*.*)"}));
}

}  // namespace
}  // namespace mx
