#include "help/help_bridge.h"

#include <sys/stat.h>

#include <QApplication>
#include <QKeyEvent>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMessageBox>
#include <QPointer>

#include "core/app_locations.h"
#include "core/error.h"
#include "core/native_path.h"
#include "core/program_folder.h"
#include "help/help_window.h"
#include "widgets/design_scale.h"

namespace mx {
namespace {

const QString kViewerName = QStringLiteral("HtmlHelp");
const QString kTopicSeparator = QStringLiteral("::/");

std::function<void(const QString&)>& messageFunction() {
    static std::function<void(const QString&)> show;
    return show;
}

QString& applicationHelpFileName() {
    static QString name;
    return name;
}

HelpModule*& currentModule() {
    static HelpModule* module = nullptr;
    return module;
}

TNARVHelp*& currentInstance() {
    static TNARVHelp* instance = nullptr;
    return instance;
}

// The last window that asked for help while it was active.
QPointer<QWidget>& lastRequester() {
    static QPointer<QWidget> window;
    return window;
}

struct ActiveForm {
    QWidget* widget = nullptr;
    bool mdiChild = false;
};

// The window the user is working in. Our own viewer does not count: while it has the focus,
// help requests still concern the window that asked for help.
ActiveForm activeForm() {
    QWidget* window = QApplication::activeWindow();
    if (qobject_cast<HelpWindow*>(window)) {
        window = lastRequester();
    }
    if (!window) {
        return {};
    }
    if (const auto* area = window->findChild<QMdiArea*>()) {
        if (QMdiSubWindow* child = area->activeSubWindow(); child && child->widget()) {
            return {child->widget(), true};
        }
    }
    return {window, false};
}

QString programFileHelp() {
    return changeFileExt(programFileName(), QStringLiteral(".chm"));
}

int helpContextOf(QWidget* widget) {
    for (; widget; widget = widget->isWindow() ? nullptr : widget->parentWidget()) {
        if (const int context = widget->property(kHelpContextProperty).toInt(); context != 0) {
            return context;
        }
    }
    return 0;
}

}  // namespace

void setHelpMessageFunction(std::function<void(const QString&)> show) {
    messageFunction() = std::move(show);
}

void showHelpMessage(const QString& text) {
    if (messageFunction()) {
        messageFunction()(text);
        return;
    }
    // The texts separate their lines with CR, which a message box does not break on.
    QString shown = text;
    shown.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    QMessageBox::information(QApplication::activeWindow(), HelpWindow::productTitle(), shown);
}

void setApplicationHelpFile(const QString& name) {
    applicationHelpFileName() = name;
}

QString applicationHelpFile() {
    return applicationHelpFileName();
}

QString changeFileExt(const QString& name, const QString& extension) {
    const qsizetype slash = name.lastIndexOf(QLatin1Char('/'));
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    return (dot > slash ? name.left(dot) : name) + extension;
}

QString topicForKeyword(const QString& keyword) {
    const qsizetype dot = keyword.lastIndexOf(QLatin1Char('.'));
    const QString extension = dot < 0 ? QString() : keyword.mid(dot).toLower().left(4);
    return extension == QLatin1String(".htm") ? keyword : keyword + QLatin1String(".htm");
}

QString trimMdiSuffix(const QString& keyword) {
    const qsizetype underscore = keyword.lastIndexOf(QLatin1Char('_'));
    if (underscore >= 0 && underscore + 1 > keyword.size() - 3) {
        return keyword.left(underscore) + keyword.mid(underscore + 3);
    }
    return keyword;
}

TNARVHelpViewer::TNARVHelpViewer(const ChmLibrary& library) : m_library(library) {}

TNARVHelpViewer::~TNARVHelpViewer() = default;

QString TNARVHelpViewer::viewerName() const {
    return kViewerName;
}

QStringList TNARVHelpViewer::helpStrings(const QString& keyword) const {
    return {kViewerName + QLatin1String(": ") + keyword};
}

void TNARVHelpViewer::showTableOfContents() {
    if (const QString file = resolveHelpFile(); !file.isEmpty()) {
        htmlHelp(HtmlHelpCommand::DisplayToc, file);
    }
}

void TNARVHelpViewer::showHelp(const QString& keyword) {
    if (const QString file = resolveHelpFile(); !file.isEmpty()) {
        htmlHelp(HtmlHelpCommand::DisplayIndex, file, keyword);
    }
}

void TNARVHelpViewer::softShutDown() {
    htmlHelp(HtmlHelpCommand::CloseAll, {});
}

void TNARVHelpViewer::shutDown() {
    softShutDown();
}

void TNARVHelpViewer::displayTopic(const QString& topic) {
    if (const QString file = resolveHelpFile(); !file.isEmpty()) {
        htmlHelp(HtmlHelpCommand::DisplayTopic, file + kTopicSeparator + topic);
    }
}

void TNARVHelpViewer::displayHelpByContext(int context) {
    TNARVHelp* help = TNARVHelp::instance();
    if (!help) {
        // Nobody asked for help by keyword yet: there is no keyword to build a topic from.
        return;
    }
    help->setContextThreshold(1000);
    if (help->keyword().isEmpty() && context >= help->contextThreshold()) {
        help->setKeyword(QStringLiteral("TOPIC") + QString::number(context));
    }
    help->ShowKeywordTopic();
}

QString TNARVHelpViewer::resolveHelpFile() {
    const ActiveForm form = activeForm();
    const QString formHelp =
        form.widget ? form.widget->property(kHelpFileProperty).toString() : QString();
    // Beside the program, else in the installed data folder.
    QString path;
    if (form.widget && form.widget->testAttribute(Qt::WA_WState_Created) && !formHelp.isEmpty()) {
        path = locateDataFile(changeFileExt(formHelp, QStringLiteral(".chm")));
    } else if (!applicationHelpFile().isEmpty()) {
        path = locateDataFile(changeFileExt(applicationHelpFile(), QStringLiteral(".chm")));
    } else {
        path = locateDataFile(programFileHelp());
    }
    struct stat info {};
    if (path != m_lastHelpFile && ::stat(encodeNativePath(path).constData(), &info) != 0) {
        showHelpMessage(QStringLiteral("Sorry, the HelpFile\r") + path +
                        QStringLiteral("\rdoes not exists."));
        path.clear();
    }
    m_lastHelpFile = path;
    return path;
}

HelpWindow* TNARVHelpViewer::openWindow(const QString& file) {
    if (!m_window) {
        m_window = std::make_unique<HelpWindow>(m_library);
        centreOnScreen(m_window.get());
    }
    if (!m_window->openFile(file)) {
        showHelpMessage(QStringLiteral("Cannot open the help file\r") + file);
        if (m_window->filePath().isEmpty()) {
            m_window.reset();
        }
        return nullptr;
    }
    return m_window.get();
}

void TNARVHelpViewer::htmlHelp(HtmlHelpCommand command, const QString& file, const QString& data) {
    if (command == HtmlHelpCommand::CloseAll) {
        m_window.reset();
        return;
    }
    if (file.isEmpty()) {
        return;
    }
    if (QWidget* active = QApplication::activeWindow();
        active && !qobject_cast<HelpWindow*>(active)) {
        lastRequester() = active;
    }
    const qsizetype separator = file.indexOf(kTopicSeparator);
    HelpWindow* window = openWindow(separator < 0 ? file : file.left(separator));
    if (!window) {
        return;
    }
    switch (command) {
        case HtmlHelpCommand::DisplayTopic:
            if (separator < 0) {
                window->showContents();
            } else {
                window->showTopic(file.mid(separator + kTopicSeparator.size()));
            }
            break;
        case HtmlHelpCommand::DisplayToc:
            window->showContents();
            break;
        case HtmlHelpCommand::DisplayIndex:
            window->showIndex(data);
            break;
        case HtmlHelpCommand::CloseAll:
            break;
    }
    // A viewer the user minimised comes back as it was before.
    window->setWindowState(window->windowState() & ~Qt::WindowMinimized);
    window->show();
    window->raise();
    window->activateWindow();
}

class HelpModule::F1Filter : public QObject {
public:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::KeyPress) {
            return false;
        }
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() != Qt::Key_F1 || (key->modifiers() & ~Qt::KeypadModifier) != 0) {
            return false;
        }
        auto* widget = qobject_cast<QWidget*>(watched);
        const int context = helpContextOf(widget);
        if (context == 0) {
            return false;
        }
        showContextHelp(context);
        return true;
    }
};

HelpModule::HelpModule(const QString& libraryName)
    : m_library(std::make_unique<ChmLibrary>(libraryName)) {
    if (m_library->isLoaded()) {
        m_viewer = std::make_unique<TNARVHelpViewer>(*m_library);
        m_f1Filter = std::make_unique<F1Filter>();
        if (QCoreApplication* app = QCoreApplication::instance()) {
            app->installEventFilter(m_f1Filter.get());
        }
    }
    currentModule() = this;
}

HelpModule::~HelpModule() {
    if (m_viewer) {
        currentInstance() = nullptr;
        if (QCoreApplication* app = QCoreApplication::instance()) {
            app->removeEventFilter(m_f1Filter.get());
        }
        m_viewer->shutDown();
    }
    currentModule() = nullptr;
}

HelpModule* HelpModule::current() {
    return currentModule();
}

void closeHelpWindows() {
    if (HelpModule* module = HelpModule::current(); module && module->viewer()) {
        module->viewer()->softShutDown();
    }
}

void showContextHelp(int context) {
    if (HelpModule* module = HelpModule::current(); module && module->viewer()) {
        module->viewer()->displayHelpByContext(context);
    }
}

TNARVHelp::TNARVHelp(QObject* owner) : QObject(owner) {
    if (currentInstance()) {
        throw Error(QStringLiteral("More as one instance of NARVHelp are not allowed"));
    }
    currentInstance() = this;
    const HelpModule* module = HelpModule::current();
    if (!module || !module->isLoaded()) {
        const QString library =
            module ? module->libraryName() : QString::fromLatin1(kChmLibraryName);
        showHelpMessage(
            QStringLiteral("Unable to view HTML help (*.chm). Update windows help system.\r") +
            QStringLiteral("Get new \"") + library + QStringLiteral("\" library."));
    }
}

TNARVHelp::~TNARVHelp() {
    if (currentInstance() == this) {
        currentInstance() = nullptr;
    }
    // The viewer belongs to the window that owns this component: it goes with it.
    closeHelpWindows();
}

TNARVHelp* TNARVHelp::instance() {
    return currentInstance();
}

bool TNARVHelp::ShowKeywordTopic() {
    struct ClearKeyword {
        QString& keyword;
        ~ClearKeyword() { keyword.clear(); }
    } clearAfterwards{m_keyword};

    HelpModule* module = HelpModule::current();
    TNARVHelpViewer* viewer = module ? module->viewer() : nullptr;
    if (const ActiveForm form = activeForm(); form.widget) {
        if (m_keyword.isEmpty()) {
            m_keyword = form.widget->objectName();
        }
        if (form.mdiChild) {
            m_keyword = trimMdiSuffix(m_keyword);
        }
    }
    if (m_keyword.isEmpty()) {
        return false;
    }
    // Without a viewer the request is left to the toolkit, which has no help of its own.
    if (viewer) {
        viewer->displayTopic(topicForKeyword(m_keyword));
    }
    return true;
}

}  // namespace mx
