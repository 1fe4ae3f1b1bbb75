#pragma once

#include <QByteArray>
#include <QString>
#include <vector>

namespace mx {

// One entry of a help file's contents (.hhc) or index (.hhk): the text shown and the topic
// it leads to, with the entries nested below it.
struct SitemapEntry {
    QString name;
    QString local;
    std::vector<SitemapEntry> children;
};

// Reads the nested lists of sitemap objects. The format is loose HTML, so the reader only
// follows <ul>, </ul>, <object type="text/sitemap"> and its <param> tags and ignores the rest;
// broken markup gives fewer entries, never an error.
std::vector<SitemapEntry> parseSitemap(const QByteArray& html);

}  // namespace mx
