#include "help/sitemap.h"

#include <QRegularExpression>
#include <QStringDecoder>
#include <optional>

namespace mx {
namespace {

QString attribute(const QString& tag, const QString& name) {
    const QRegularExpression pattern(
        QStringLiteral(R"re(\b%1\s*=\s*(?:"([^"]*)"|'([^']*)'|([^\s>]+)))re").arg(name),
        QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch match = pattern.match(tag);
    if (!match.hasMatch()) {
        return {};
    }
    for (int group = 1; group <= 3; ++group) {
        if (match.capturedStart(group) >= 0) {
            return match.captured(group);
        }
    }
    return {};
}

QString decodeEntities(QString text) {
    text.replace(QLatin1String("&lt;"), QLatin1String("<"));
    text.replace(QLatin1String("&gt;"), QLatin1String(">"));
    text.replace(QLatin1String("&quot;"), QLatin1String("\""));
    text.replace(QLatin1String("&#39;"), QLatin1String("'"));
    text.replace(QLatin1String("&amp;"), QLatin1String("&"));
    return text;
}

QString decode(const QByteArray& html) {
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8.decode(html);
    if (!utf8.hasError()) {
        return text;
    }
    // Older help compilers write the sitemaps in the 8-bit code page.
    return QString::fromLatin1(html);
}

}  // namespace

std::vector<SitemapEntry> parseSitemap(const QByteArray& html) {
    static const QRegularExpression tagPattern(QStringLiteral(R"(<\s*(/?)\s*(\w+)([^>]*)>)"));
    std::vector<SitemapEntry> top;
    // The lists being filled, innermost last; an entry's own list opens after the entry.
    std::vector<std::vector<SitemapEntry>*> lists;
    std::optional<SitemapEntry> pending;
    bool inSitemapObject = false;

    const QString text = decode(html);
    for (auto it = tagPattern.globalMatch(text); it.hasNext();) {
        const QRegularExpressionMatch tag = it.next();
        const bool closing = !tag.captured(1).isEmpty();
        const QString name = tag.captured(2).toLower();
        if (name == QLatin1String("ul")) {
            if (!closing) {
                std::vector<SitemapEntry>* parent = lists.empty() ? &top : lists.back();
                // A list right after an entry holds that entry's children.
                lists.push_back(lists.empty() || parent->empty() ? parent
                                                                 : &parent->back().children);
            } else if (!lists.empty()) {
                lists.pop_back();
            }
        } else if (name == QLatin1String("object")) {
            if (!closing) {
                inSitemapObject =
                    attribute(tag.captured(3), QStringLiteral("type"))
                        .compare(QLatin1String("text/sitemap"), Qt::CaseInsensitive) == 0;
                if (inSitemapObject) {
                    pending = SitemapEntry{};
                }
            } else {
                if (inSitemapObject && pending && !pending->name.isEmpty()) {
                    (lists.empty() ? top : *lists.back()).push_back(std::move(*pending));
                }
                pending.reset();
                inSitemapObject = false;
            }
        } else if (name == QLatin1String("param") && pending) {
            const QString paramName = attribute(tag.captured(3), QStringLiteral("name"));
            const QString value =
                decodeEntities(attribute(tag.captured(3), QStringLiteral("value")));
            if (paramName.compare(QLatin1String("Name"), Qt::CaseInsensitive) == 0 &&
                pending->name.isEmpty()) {
                pending->name = value;
            } else if (paramName.compare(QLatin1String("Local"), Qt::CaseInsensitive) == 0 &&
                       pending->local.isEmpty()) {
                pending->local = value;
            }
        }
    }
    return top;
}

}  // namespace mx
