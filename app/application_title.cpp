#include "app/application_title.h"

namespace mx {
namespace {

QString& title() {
    static QString text;
    return text;
}

}  // namespace

QString applicationTitle() {
    return title();
}
void setApplicationTitle(const QString& text) {
    title() = text;
}

}  // namespace mx
