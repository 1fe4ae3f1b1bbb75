#include "help/form_about.h"

#include <QLabel>
#include <QPushButton>

#include "help/link_label.h"
#include "widgets/design_scale.h"

namespace mx {
namespace {

const QString kPublisher = QStringLiteral("Moxelby Software");

// The window's outer size is 321 x 171 at design resolution; its client area is what remains
// inside the frame and the title bar, with the controls' margins even on both sides.
constexpr int kClientWidth = 313;
constexpr int kClientHeight = 144;

// The design's "MS Sans Serif" is drawn in the windows' design face.
QFont sansSerif(int designPixels) {
    QFont font(designFamily());
    font.setPixelSize(scaled(designPixels));
    return font;
}

template <typename Label>
Label* addLabel(QWidget* parent, const char* name, const QString& text, QRect design) {
    auto* label = new Label(parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setText(text);
    placeAt(label, design.left(), design.top(), design.width(), design.height());
    // Captions size their labels, as the design's widths were measured on its own font.
    label->adjustSize();
    return label;
}

}  // namespace

TFormAbout::TFormAbout(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("FormAbout"));
    setWindowTitle(QStringLiteral("About"));
    setFont(sansSerif(12));
    setFixedSize(scaled(QSize(kClientWidth, kClientHeight)));
    // Modal to the main window only, so that a help window stays usable beside it.
    setWindowModality(Qt::WindowModal);

    m_btn1 = new QPushButton(QStringLiteral("OK"), this);
    m_btn1->setObjectName(QStringLiteral("btn1"));
    placeAt(m_btn1, 112, 104, 75, 25);
    m_btn1->setDefault(true);
    connect(m_btn1, &QPushButton::clicked, this, &QDialog::accept);

    m_lbl1 = addLabel<QLabel>(this, "lbl1", QStringLiteral("Moxelby Extractor Free 1.0"),
                              {16, 8, 281, 24});
    m_lbl1->setFont(sansSerif(18));
    m_lbl1->adjustSize();
    m_lbl2 =
        addLabel<QLabel>(this, "lbl2", kPublisher + QStringLiteral(" 2007"), {112, 32, 72, 13});
    m_lbl3 = addLabel<QLabel>(this, "lbl3", QStringLiteral("build 20070513"), {112, 48, 73, 13});

    m_lbllnkEmail = addLabel<TLinkLabel>(this, "lbllnkEmail", QStringLiteral("Support Email"),
                                         {112, 64, 65, 13});
    m_lbllnkEmail->setLinkType(TLinkType::ltmailto);
    m_lbllnkEmail->setHyperLink(QStringLiteral("support@moxelby.example"));

    m_lbllnkwww = addLabel<TLinkLabel>(this, "lbllnkwww", kPublisher + QStringLiteral(" Homepage"),
                                       {104, 80, 100, 13});
    m_lbllnkwww->setLinkType(TLinkType::lthttp);
    m_lbllnkwww->setHyperLink(QStringLiteral("www.moxelby.example"));

    m_btn1->setFocus();
}

void TFormAbout::showEvent(QShowEvent* event) {
    // In the centre of the desktop each time it opens.
    centreOnScreen(this);
    QDialog::showEvent(event);
}

}  // namespace mx
