#include "help/help_window.h"

#include <QAction>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QKeySequence>
#include <QLineEdit>
#include <QListWidget>
#include <QShortcut>
#include <QSplitter>
#include <QStyle>
#include <QTabWidget>
#include <QTextDocument>
#include <QToolBar>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>
#include <QVBoxLayout>

#include <optional>

#include "help/chm_library.h"
#include "widgets/design_scale.h"

namespace mx {
namespace {

const QString kScheme = QStringLiteral("chm");
constexpr int kLocalRole = Qt::UserRole;

QString notFoundPage(const QString& topic, const QString& file) {
    return QStringLiteral(
               "<html><head><title>Page not found</title></head><body>"
               "<h1>The page cannot be displayed</h1>"
               "<p>The topic <b>%1</b> is not in the help file %2.</p></body></html>")
        .arg(topic.toHtmlEscaped(), file.toHtmlEscaped());
}

QString archivePath(const QString& local) {
    QString path = local;
    path.replace(QLatin1Char('\\'), QLatin1Char('/'));
    return path.startsWith(QLatin1Char('/')) ? path : QLatin1Char('/') + path;
}

QString firstFileWithSuffix(const QStringList& files, const QString& suffix) {
    for (const QString& path : files) {
        if (path.endsWith(suffix, Qt::CaseInsensitive)) {
            return path;
        }
    }
    return {};
}

void addContentsItems(QTreeWidgetItem* parent, QTreeWidget* tree,
                      const std::vector<SitemapEntry>& entries) {
    for (const SitemapEntry& entry : entries) {
        auto* item = parent ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(tree);
        item->setText(0, entry.name);
        item->setData(0, kLocalRole, entry.local);
        addContentsItems(item, tree, entry.children);
    }
}

void addIndexItems(QListWidget* list, const std::vector<SitemapEntry>& entries, int depth) {
    for (const SitemapEntry& entry : entries) {
        auto* item = new QListWidgetItem(QString(depth * 4, QLatin1Char(' ')) + entry.name, list);
        item->setData(kLocalRole, entry.local);
        addIndexItems(list, entry.children, depth + 1);
    }
}

QString firstLocal(const std::vector<SitemapEntry>& entries) {
    for (const SitemapEntry& entry : entries) {
        if (!entry.local.isEmpty()) {
            return entry.local;
        }
        if (QString local = firstLocal(entry.children); !local.isEmpty()) {
            return local;
        }
    }
    return {};
}

std::function<void(const QUrl&)>& externalLinkOpener() {
    static std::function<void(const QUrl&)> open;
    return open;
}

// "ms-its:file.chm::/topic.htm" and "mk:@MSITStore:file.chm::/topic.htm" name a topic of a help
// file; this viewer shows one file, so the topic is looked up in it.
QString topicOfStoreLink(const QUrl& link) {
    const QString text = link.toString();
    const qsizetype separator = text.indexOf(QLatin1String("::"));
    return separator < 0 ? QString() : text.mid(separator + 2);
}

}  // namespace

ChmBrowser::ChmBrowser(QWidget* parent) : QTextBrowser(parent) {
    // QTextBrowser would hand every link of a page from a non-file scheme to the desktop.
    setOpenLinks(false);
    setOpenExternalLinks(false);
    connect(this, &QTextBrowser::anchorClicked, this, &ChmBrowser::followLink);
}

void ChmBrowser::setExternalLinkOpener(std::function<void(const QUrl&)> open) {
    externalLinkOpener() = std::move(open);
}

QUrl ChmBrowser::topicOfLink(const QUrl& link) const {
    const QString scheme = link.scheme().toLower();
    if (scheme == QLatin1String("ms-its") || scheme == QLatin1String("mk") ||
        scheme == QLatin1String("its")) {
        const QString topic = topicOfStoreLink(link);
        return topic.isEmpty() ? QUrl() : topicUrl(topic);
    }
    if (scheme == kScheme) {
        return link;
    }
    if (link.isRelative()) {
        const QUrl base = source().isEmpty() ? topicUrl(QStringLiteral("/")) : source();
        return base.resolved(link);
    }
    return {};
}

void ChmBrowser::followLink(const QUrl& link) {
    if (const QUrl topic = topicOfLink(link); topic.isValid() && !topic.isEmpty()) {
        setSource(topic, QTextDocument::HtmlResource);
        return;
    }
    if (externalLinkOpener()) {
        externalLinkOpener()(link);
    } else {
        QDesktopServices::openUrl(link);
    }
}

QUrl ChmBrowser::topicUrl(const QString& topic) {
    const qsizetype hash = topic.indexOf(QLatin1Char('#'));
    QUrl url;
    url.setScheme(kScheme);
    url.setPath(archivePath(hash < 0 ? topic : topic.left(hash)));
    if (hash >= 0) {
        url.setFragment(topic.mid(hash + 1));
    }
    return url;
}

QVariant ChmBrowser::loadResource(int type, const QUrl& name) {
    if (name.scheme() != kScheme) {
        return QTextBrowser::loadResource(type, name);
    }
    if (m_archive) {
        if (std::optional<QByteArray> bytes = m_archive->read(name.path())) {
            return *bytes;
        }
    }
    if (type == QTextDocument::HtmlResource) {
        return notFoundPage(name.path().mid(1), m_archive ? m_archive->path() : QString());
    }
    return {};
}

QString HelpWindow::productTitle() {
    return QStringLiteral("Moxelby Frame Extractor");
}

HelpWindow::HelpWindow(const ChmLibrary& library) : m_library(library) {
    setObjectName(QStringLiteral("HelpWindow"));
    // The topics ask for the design face; it must be known before the first page is laid out.
    registerDesignFace();
    setWindowTitle(productTitle() + QStringLiteral(" Help"));
    // A window of its own, beside any modal dialog, that does not keep the program alive.
    setAttribute(Qt::WA_QuitOnClose, false);
    resize(scaled(QSize(760, 520)));

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    auto* toolBar = new QToolBar(this);
    toolBar->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    layout->addWidget(toolBar);

    auto* splitter = new QSplitter(Qt::Horizontal, this);
    layout->addWidget(splitter, 1);

    m_panes = new QTabWidget(splitter);
    m_contents = new QTreeWidget(m_panes);
    m_contents->setObjectName(QStringLiteral("contents"));
    m_contents->header()->hide();
    m_panes->addTab(m_contents, QStringLiteral("&Contents"));

    auto* indexPage = new QWidget(m_panes);
    auto* indexLayout = new QVBoxLayout(indexPage);
    m_indexFilter = new QLineEdit(indexPage);
    m_index = new QListWidget(indexPage);
    m_index->setObjectName(QStringLiteral("index"));
    indexLayout->addWidget(m_indexFilter);
    indexLayout->addWidget(m_index, 1);
    m_panes->addTab(indexPage, QStringLiteral("I&ndex"));

    m_browser = new ChmBrowser(splitter);
    m_browser->setObjectName(QStringLiteral("topic"));
    splitter->addWidget(m_panes);
    splitter->addWidget(m_browser);
    splitter->setStretchFactor(1, 1);
    splitter->setSizes({scaled(220), scaled(540)});

    QAction* back = toolBar->addAction(style()->standardIcon(QStyle::SP_ArrowBack),
                                       QStringLiteral("Back"), m_browser, &QTextBrowser::backward);
    QAction* forward =
        toolBar->addAction(style()->standardIcon(QStyle::SP_ArrowForward),
                           QStringLiteral("Forward"), m_browser, &QTextBrowser::forward);
    back->setShortcut(QKeySequence(Qt::ALT | Qt::Key_Left));
    forward->setShortcut(QKeySequence(Qt::ALT | Qt::Key_Right));
    back->setEnabled(false);
    forward->setEnabled(false);
    auto* close = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(close, &QShortcut::activated, this, &QWidget::close);
    // The tab shortcuts put the focus into the pane they show.
    connect(m_panes, &QTabWidget::currentChanged, this, [this](int index) {
        if (isVisible()) {
            (index == 0 ? static_cast<QWidget*>(m_contents) : m_indexFilter)->setFocus();
        }
    });
    connect(m_browser, &QTextBrowser::backwardAvailable, back, &QAction::setEnabled);
    connect(m_browser, &QTextBrowser::forwardAvailable, forward, &QAction::setEnabled);

    connect(m_browser, &QTextBrowser::sourceChanged, this, &HelpWindow::selectContentsEntry);
    connect(m_browser, &QTextBrowser::sourceChanged, this, [this] {
        const QString title = m_browser->documentTitle();
        const QString product = productTitle() + QStringLiteral(" Help");
        setWindowTitle(title.isEmpty() ? product : title + QStringLiteral(" - ") + product);
    });
    auto openContentsItem = [this](QTreeWidgetItem* item) {
        if (const QString local = item->data(0, kLocalRole).toString(); !local.isEmpty()) {
            showTopic(local);
        }
    };
    connect(m_contents, &QTreeWidget::itemClicked, this, openContentsItem);
    connect(m_contents, &QTreeWidget::itemActivated, this, openContentsItem);
    auto openIndexItem = [this](QListWidgetItem* item) {
        if (const QString local = item->data(kLocalRole).toString(); !local.isEmpty()) {
            showTopic(local);
        }
    };
    connect(m_index, &QListWidget::itemClicked, this, openIndexItem);
    connect(m_index, &QListWidget::itemActivated, this, openIndexItem);
    connect(m_indexFilter, &QLineEdit::textEdited, this, &HelpWindow::filterIndex);
    connect(m_indexFilter, &QLineEdit::returnPressed, this, [this] {
        if (QListWidgetItem* item = m_index->currentItem()) {
            emit m_index->itemActivated(item);
        }
    });
    // The arrows and page keys in the filter move through the index below it.
    m_indexFilter->installEventFilter(this);
}

bool HelpWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_indexFilter && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Up || key == Qt::Key_Down || key == Qt::Key_PageUp ||
            key == Qt::Key_PageDown) {
            QCoreApplication::sendEvent(m_index, event);
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

HelpWindow::~HelpWindow() {
    // The document may still ask for resources while it is torn down.
    m_browser->setArchive(nullptr);
}

bool HelpWindow::openFile(const QString& path) {
    if (m_archive && path == m_filePath) {
        return true;
    }
    std::unique_ptr<ChmArchive> archive = m_library.open(path);
    if (!archive) {
        return false;
    }
    const QStringList files = archive->files();
    auto readSitemap = [&](const QString& suffix) {
        const QString name = firstFileWithSuffix(files, suffix);
        std::optional<QByteArray> bytes = name.isEmpty() ? std::nullopt : archive->read(name);
        return bytes ? parseSitemap(*bytes) : std::vector<SitemapEntry>{};
    };
    m_contentsEntries = readSitemap(QStringLiteral(".hhc"));
    m_indexEntries = readSitemap(QStringLiteral(".hhk"));

    m_browser->setArchive(archive.get());
    m_archive = std::move(archive);
    m_filePath = path;
    m_browser->clearHistory();
    m_staleDocument = true;
    fillContents();
    fillIndex();
    return true;
}

void HelpWindow::showTopic(const QString& topic) {
    const QUrl url = ChmBrowser::topicUrl(topic);
    const bool sameDocument =
        m_browser->source().adjusted(QUrl::RemoveFragment) == url.adjusted(QUrl::RemoveFragment);
    m_browser->setSource(url, QTextDocument::HtmlResource);
    // The browser skips loading a page it already shows, but it came from the previous file.
    if (sameDocument && m_staleDocument) {
        m_browser->reload();
    }
    m_staleDocument = false;
}

void HelpWindow::showContents() {
    m_panes->setCurrentIndex(0);
    showDefaultTopicIfEmpty();
}

void HelpWindow::showIndex(const QString& keyword) {
    m_panes->setCurrentIndex(1);
    m_indexFilter->setText(keyword);
    filterIndex(keyword);
    showDefaultTopicIfEmpty();
}

QString HelpWindow::currentTopic() const {
    return m_browser->source().path();
}

void HelpWindow::fillContents() {
    m_contents->clear();
    addContentsItems(nullptr, m_contents, m_contentsEntries);
    m_contents->expandAll();
}

void HelpWindow::fillIndex() {
    m_index->clear();
    addIndexItems(m_index, m_indexEntries, 0);
}

void HelpWindow::showDefaultTopicIfEmpty() {
    if (!m_browser->source().isEmpty() && !m_staleDocument) {
        return;
    }
    if (const QString local = firstLocal(m_contentsEntries); !local.isEmpty()) {
        showTopic(local);
    }
}

void HelpWindow::selectContentsEntry(const QUrl& source) {
    for (QTreeWidgetItemIterator it(m_contents); *it; ++it) {
        const QString local = (*it)->data(0, kLocalRole).toString();
        if (!local.isEmpty() &&
            archivePath(local).compare(source.path(), Qt::CaseInsensitive) == 0) {
            m_contents->setCurrentItem(*it);
            return;
        }
    }
}

void HelpWindow::filterIndex(const QString& text) {
    const QString wanted = text.trimmed();
    for (int row = 0; row < m_index->count(); ++row) {
        QListWidgetItem* item = m_index->item(row);
        if (item->text().trimmed().startsWith(wanted, Qt::CaseInsensitive)) {
            m_index->setCurrentItem(item);
            m_index->scrollToItem(item, QAbstractItemView::PositionAtTop);
            return;
        }
    }
}

}  // namespace mx
