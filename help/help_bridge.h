#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

#include "help/chm_library.h"

class QWidget;

namespace mx {

class HelpWindow;

// Dynamic properties a window carries for help: its help context number (F1) and its own
// help file name, which takes precedence over the application's.
inline constexpr char kHelpContextProperty[] = "HelpContext";
inline constexpr char kHelpFileProperty[] = "HelpFile";

// How the bridge tells the user something (a missing help file, no help library). The default
// shows a message box; tests collect the texts instead. An empty function restores the default.
void setHelpMessageFunction(std::function<void(const QString&)> show);
void showHelpMessage(const QString& text);

// The application's help file name, a bare file name looked up in the program folder.
void setApplicationHelpFile(const QString& name);
QString applicationHelpFile();

// The file name with its extension (from the last '.' of the last path component) replaced.
QString changeFileExt(const QString& name, const QString& extension);
// The topic for a keyword: ".htm" appended unless the keyword's extension begins with ".htm"
// in any case (so "page.HTML" stays as it is).
QString topicForKeyword(const QString& keyword);
// An MDI child's name loses a "_N" instance suffix within its last three characters.
QString trimMdiSuffix(const QString& keyword);

enum class HtmlHelpCommand { DisplayTopic = 0, DisplayToc = 1, DisplayIndex = 2, CloseAll = 0x12 };

// Serves the application's help requests from the help file in the viewer window.
class TNARVHelpViewer {
public:
    explicit TNARVHelpViewer(const ChmLibrary& library);
    ~TNARVHelpViewer();
    TNARVHelpViewer(const TNARVHelpViewer&) = delete;
    TNARVHelpViewer& operator=(const TNARVHelpViewer&) = delete;

    QString viewerName() const;
    int understandsKeyword(const QString&) const { return 1; }
    QStringList helpStrings(const QString& keyword) const;
    bool canShowTableOfContents() const { return true; }
    void showTableOfContents();
    void showHelp(const QString& keyword);
    void softShutDown();
    void shutDown();
    bool understandsTopic(const QString&) const { return true; }
    void displayTopic(const QString& topic);
    bool understandsContext(int) const { return true; }
    void displayHelpByContext(int context);

    // The help file for the next request, or empty (after telling the user) when it is
    // missing. A file found once is not looked for again until another path is resolved.
    QString resolveHelpFile();
    // The display calls; file is the help file, for a topic followed by "::/" and the topic.
    void htmlHelp(HtmlHelpCommand command, const QString& file, const QString& data = {});

    const QString& lastHelpFile() const { return m_lastHelpFile; }
    // The viewer window while it is open, otherwise null.
    HelpWindow* window() const { return m_window.get(); }

private:
    HelpWindow* openWindow(const QString& file);

    const ChmLibrary& m_library;
    QString m_lastHelpFile;
    std::unique_ptr<HelpWindow> m_window;
};

// The help set-up of the process: create one after the application object, before any window,
// and destroy it before the application object (it owns the viewer window). It loads the help
// library, and when that works it serves F1 in every window that carries a help context and keeps
// the viewer. Its end closes the viewer and unloads the library.
class HelpModule {
public:
    explicit HelpModule(const QString& libraryName = QString::fromLatin1(kChmLibraryName));
    ~HelpModule();
    HelpModule(const HelpModule&) = delete;
    HelpModule& operator=(const HelpModule&) = delete;

    // The module of the process, or null before it is created and after its end.
    static HelpModule* current();

    bool isLoaded() const { return m_viewer != nullptr; }
    const QString& libraryName() const { return m_library->name(); }
    // Null when the library could not be loaded.
    TNARVHelpViewer* viewer() const { return m_viewer.get(); }

private:
    class F1Filter;
    std::unique_ptr<ChmLibrary> m_library;
    std::unique_ptr<TNARVHelpViewer> m_viewer;
    std::unique_ptr<F1Filter> m_f1Filter;
};

// Asks for help by context number, as F1 does; nothing happens without a loaded help library.
void showContextHelp(int context);
// Closes the help viewer, as the end of the main window does.
void closeHelpWindows();

// The program's way to ask for a help topic by keyword. The main window creates the one
// instance and owns it.
class TNARVHelp : public QObject {
    Q_OBJECT
public:
    // Fails with "More as one instance of NARVHelp are not allowed" while another exists.
    // Without a loaded help library it tells the user so and is created all the same.
    explicit TNARVHelp(QObject* owner);
    ~TNARVHelp() override;

    static TNARVHelp* instance();

    const QString& keyword() const { return m_keyword; }
    void setKeyword(const QString& keyword) { m_keyword = keyword; }
    int contextThreshold() const { return m_contextThreshold; }
    void setContextThreshold(int threshold) { m_contextThreshold = threshold; }

    // Shows the topic for the keyword, or for the active window's name when the keyword is
    // empty; false when there is neither. The keyword is cleared afterwards in every case.
    bool ShowKeywordTopic();

private:
    QString m_keyword;
    int m_contextThreshold = 1000;
};

}  // namespace mx
