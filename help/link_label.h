#pragma once

#include <QLabel>
#include <QString>
#include <functional>
#include <optional>

namespace mx {

// Which scheme prefix a link label puts before its link.
enum class TLinkType {
    ltfile,
    ltftp,
    ltgopher,
    lthttp,
    lthttps,
    ltmailto,
    ltnews,
    lttelnet,
    ltwais
};

QString linkPrefix(TLinkType type);

// A label that opens its link when the left mouse button goes down on it: blue, underlined,
// with the hand cursor, and no hover effect.
class TLinkLabel : public QLabel {
    Q_OBJECT
public:
    explicit TLinkLabel(QWidget* owner = nullptr);

    TLinkType LinkType() const { return m_linkType; }
    void setLinkType(TLinkType type) { m_linkType = type; }
    const QString& HyperLink() const { return m_hyperLink; }
    // An empty caption takes the link text; a caption set before stays.
    void setHyperLink(const QString& link);

    // What a click opens: the prefix followed by the link, whatever the link begins with.
    QString target() const;

    // How a target is opened; by default through the desktop's URL handler. Tests collect the
    // targets instead. An empty function restores the default.
    static void setLinkOpener(std::function<void(const QString& target)> open);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    TLinkType m_linkType = TLinkType::lthttp;
    QString m_hyperLink;
    std::optional<quint64> m_lastOpened;  // the time stamp of the press that opened the link
};

}  // namespace mx
