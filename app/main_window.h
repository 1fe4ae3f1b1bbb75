#pragma once

#include <QMainWindow>
#include <QStringList>
#include <functional>
#include <memory>

#include "core/activity_log.h"
#include "engine/engine_host.h"
#include "engine/extraction_engine.h"
#include "joblist/file_search.h"
#include "joblist/job_list.h"
#include "settings/extraction_options.h"

class QProgressBar;
class QSplitter;
class QStatusBar;
class QTableWidget;
class QMenu;

class QDialog;

namespace mx {

// The program's arguments as given, without the program name, each decoded from the locale's
// 8-bit text.
QStringList commandLineArguments(int argc, const char* const* argv);

class FileDialogComponent;
class FolderDialogComponent;
class ImageButton;
class QtLanguageController;
class TFormAbout;
class TNARVHelp;
class LogView;
class TOptionsForm;

// The main window: job list on top, activity log below, two progress bars and the button
// panel. It runs the batch on the GUI thread and is the engine's host.
class TForm1 : public QMainWindow, public BatchHost {
    Q_OBJECT
public:
    // `arguments` are the program's command-line arguments (without the program name): any
    // argument at all shows the console tool's usage text once after start-up.
    TForm1(ExtractionOptions& options, QStringList arguments, QWidget* parent = nullptr);
    // The same with the video sources of the runs made by `sources` (tests use fakes).
    TForm1(ExtractionOptions& options, QStringList arguments, VideoSourceFactory sources,
           QWidget* parent = nullptr);
    ~TForm1() override;

    // The options dialog, created after the main window by the program entry.
    void setOptionsForm(TOptionsForm* form);
    // The about box, created after the options dialog.
    void setAboutForm(TFormAbout* form) { m_aboutForm = form; }
    // The help bridge; null when creating it failed.
    TNARVHelp* help() const { return m_help; }

    // The texts of the activity log, and the log itself.
    ActivityLog& activityLog() { return m_log; }
    JobList& jobList() { return m_jobs; }
    // The folder search of "Add Folder", and how often it lets window messages through.
    TFileSearch& fileSearch1() { return m_fileSearch1; }
    static constexpr int kSearchPumpIntervalMs = 20;
    QTableWidget* fileListView() const { return m_fileList; }
    bool isRunning() const { return m_running; }

    // The usage text of the console tool.
    static QString usageText();
    // The message box that shows it: each line whole, not wrapped.
    std::unique_ptr<QDialog> createUsageBox(const QString& text);

    // BatchHost
    void logMessage(const QString& text) override;
    void setFileProgressMax(int maximum) override;
    void setFileProgressPos(int position) override;
    void setCaptionAndTitle(const QString& text) override;
    void processMessages() override;
    void clearLog() override;
    void setOverallProgressMax(int maximum) override;
    void setOverallProgressPos(int position) override;
    void setStatusText(const QString& text) override;

    // What the progress bars hold (a bar with maximum 0 is shown empty, not busy).
    int allMax() const { return m_allMax; }
    int allPos() const { return m_allPos; }
    int currentMax() const { return m_currentMax; }
    int currentPos() const { return m_currentPos; }
    QString statusText() const;

    // Shows an error the way every handler's failure is shown: a message box with the text.
    // Tests replace it to collect the messages instead.
    std::function<void(const QString&)> showError;
    // Shows the usage text; tests replace it.
    std::function<void(const QString&)> showUsageBox;

    // The dialogs, replaceable in tests. Each returns an empty result for a cancel.
    std::function<QStringList()> openDialog1;  // video files to add
    std::function<QString()> dirDialog1;       // folder to search
    std::function<QString()> openDialogList;   // job list file to open
    std::function<QString()> saveDialogList;   // job list file to write

    // Adds the paths as dropped files: each one whose extension passes the drop rule.
    void dropPaths(const QStringList& paths);

    // Handlers.
    void AddFileBtnClick();
    void AddDirBtnClick();
    void FileSearch1FileFind(const QString& fullpath, const TSearchRec& info);
    void DeletefromList1Click();
    void StartExtractBtnClick();
    void BtnSaveListClick();
    void BtnOpenListClick();
    void ClearList1Click();
    void FormCreate();
    void FormActivate();
    void BtnAboutClick();
    void AboutBtnClick();
    void ShowUsage();
    void OptionsBtnClick();
    void BtnExitClick();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void changeEvent(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void buildWindow();
    // Gives the window its designed outer size, frame included, centred on the screen, and again
    // when the window manager's frame has come.
    void placeAsDesigned();
    void buildDialogs();
    // Runs a file dialog by its component's settings; empty for a cancel.
    QStringList runFileDialog(const FileDialogComponent& component, bool save, bool many);
    // The nine buttons of the panel, each with its click handler.
    void buildButtons(QWidget* panel);
    // Rows of the job list shown in FileList.
    void bindJobList();
    // The job list's popup menu pm1 and its two commands.
    void buildPopupMenu();
    // The folder search: what it finds goes into the job list.
    void bindFileSearch();
    // LoadSettings into the live options, and the spin controls of the options dialog.
    void loadSettings();
    // Commands that would change the job list or start another run, off while a run is on.
    void setListCommandsEnabled(bool enabled);
    // Runs a handler the way the framework runs event handlers: an exception that leaves it is
    // shown by the standard error report and the rest of the handler is skipped.
    void guarded(const std::function<void()>& handler);
    // Stores a bar's maximum and its position (clamped into it) and shows them.
    void setProgress(QProgressBar* bar, int& max, int& pos, int newMax, int newPos);

    ExtractionOptions& m_options;
    QStringList m_arguments;
    VideoSourceFactory m_sourceFactory;
    ActivityLog m_log;
    JobList m_jobs;
    std::unique_ptr<ExtractionEngine> m_engine;
    TFileSearch m_fileSearch1;
    TOptionsForm* m_optionsForm = nullptr;
    TFormAbout* m_aboutForm = nullptr;
    TNARVHelp* m_help = nullptr;
    FileDialogComponent* m_openDialog1 = nullptr;
    FolderDialogComponent* m_dirDialog1 = nullptr;
    FileDialogComponent* m_openDialogList = nullptr;
    FileDialogComponent* m_saveDialogList = nullptr;
    QtLanguageController* m_language = nullptr;

    QTableWidget* m_fileList = nullptr;
    LogView* m_logView = nullptr;
    QSplitter* m_splitter = nullptr;
    QProgressBar* m_allPB = nullptr;
    QProgressBar* m_currentPB = nullptr;
    QStatusBar* m_statBar = nullptr;
    QMenu* m_pm1 = nullptr;

    int m_allMax = 0;
    int m_allPos = 0;
    int m_currentMax = 100;
    int m_currentPos = 0;
    bool m_activated = false;
    bool m_running = false;
    bool m_closeRequested = false;
    bool m_placed = false;
};

}  // namespace mx
