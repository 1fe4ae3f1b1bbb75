#include "help/sitemap.h"

#include <QRegularExpression>
#include <QStringDecoder>
#include <optional>

namespace mx {
namespace {

// The value of one attribute of a tag's text, quoted or not.
const QRegularExpression& attributePattern(const QString& name) {
    static const auto make = [](const char* attribute) {
        return QRegularExpression(
            QStringLiteral(R"re(\b%1\s*=\s*(?:"([^"]*)"|'([^']*)'|([^\s>]+)))re")
                .arg(QLatin1String(attribute)),
            QRegularExpression::CaseInsensitiveOption);
    };
    static const QRegularExpression type = make("type");
    static const QRegularExpression paramName = make("name");
    static const QRegularExpression value = make("value");
    return name == QLatin1String("type") ? type : name == QLatin1String("name") ? paramName : value;
}

QString attribute(QStringView tag, const QString& name) {
    const QRegularExpressionMatch match = attributePattern(name).match(tag);
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

struct Tag {
    bool closing = false;
    QString name;      // lower case
    QStringView rest;  // the attributes
};

// The next tag at or after `from`: "<", blanks, an optional "/", blanks, a name of letters,
// digits or "_", and anything up to the next ">". A "<" that starts no tag is passed over.
// Once no ">" follows, no tag can, so the search ends there instead of rescanning the rest
// of the text from every later "<".
std::optional<Tag> nextTag(QStringView text, qsizetype& from) {
    const auto isWordChar = [](QChar c) { return c.isLetterOrNumber() || c == u'_'; };
    for (;;) {
        const qsizetype open = text.indexOf(u'<', from);
        if (open < 0) {
            from = text.size();
            return std::nullopt;
        }
        const qsizetype close = text.indexOf(u'>', open + 1);
        if (close < 0) {
            from = text.size();
            return std::nullopt;
        }
        qsizetype i = open + 1;
        while (i < close && text[i].isSpace()) {
            ++i;
        }
        Tag tag;
        if (i < close && text[i] == u'/') {
            tag.closing = true;
            ++i;
            while (i < close && text[i].isSpace()) {
                ++i;
            }
        }
        const qsizetype nameStart = i;
        while (i < close && isWordChar(text[i])) {
            ++i;
        }
        if (i == nameStart) {
            from = open + 1;
            continue;
        }
        tag.name = text.sliced(nameStart, i - nameStart).toString().toLower();
        tag.rest = text.sliced(i, close - i);
        from = close + 1;
        return tag;
    }
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
    std::vector<SitemapEntry> top;
    // The lists being filled, innermost last; an entry's own list opens after the entry.
    std::vector<std::vector<SitemapEntry>*> lists;
    std::optional<SitemapEntry> pending;
    bool inSitemapObject = false;

    const QString text = decode(html);
    qsizetype from = 0;
    while (const std::optional<Tag> tag = nextTag(text, from)) {
        const bool closing = tag->closing;
        const QString& name = tag->name;
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
                    attribute(tag->rest, QStringLiteral("type"))
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
            const QString paramName = attribute(tag->rest, QStringLiteral("name"));
            const QString value = decodeEntities(attribute(tag->rest, QStringLiteral("value")));
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
