#include "app/main_window.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QProgressBar>
#include <QSignalBlocker>
#include <QSplitter>
#include <QStatusBar>
#include <QStyle>
#include <QTimer>
#include <QVBoxLayout>
#include <QWindow>

#include "app/application_title.h"
#include "app/log_view.h"
#include "core/abort_flag.h"
#include "core/app_locations.h"
#include "core/error.h"
#include "core/native_path.h"
#include "core/path_recovery.h"
#include "engine/batch_run.h"
#include "engine/ffmpeg/ffmpeg_video_source.h"
#include "help/form_about.h"
#include "help/help_bridge.h"
#include "i18n/form_table.h"
#include "i18n/language_manager.h"
#include "i18n/widgets/dialog_components.h"
#include "i18n/widgets/qt_language_controller.h"
#include "joblist/job_list_file.h"
#include "settings/settings_file.h"
#include "settings/ui/options_form.h"
#include "widgets/design_scale.h"
#include "widgets/image_button.h"
#include "widgets/native_file_dialog.h"
#include "widgets/up_down.h"

namespace mx {

TForm1::TForm1(ExtractionOptions& options, QStringList arguments, QWidget* parent)
    : TForm1(options, std::move(arguments), createFfmpegVideoSource, parent) {}

TForm1::TForm1(ExtractionOptions& options, QStringList arguments, VideoSourceFactory sources,
               QWidget* parent)
    : QMainWindow(parent),
      m_options(options),
      m_arguments(std::move(arguments)),
      m_sourceFactory(std::move(sources)) {
    m_engine = std::make_unique<ExtractionEngine>(*this, m_options, m_sourceFactory);
    showError = [this](const QString& message) {
        QMessageBox::critical(this, applicationTitle(), message);
    };
    showUsageBox = [this](const QString& text) { createUsageBox(text)->exec(); };
    buildWindow();
    bindJobList();
    buildPopupMenu();
    bindFileSearch();
    buildDialogs();
    qApp->installEventFilter(this);
    // The window's translation data, read as the window is loaded: it records the built-in
    // texts and brings the window into the current language.
    m_language = new QtLanguageController(this);
    connect(m_language, &QtLanguageController::languageChanged, this, [this] {
        fitColumnsToCaptions(m_fileList);
        fitColumnsToCaptions(m_logView);
    });
    m_language->load(formLangData(QStringLiteral("Form1")));
    FormCreate();
}

void TForm1::setOptionsForm(TOptionsForm* form) {
    m_optionsForm = form;
    form->languageIdAt = [](int index) { return int(LangManager().GetLanguageIdAt(index)); };
    form->setCurrentLanguage = [this](int id) {
        bool switched = false;
        guarded([id, &switched] {
            LangManager().SetCurrentLanguage(static_cast<LangId>(id));
            switched = true;
        });
        return switched;
    };
}

void TForm1::FormCreate() {
    setAcceptDrops(true);
    // Each step that fails is reported on its own and the others still run: a language that
    // cannot be loaded must not cost the saved language (written back at close) or the help.
    guarded([] {
        // Beside the program, then the installed data folder, then the user's own.
        for (const QString& folder : languageFolders()) {
            LangManager().ScanLanguageFiles(folder, QStringLiteral("*.lng"), false);
        }
    });
    guarded([this] { m_options.setLanguage(LoadLanguageSetting(settingsFilePath())); });
    guarded(
        [this] { LangManager().SetCurrentLanguage(static_cast<LangId>(m_options.language())); });
    guarded([this] {
        setApplicationHelpFile(QStringLiteral("mxextractor_help.chm"));
        m_help = new TNARVHelp(this);
    });
}

QStringList commandLineArguments(int argc, const char* const* argv) {
    QStringList arguments;
    for (int i = 1; i < argc; ++i) {
        arguments << QString::fromLocal8Bit(argv[i]);
    }
    return arguments;
}

void TForm1::placeAsDesigned() {
    // The design gives the outer size, frame included.
    centreOnScreen(this, [this] {
        const QMargins frame = windowHandle() ? windowHandle()->frameMargins() : QMargins();
        resize(scaled(QSize(756, 542)).shrunkBy(frame));
    });
}

void TForm1::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (!m_placed) {
        m_placed = true;
        placeAsDesigned();
        // The first activation loads the settings and shows the usage text; without a window
        // manager nobody would give the new window the focus.
        activateWindow();
    }
}

TForm1::~TForm1() {
    qApp->removeEventFilter(this);
}

void TForm1::buildWindow() {
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Moxelby Extractor"));
    setProperty("HelpKeyword", QStringLiteral("Welcome_topic"));
    setProperty("HelpContext", 1);
    setWindowIcon(applicationIcon());
    setFont(designFont());
    placeAsDesigned();

    auto* central = new QWidget(this);
    auto* layout = new QVBoxLayout(central);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    m_fileList = new QTableWidget(central);
    m_fileList->setObjectName(QStringLiteral("FileList"));
    setUpReportView(m_fileList, {QStringLiteral("Number"), QStringLiteral("Filename")}, {50, 500});
    m_fileList->setSelectionMode(QAbstractItemView::SingleSelection);
    // The number is fixed when the row is added and the path is what a run opens: an edit in
    // place would show what the job list does not hold.
    m_fileList->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_fileList->setContextMenuPolicy(Qt::CustomContextMenu);
    m_pm1 = new QMenu(this);
    m_pm1->setObjectName(QStringLiteral("pm1"));
    connect(m_fileList, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& at) { m_pm1->popup(m_fileList->viewport()->mapToGlobal(at)); });

    m_logView = new LogView(m_log, central);

    m_splitter = new QSplitter(Qt::Vertical, central);
    m_splitter->setObjectName(QStringLiteral("spl1"));
    m_splitter->setHandleWidth(scaled(3));
    m_splitter->setChildrenCollapsible(false);
    m_splitter->addWidget(m_fileList);
    m_splitter->addWidget(m_logView);
    m_splitter->setStretchFactor(0, 0);
    m_splitter->setStretchFactor(1, 1);
    m_splitter->setSizes({scaled(177), scaled(542 - 177)});
    layout->addWidget(m_splitter, 1);

    m_allPB = new QProgressBar(central);
    m_allPB->setObjectName(QStringLiteral("AllPB"));
    m_currentPB = new QProgressBar(central);
    m_currentPB->setObjectName(QStringLiteral("CurrentPB"));
    for (QProgressBar* bar : {m_allPB, m_currentPB}) {
        bar->setFixedHeight(scaled(17));
        bar->setTextVisible(false);
        layout->addWidget(bar);
    }
    setProgress(m_allPB, m_allMax, m_allPos, m_allMax, m_allPos);
    setProgress(m_currentPB, m_currentMax, m_currentPos, m_currentMax, m_currentPos);

    auto* panel = new QWidget(central);
    panel->setObjectName(QStringLiteral("Panel1"));
    panel->setFixedHeight(scaled(71));
    layout->addWidget(panel);
    setCentralWidget(central);

    m_statBar = new QStatusBar(this);
    m_statBar->setObjectName(QStringLiteral("statBar"));
    m_statBar->setFixedHeight(scaled(19));
    m_statBar->setSizeGripEnabled(true);
    setStatusBar(m_statBar);

    buildButtons(panel);
}

void TForm1::buildButtons(QWidget* panel) {
    struct ButtonSpec {
        const char* name;
        int left;
        const char* caption;
        ButtonImage image;
        void (TForm1::*handler)();
    };
    const ButtonSpec buttons[] = {
        {"BtnAddFile", 8, "Add File", ButtonImage::AddFile, &TForm1::AddFileBtnClick},
        {"BtnAddDir", 80, "Add Folder", ButtonImage::AddFolder, &TForm1::AddDirBtnClick},
        {"BtnStartExtract", 176, "Start extract", ButtonImage::StartExtract,
         &TForm1::StartExtractBtnClick},
        {"BtnOpenList", 272, "Open list", ButtonImage::OpenList, &TForm1::BtnOpenListClick},
        {"BtnSetting", 344, "Setting", ButtonImage::Settings, &TForm1::OptionsBtnClick},
        {"BtnSaveList", 416, "Save list", ButtonImage::SaveList, &TForm1::BtnSaveListClick},
        {"BtnAbout", 504, "About", ButtonImage::About, &TForm1::BtnAboutClick},
        {"BtnHelp", 576, "Help", ButtonImage::Help, &TForm1::AboutBtnClick},
        {"BtnExit", 656, "Exit", ButtonImage::Exit, &TForm1::BtnExitClick},
    };
    for (const ButtonSpec& spec : buttons) {
        auto* button = new ImageButton(panel);
        button->setObjectName(QString::fromLatin1(spec.name));
        button->setText(QString::fromLatin1(spec.caption));
        button->setIcon(buttonImage(spec.image));
        placeAt(button, spec.left, 8, 73, 57);
        connect(button, &QToolButton::clicked, this, [this, handler = spec.handler] {
            guarded([this, handler] { (this->*handler)(); });
        });
    }
}

void TForm1::bindJobList() {
    connect(&m_jobs, &JobList::rowAppended, this, [this](int index) {
        const JobRow& row = m_jobs.row(index);
        appendReportRow(m_fileList, {row.number, displayLine(row.path)});
    });
    connect(&m_jobs, &JobList::rowRemoved, m_fileList, &QTableWidget::removeRow);
    connect(&m_jobs, &JobList::cleared, this, [this] { m_fileList->setRowCount(0); });
}

void TForm1::buildPopupMenu() {
    auto* clear = m_pm1->addAction(QStringLiteral("Clear List"));
    clear->setObjectName(QStringLiteral("ClearList1"));
    connect(clear, &QAction::triggered, this, [this] { guarded([this] { ClearList1Click(); }); });
    auto* remove = m_pm1->addAction(QStringLiteral("Delete from List"));
    remove->setObjectName(QStringLiteral("DeletefromList1"));
    connect(remove, &QAction::triggered, this,
            [this] { guarded([this] { DeletefromList1Click(); }); });
}

void TForm1::bindFileSearch() {
    m_fileSearch1.setRecurseSubFolders(true);
    m_fileSearch1.setOnFileFind([this](const QString& fullpath, const TSearchRec& info) {
        FileSearch1FileFind(fullpath, info);
    });
    // Messages, and with them the repaint of the rows found so far, by time: letting them through
    // after every entry repainted the list for every row and made a large folder take minutes.
    // Every 20 ms the window still follows the search smoothly, and Esc or a handler setting
    // Stop takes effect at once.
    m_fileSearch1.setMessagePump(
        throttledPump([] { QCoreApplication::processEvents(); }, kSearchPumpIntervalMs));
}

void TForm1::buildDialogs() {
    m_openDialog1 = new FileDialogComponent(this, QStringLiteral("OpenDialog1"));
    m_openDialog1->setFilter(
        QStringLiteral("VIDEO|*.avi;*.mov;*.wmv;*.mpg;*.vob;*.mpeg|All Files|*.*"));
    m_dirDialog1 = new FolderDialogComponent(this, QStringLiteral("DirDialog1"));
    m_dirDialog1->setTitle(QStringLiteral("Select Folder"));
    m_openDialogList = new FileDialogComponent(this, QStringLiteral("OpenDialogList"));
    m_saveDialogList = new FileDialogComponent(this, QStringLiteral("SaveDialogList"));
    for (FileDialogComponent* list : {m_openDialogList, m_saveDialogList}) {
        list->setFilter(QStringLiteral("MX List|*.mxl|All Files|*.*"));
        list->setDefaultExt(QStringLiteral("mxl"));
    }

    openDialog1 = [this] { return runFileDialog(*m_openDialog1, false, true); };
    dirDialog1 = [this] {
        const QString folder =
            NativeFileDialog::getExistingFolder(this, m_dirDialog1->title(), QString());
        if (!folder.isEmpty()) {
            m_dirDialog1->setDirName(folder);
        }
        return folder;
    };
    // Several list files may be chosen; only the first is read.
    openDialogList = [this] { return runFileDialog(*m_openDialogList, false, true).value(0); };
    saveDialogList = [this] { return runFileDialog(*m_saveDialogList, true, false).value(0); };
}

QStringList TForm1::runFileDialog(const FileDialogComponent& component, bool save, bool many) {
    QStringList filters = component.nameFilters();
    // "*.*" would hide files without a dot here; "All Files" means all of them.
    filters.replaceInStrings(QStringLiteral("(*.*)"), QStringLiteral("(*)"));
    NativeFileDialog dialog(this, component.title());
    dialog.setNameFilters(filters);
    dialog.setDefaultSuffix(component.defaultExt());
    if (save) {
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setOption(QFileDialog::DontConfirmOverwrite);
    } else {
        dialog.setFileMode(many ? QFileDialog::ExistingFiles : QFileDialog::ExistingFile);
    }
    return dialog.exec() == QDialog::Accepted ? dialog.nativeSelectedFiles() : QStringList();
}

void TForm1::AddFileBtnClick() {
    for (const QString& path : openDialog1()) {
        m_jobs.add(path);
    }
}

void TForm1::AddDirBtnClick() {
    const QString folder = dirDialog1();
    if (folder.isEmpty()) {
        return;
    }
    // No cut of the search text: long folder paths keep every mask.
    m_fileSearch1.setSearchFile(folder + QLatin1Char('/') + QString::fromLatin1(VideoMaskList));
    m_fileSearch1.Execute();
}

void TForm1::FileSearch1FileFind(const QString& fullpath, const TSearchRec& info) {
    m_jobs.add(fullpath + info.name);
}

void TForm1::dropPaths(const QStringList& paths) {
    for (const QString& path : paths) {
        if (isAcceptedDrop(path)) {
            m_jobs.add(path);
        }
    }
}

void TForm1::DeletefromList1Click() {
    const QList<QTableWidgetItem*> selected = m_fileList->selectedItems();
    m_jobs.remove(selected.isEmpty() ? -1 : selected.first()->row());
}

void TForm1::ClearList1Click() {
    m_jobs.clear();
}

void TForm1::loadSettings() {
    SpinPositions spins;
    LoadSettings(m_options, settingsFilePath(), &spins);
    if (m_optionsForm) {
        m_optionsForm->udFN()->setPosition(spins.udFN);
        m_optionsForm->udSS()->setPosition(spins.udSS);
        m_optionsForm->udES()->setPosition(spins.udES);
    }
}

void TForm1::setListCommandsEnabled(bool enabled) {
    for (const char* name : {"BtnAddFile", "BtnAddDir", "BtnStartExtract", "BtnOpenList"}) {
        findChild<ImageButton*>(QString::fromLatin1(name))->setEnabled(enabled);
    }
    for (QAction* action : m_pm1->actions()) {
        action->setEnabled(enabled);
    }
    setAcceptDrops(enabled);
}

void TForm1::StartExtractBtnClick() {
    if (m_running) {
        return;
    }
    m_running = true;
    setListCommandsEnabled(false);
    // Whatever way the run ends, the commands come back and a close asked for meanwhile
    // goes ahead.
    struct RunEnd {
        TForm1* form;
        ~RunEnd() {
            form->m_running = false;
            form->setListCommandsEnabled(true);
            if (form->m_closeRequested) {
                QTimer::singleShot(0, form, &QWidget::close);
            }
        }
    } runEnd{this};
    m_engine->beginRun();
    BatchRun(
        *this, m_jobs, [this] { loadSettings(); },
        [this](const QString& path) { m_engine->run(path); });
}

void TForm1::BtnSaveListClick() {
    const QString path = saveDialogList();
    if (!path.isEmpty()) {
        writeJobListFile(path, m_jobs, m_options);
    }
}

void TForm1::BtnOpenListClick() {
    const QString path = openDialogList();
    if (path.isEmpty()) {
        return;
    }
    if (!readJobListFile(path, m_jobs, m_options).optionsFound) {
        showError(
            QStringLiteral("The job list %1 ends before its options: only its paths were added.")
                .arg(displayPath(path)));
    }
}

void TForm1::dragEnterEvent(QDragEnterEvent* event) {
    if (event->mimeData()->hasUrls()) {
        event->acceptProposedAction();
    }
}

void TForm1::dropEvent(QDropEvent* event) {
    QStringList paths;
    for (const QUrl& url : event->mimeData()->urls()) {
        if (url.isLocalFile()) {
            paths << nativeLocalFile(url);  // by its bytes: toLocalFile would mangle them
        }
    }
    dropPaths(paths);
    event->acceptProposedAction();
}

void TForm1::guarded(const std::function<void()>& handler) {
    try {
        handler();
    } catch (const Error& e) {
        showError(displayPath(e.message()));  // messages may name paths that are not text
    } catch (const std::exception& e) {
        showError(QString::fromUtf8(e.what()));
    }
}

QString TForm1::usageText() {
    return QStringLiteral(
        "Usage: mx_cons <file> <Number Frames> <jpg/bmp> <-w Width> <-h Height>\n\r"
        "Example: mx_cons video.avi 15 jpg -w640 -h480 ");
}

std::unique_ptr<QDialog> TForm1::createUsageBox(const QString& text) {
    // A message box of the standard look. QMessageBox itself rewraps any text wider than a limit
    // of its own (half the screen, at most 500 pixels) whenever it lays itself out, and the first
    // line of the usage text is wider than that.
    auto box = std::make_unique<QDialog>(this);
    box->setWindowTitle(applicationTitle());
    box->setFont(designFont());
    auto* icon = new QLabel(box.get());
    const int iconSize = box->style()->pixelMetric(QStyle::PM_MessageBoxIconSize);
    icon->setPixmap(box->style()->standardIcon(QStyle::SP_MessageBoxInformation).pixmap(iconSize));
    icon->setAlignment(Qt::AlignTop);
    auto* label = new QLabel(box.get());
    label->setObjectName(QStringLiteral("usageText"));
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(false);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    // The text breaks its lines with LF CR; the box breaks on the LF and shows no CR.
    QString shown = text;
    shown.remove(QLatin1Char('\r'));
    label->setText(shown);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, box.get());
    buttons->setCenterButtons(true);
    connect(buttons, &QDialogButtonBox::accepted, box.get(), &QDialog::accept);
    auto* grid = new QGridLayout(box.get());
    grid->addWidget(icon, 0, 0);
    grid->addWidget(label, 0, 1);
    grid->addWidget(buttons, 1, 0, 1, 2);
    grid->setHorizontalSpacing(scaled(16));
    grid->setSizeConstraint(QLayout::SetFixedSize);
    return box;
}

void TForm1::ShowUsage() {
    showUsageBox(usageText());
}

void TForm1::FormActivate() {
    if (m_activated) {
        return;
    }
    m_activated = true;
    guarded([this] {
        loadSettings();
        if (m_optionsForm) {
            // Filling the list is no choice: the box shows nothing until the user picks.
            QComboBox* list = m_optionsForm->cbblang();
            const QSignalBlocker blocker(list);
            for (int i = 0; i < LangManager().GetLanguageCount(); ++i) {
                list->addItem(LangManager().GetLanguageNameAt(i));
            }
            list->setCurrentIndex(-1);
        }
        if (!m_arguments.isEmpty()) {
            ShowUsage();
        }
    });
}

void TForm1::OptionsBtnClick() {
    if (!m_optionsForm) {
        return;
    }
    loadSettings();
    m_optionsForm->setCbblangTag(m_options.language());
    if (m_optionsForm->exec() != QDialog::Accepted) {
        return;
    }
    SaveSettings(m_options, settingsFilePath());
    if (m_optionsForm->cbblangTag() != m_options.language()) {
        m_options.setLanguage(m_optionsForm->cbblangTag());
    }
}

void TForm1::BtnExitClick() {
    close();
}

void TForm1::BtnAboutClick() {
    if (m_aboutForm) {
        m_aboutForm->exec();
    }
}

void TForm1::AboutBtnClick() {
    // Without a help bridge (its creation failed) the button shows nothing.
    if (m_help) {
        m_help->setKeyword(QStringLiteral("interface"));
        m_help->ShowKeywordTopic();
    }
}

void TForm1::changeEvent(QEvent* event) {
    if (event->type() == QEvent::ActivationChange && isActiveWindow() && !m_activated) {
        // Once per start: later activations (after a modal dialog, from another program) do
        // not run it again.
        QTimer::singleShot(0, this, [this] { FormActivate(); });
    }
    QMainWindow::changeEvent(event);
}

bool TForm1::eventFilter(QObject* watched, QEvent* event) {
    // Every key pressed anywhere in this window passes here first; Esc asks a run to stop and
    // still reaches the control that has the focus.
    if (event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
        if (auto* widget = qobject_cast<QWidget*>(watched); widget && widget->window() == this) {
            AbortFlag = true;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

void TForm1::closeEvent(QCloseEvent* event) {
    if (m_running) {
        // The run is inside this window's message pumping: ask it to stop and close when it
        // has unwound.
        AbortFlag = true;
        m_closeRequested = true;
        event->ignore();
        return;
    }
    // A folder search under way is inside this window's message pumping too; the program ends
    // once it has unwound, so it must not walk on behind a closed window.
    m_fileSearch1.setStop(true);
    try {
        SaveLanguageSetting(m_options.language(), settingsFilePath());
    } catch (const Error& e) {
        showError(e.message());  // the program still closes
    }
    closeHelpWindows();
    event->accept();
}

void TForm1::logMessage(const QString& text) {
    m_log.LogMessage(displayLine(text));
}

void TForm1::setProgress(QProgressBar* bar, int& max, int& pos, int newMax, int newPos) {
    max = newMax;
    pos = std::clamp(newPos, 0, std::max(newMax, 0));
    // Qt shows a bar with an empty range as busy; show it empty instead.
    bar->setRange(0, max > 0 ? max : 1);
    bar->setValue(max > 0 ? pos : 0);
}

void TForm1::setFileProgressMax(int maximum) {
    setProgress(m_currentPB, m_currentMax, m_currentPos, maximum, m_currentPos);
}

void TForm1::setFileProgressPos(int position) {
    setProgress(m_currentPB, m_currentMax, m_currentPos, m_currentMax, position);
}

void TForm1::setOverallProgressMax(int maximum) {
    setProgress(m_allPB, m_allMax, m_allPos, maximum, m_allPos);
}

void TForm1::setOverallProgressPos(int position) {
    setProgress(m_allPB, m_allMax, m_allPos, m_allMax, position);
}

void TForm1::setCaptionAndTitle(const QString& text) {
    setWindowTitle(text);
    setApplicationTitle(text);
}

void TForm1::processMessages() {
    QCoreApplication::processEvents();
}

void TForm1::clearLog() {
    m_log.clear();
}

void TForm1::setStatusText(const QString& text) {
    m_statBar->showMessage(displayLine(text));
}

QString TForm1::statusText() const {
    return m_statBar->currentMessage();
}

}  // namespace mx
