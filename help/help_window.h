#pragma once

#include <QTextBrowser>
#include <QWidget>
#include <functional>
#include <memory>

#include "help/sitemap.h"

class QLineEdit;
class QListWidget;
class QTabWidget;
class QTreeWidget;
class QTreeWidgetItem;

namespace mx {

class ChmArchive;
class ChmLibrary;

// Shows topics of one compiled help file. Pages, style sheets and images are read from the
// archive through the "chm:" scheme, so relative links between topics work as in the file.
// A link into the file (relative, "chm:", or the "ms-its:"/"mk:@MSITStore:" forms help
// authors write) is followed here; any other link goes to the desktop.
class ChmBrowser : public QTextBrowser {
    Q_OBJECT
public:
    explicit ChmBrowser(QWidget* parent = nullptr);
    void setArchive(const ChmArchive* archive) { m_archive = archive; }
    QVariant loadResource(int type, const QUrl& name) override;

    // The URL of an archive path ("/interface.htm", "Form1.htm#keys").
    static QUrl topicUrl(const QString& topic);
    // Where a link of the page on display leads inside the help file; empty for a link that
    // leaves it (a web page, an e-mail address).
    QUrl topicOfLink(const QUrl& link) const;
    // Follows a link as a click on it does.
    void followLink(const QUrl& link);

    // How links that leave the help file are opened: QDesktopServices by default; tests
    // collect them. An empty function restores the default.
    static void setExternalLinkOpener(std::function<void(const QUrl&)> open);

private:
    const ChmArchive* m_archive = nullptr;
};

// The help viewer window: contents and index beside the topic, with back and forward. It is a
// window of its own that does not keep the program running: the help bridge closes it when the
// main window closes. Keys: Alt+C and Alt+N pick the contents or the index, Enter opens the
// entry or link in focus, Tab walks the links of a topic, Alt+Left and Alt+Right go back and
// forward, Esc closes the window.
class HelpWindow : public QWidget {
    Q_OBJECT
public:
    explicit HelpWindow(const ChmLibrary& library);
    ~HelpWindow() override;

    // Opens the help file unless it is already the one shown; false when it cannot be read
    // as a help file (the window then keeps what it had).
    bool openFile(const QString& path);
    const QString& filePath() const { return m_filePath; }

    // Shows a topic of the open file; a topic the file lacks shows a page saying so.
    void showTopic(const QString& topic);
    void showContents();
    // Shows the index with the first entry that starts with the keyword selected.
    void showIndex(const QString& keyword);

    // The archive path of the topic on display ("/interface.htm"), empty before the first.
    QString currentTopic() const;
    ChmBrowser* browser() const { return m_browser; }
    QTreeWidget* contentsTree() const { return m_contents; }
    QListWidget* indexList() const { return m_index; }
    QTabWidget* panes() const { return m_panes; }
    QLineEdit* indexFilter() const { return m_indexFilter; }

    // The title of the viewer, and of the bridge's message boxes.
    static QString productTitle();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void fillContents();
    void fillIndex();
    void showDefaultTopicIfEmpty();
    void selectContentsEntry(const QUrl& source);
    void filterIndex(const QString& text);

    const ChmLibrary& m_library;
    std::unique_ptr<ChmArchive> m_archive;
    QString m_filePath;
    bool m_staleDocument = false;
    std::vector<SitemapEntry> m_contentsEntries;
    std::vector<SitemapEntry> m_indexEntries;
    ChmBrowser* m_browser = nullptr;
    QTabWidget* m_panes = nullptr;
    QTreeWidget* m_contents = nullptr;
    QLineEdit* m_indexFilter = nullptr;
    QListWidget* m_index = nullptr;
};

}  // namespace mx
