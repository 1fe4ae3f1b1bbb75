#include "help/link_label.h"

#include <QDesktopServices>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QStyleHints>
#include <QUrl>
#include <array>

#include "widgets/design_scale.h"

namespace mx {
namespace {

std::function<void(const QString&)>& linkOpener() {
    static std::function<void(const QString&)> open;
    return open;
}

}  // namespace

QString linkPrefix(TLinkType type) {
    static const std::array<const char*, 9> prefixes = {
        "file://", "ftp://", "gopher://", "http://", "https://",
        "mailto:", "news:",  "telnet:",   "wais:"};
    return QString::fromLatin1(prefixes.at(static_cast<std::size_t>(type)));
}

TLinkLabel::TLinkLabel(QWidget* owner) : QLabel(owner) {
    // The design's "MS Sans Serif" is drawn in the windows' design face.
    QFont linkFont = designFont();
    linkFont.setUnderline(true);
    setFont(linkFont);
    QPalette linkPalette = palette();
    linkPalette.setColor(QPalette::WindowText, QColor(0, 0, 255));
    setPalette(linkPalette);
    setCursor(Qt::PointingHandCursor);
}

void TLinkLabel::setHyperLink(const QString& link) {
    m_hyperLink = link;
    if (text().isEmpty()) {
        setText(link);
    }
}

QString TLinkLabel::target() const {
    return linkPrefix(m_linkType) + m_hyperLink;
}

void TLinkLabel::setLinkOpener(std::function<void(const QString&)> open) {
    linkOpener() = std::move(open);
}

void TLinkLabel::mouseDoubleClickEvent(QMouseEvent* event) {
    // The press that began the double click opened the link already; Qt's default would hand
    // this one to mousePressEvent and open it again.
    if (event->button() == Qt::LeftButton) {
        event->accept();
        return;
    }
    QLabel::mouseDoubleClickEvent(event);
}

void TLinkLabel::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        QLabel::mousePressEvent(event);
        return;
    }
    event->accept();
    // The second press of a double click, which Qt delivers besides the double click itself.
    const quint64 interval = QGuiApplication::styleHints()->mouseDoubleClickInterval();
    if (m_lastOpened && event->timestamp() - *m_lastOpened < interval) {
        return;
    }
    m_lastOpened = event->timestamp();
    const QString link = target();
    if (linkOpener()) {
        linkOpener()(link);
    } else {
        // Whether a program took the link is not reported, as the desktop gives no answer
        // worth showing.
        QDesktopServices::openUrl(QUrl(link));
    }
}

}  // namespace mx
