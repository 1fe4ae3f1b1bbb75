#include "widgets/image_button.h"

#include <QFontInfo>
#include <QFontMetrics>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QStyleOptionToolButton>
#include <QStylePainter>
#include <cmath>

namespace mx {

ImageButton::ImageButton(QWidget* parent) : QToolButton(parent) {
    setAutoRaise(true);  // flat until hovered
    setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    setIconSize(QSize(32, 32));
    setFocusPolicy(Qt::TabFocus);
}

ImageButton::Caption ImageButton::captionLayout() const {
    constexpr int kMargin = 2;
    constexpr int kSmallestPixels = 8;
    QFont font = this->font();
    const int designPixels = font.pixelSize() > 0 ? font.pixelSize() : QFontInfo(font).pixelSize();
    const int flags = Qt::AlignHCenter | Qt::AlignBottom | Qt::TextWordWrap;
    Caption caption;
    // Largest image first, then the largest font whose lines fit under it.
    for (const int side : {32, 24, 20}) {
        const QRect room(kMargin, kMargin + side + 1, width() - 2 * kMargin,
                         height() - side - 1 - 2 * kMargin);
        for (int pixels = designPixels; pixels >= kSmallestPixels; --pixels) {
            font.setPixelSize(pixels);
            const QSize needed = QFontMetrics(font).boundingRect(room, flags, text()).size();
            caption = {font, side, room, room.size(), needed};
            if (needed.width() <= room.width() && needed.height() <= room.height()) {
                return caption;
            }
            // A smaller font is tried under this image only while the caption is one line.
            if (side == 32 && pixels <= designPixels - 1) {
                break;
            }
        }
    }
    return caption;
}

void ImageButton::paintEvent(QPaintEvent*) {
    QStylePainter painter(this);
    QStyleOptionToolButton option;
    initStyleOption(&option);
    const Caption caption = captionLayout();
    // The style draws the flat panel (raised while hovered, sunken while pressed); the image and
    // the caption are placed here.
    option.text.clear();
    option.icon = QIcon();
    painter.drawComplexControl(QStyle::CC_ToolButton, option);
    const QIcon::Mode mode = isEnabled() ? QIcon::Normal : QIcon::Disabled;
    const QPixmap image = icon().pixmap(QSize(caption.imageSide, caption.imageSide), mode);
    const int left = (width() - caption.imageSide) / 2;
    painter.drawPixmap(QRect(left, caption.rect.top() - caption.imageSide - 1, caption.imageSide,
                             caption.imageSide),
                       image);
    painter.setFont(caption.font);
    painter.setPen(
        palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::ButtonText));
    painter.drawText(caption.rect, Qt::AlignHCenter | Qt::AlignBottom | Qt::TextWordWrap, text());
}

namespace {

const QColor kInk(0x2b, 0x3a, 0x4a);
const QColor kPaper(0xf4, 0xf6, 0xf8);
const QColor kAccent(0x2f, 0x80, 0xd1);
const QColor kGreen(0x2e, 0x9e, 0x5b);
const QColor kAmber(0xe0, 0xa1, 0x2b);
const QColor kRed(0xd0, 0x43, 0x3b);

void drawDocument(QPainter& p, const QRectF& r) {
    QPainterPath page;
    page.moveTo(r.left(), r.top());
    page.lineTo(r.right() - 6, r.top());
    page.lineTo(r.right(), r.top() + 6);
    page.lineTo(r.right(), r.bottom());
    page.lineTo(r.left(), r.bottom());
    page.closeSubpath();
    p.setBrush(kPaper);
    p.drawPath(page);
}

void drawFolder(QPainter& p, const QRectF& r) {
    QPainterPath folder;
    folder.moveTo(r.left(), r.top() + 3);
    folder.lineTo(r.left() + 9, r.top() + 3);
    folder.lineTo(r.left() + 12, r.top() + 6);
    folder.lineTo(r.right(), r.top() + 6);
    folder.lineTo(r.right(), r.bottom());
    folder.lineTo(r.left(), r.bottom());
    folder.closeSubpath();
    p.setBrush(kAmber);
    p.drawPath(folder);
}

void drawFilmStrip(QPainter& p, const QRectF& r) {
    p.setBrush(kInk);
    p.drawRoundedRect(r, 2, 2);
    p.setBrush(kPaper);
    for (double x = r.left() + 2; x < r.right() - 2; x += 5) {
        p.drawRect(QRectF(x, r.top() + 1.5, 2.5, 2.5));
        p.drawRect(QRectF(x, r.bottom() - 4, 2.5, 2.5));
    }
    p.setBrush(kAccent);
    p.drawRect(QRectF(r.left() + 3, r.top() + 5.5, r.width() - 6, r.height() - 11));
}

void drawBadge(QPainter& p, const QColor& colour, const QPointF& centre, bool plus) {
    p.setBrush(colour);
    p.drawEllipse(centre, 7, 7);
    p.setPen(QPen(Qt::white, 2.2, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(centre + QPointF(-3.5, 0), centre + QPointF(3.5, 0));
    if (plus) {
        p.drawLine(centre + QPointF(0, -3.5), centre + QPointF(0, 3.5));
    }
    p.setPen(QPen(kInk, 1.4));
}

void drawArrow(QPainter& p, const QPointF& from, const QPointF& to, const QColor& colour) {
    p.setPen(QPen(colour, 3, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawLine(from, to);
    const QPointF d = to - from;
    const QPointF n(-d.y(), d.x());
    const double len = std::hypot(d.x(), d.y());
    const QPointF u = d / len;
    const QPointF v = n / len;
    p.drawLine(to, to - u * 5 + v * 5);
    p.drawLine(to, to - u * 5 - v * 5);
    p.setPen(QPen(kInk, 1.4));
}

QPixmap draw(ButtonImage image) {
    QPixmap pixmap(32, 32);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(kInk, 1.4));
    switch (image) {
        case ButtonImage::Exit:
            p.setBrush(kPaper);
            p.drawRect(QRectF(5, 4, 14, 24));
            drawArrow(p, QPointF(13, 16), QPointF(28, 16), kRed);
            break;
        case ButtonImage::AddFile:
            drawFilmStrip(p, QRectF(3, 6, 22, 20));
            drawBadge(p, kGreen, QPointF(24, 24), true);
            break;
        case ButtonImage::AddFolder:
            drawFolder(p, QRectF(2, 5, 24, 20));
            drawBadge(p, kGreen, QPointF(24, 24), true);
            break;
        case ButtonImage::Settings: {
            p.setBrush(QColor(0x8a, 0x97, 0xa6));
            QPainterPath gear;
            for (int i = 0; i < 8; ++i) {
                QTransform t;
                t.translate(16, 16);
                t.rotate(i * 45);
                gear.addPolygon(t.map(QPolygonF(QRectF(-3, -14, 6, 6))));
            }
            gear.addEllipse(QPointF(16, 16), 10, 10);
            p.drawPath(gear.simplified());
            p.setBrush(kPaper);
            p.drawEllipse(QPointF(16, 16), 4, 4);
            break;
        }
        case ButtonImage::SaveList:
            drawDocument(p, QRectF(5, 3, 18, 24));
            for (int y = 9; y <= 19; y += 5) {
                p.drawLine(QPointF(9, y), QPointF(19, y));
            }
            drawArrow(p, QPointF(26, 12), QPointF(26, 29), kAccent);
            break;
        case ButtonImage::OpenList:
            drawFolder(p, QRectF(2, 9, 26, 19));
            drawDocument(p, QRectF(9, 3, 14, 17));
            break;
        case ButtonImage::StartExtract:
            drawFilmStrip(p, QRectF(2, 6, 20, 20));
            p.setBrush(kGreen);
            p.drawPolygon(QPolygonF({QPointF(17, 10), QPointF(30, 16), QPointF(17, 22)}));
            break;
        case ButtonImage::Help:
            p.setBrush(kAccent);
            p.drawEllipse(QPointF(16, 16), 13, 13);
            p.setPen(Qt::white);
            p.setFont(QFont(QStringLiteral("Sans Serif"), 15, QFont::Bold));
            p.drawText(QRectF(3, 3, 26, 26), Qt::AlignCenter, QStringLiteral("?"));
            break;
        case ButtonImage::About:
            p.setBrush(kPaper);
            p.drawEllipse(QPointF(16, 16), 13, 13);
            p.setPen(kAccent);
            p.setFont(QFont(QStringLiteral("Serif"), 16, QFont::Bold));
            p.drawText(QRectF(3, 3, 26, 26), Qt::AlignCenter, QStringLiteral("i"));
            break;
    }
    return pixmap;
}

}  // namespace

QIcon buttonImage(ButtonImage image) {
    return QIcon(draw(image));
}

QIcon applicationIcon() {
    return QIcon(draw(ButtonImage::StartExtract));
}

}  // namespace mx
