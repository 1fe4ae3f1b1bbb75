#include <QFontInfo>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "help/form_about.h"
#include "help_fixture.h"
#include "widgets/design_scale.h"

namespace mx::test {
namespace {

void press(QWidget* widget, Qt::MouseButton button) {
    const QPointF at(2, 2);
    QMouseEvent event(QEvent::MouseButtonPress, at, widget->mapToGlobal(at), button, button,
                      Qt::NoModifier);
    QApplication::sendEvent(widget, &event);
}

using LinkLabelTest = HelpTest;

TEST_F(LinkLabelTest, TargetIsPrefixAndLinkWhateverTheLinkHolds) {
    QWidget form;
    TLinkLabel label(&form);
    EXPECT_EQ(label.LinkType(), TLinkType::lthttp);
    const std::vector<std::pair<TLinkType, QString>> prefixes = {
        {TLinkType::ltfile, "file://"},     {TLinkType::ltftp, "ftp://"},
        {TLinkType::ltgopher, "gopher://"}, {TLinkType::lthttp, "http://"},
        {TLinkType::lthttps, "https://"},   {TLinkType::ltmailto, "mailto:"},
        {TLinkType::ltnews, "news:"},       {TLinkType::lttelnet, "telnet:"},
        {TLinkType::ltwais, "wais:"}};
    for (const auto& [type, prefix] : prefixes) {
        label.setLinkType(type);
        EXPECT_EQ(label.target(), prefix);
    }
    label.setLinkType(TLinkType::lthttp);
    label.setHyperLink(QStringLiteral("http://www.moxelby.example"));
    EXPECT_EQ(label.target(), QStringLiteral("http://http://www.moxelby.example"));

    // Only the left button opens the link.
    press(&label, Qt::RightButton);
    EXPECT_TRUE(opened.isEmpty());
    press(&label, Qt::LeftButton);
    EXPECT_EQ(opened, QStringList{"http://http://www.moxelby.example"});
}

TEST_F(LinkLabelTest, CaptionTakesTheLinkOnlyWhenEmpty) {
    TLinkLabel empty;
    EXPECT_TRUE(empty.text().isEmpty());
    empty.setHyperLink(QStringLiteral("www.moxelby.example"));
    EXPECT_EQ(empty.text(), QStringLiteral("www.moxelby.example"));
    empty.setHyperLink(QStringLiteral("other.example"));
    EXPECT_EQ(empty.text(), QStringLiteral("www.moxelby.example"));

    TLinkLabel captioned;
    captioned.setText(QStringLiteral("Support Email"));
    captioned.setHyperLink(QStringLiteral("support@moxelby.example"));
    EXPECT_EQ(captioned.text(), QStringLiteral("Support Email"));

    // Blue, underlined, with the hand cursor.
    EXPECT_TRUE(captioned.font().underline());
    EXPECT_EQ(captioned.palette().color(QPalette::WindowText), QColor(0, 0, 255));
    EXPECT_EQ(captioned.cursor().shape(), Qt::PointingHandCursor);
}

TEST_F(LinkLabelTest, AboutBoxShowsProductAndOpensItsLinks) {
    TFormAbout about;
    EXPECT_EQ(about.windowTitle(), QStringLiteral("About"));
    EXPECT_EQ(about.lbl1()->text(), QStringLiteral("Moxelby Extractor Free 1.0"));
    EXPECT_EQ(about.lbl2()->text(), QStringLiteral("Moxelby Software 2007"));
    EXPECT_EQ(about.lbl3()->text(), QStringLiteral("build 20070513"));
    EXPECT_EQ(about.lbllnkEmail()->text(), QStringLiteral("Support Email"));
    EXPECT_EQ(about.lbllnkwww()->text(), QStringLiteral("Moxelby Software Homepage"));
    EXPECT_EQ(about.btn1()->text(), QStringLiteral("OK"));
    EXPECT_GT(about.lbl1()->font().pixelSize(), about.lbl3()->font().pixelSize());

    press(about.lbllnkEmail(), Qt::LeftButton);
    // A double click, as the window system delivers it, opens the link once.
    about.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&about));
    QTest::mouseDClick(about.windowHandle(), Qt::LeftButton, Qt::NoModifier,
                       about.lbllnkwww()->geometry().center());
    EXPECT_EQ(opened,
              (QStringList{"mailto:support@moxelby.example", "http://www.moxelby.example"}));
    // The links are drawn in the windows' design face, as the other labels are.
    EXPECT_EQ(QFontInfo(about.lbllnkwww()->font()).family(), designFamily());
    EXPECT_EQ(QFontInfo(about.lbllnkEmail()->font()).family(),
              QFontInfo(about.lbl3()->font()).family());
}

TEST_F(LinkLabelTest, OkClosesTheAboutBoxEveryTime) {
    TFormAbout about;
    for (int round = 0; round < 3; ++round) {
        QTimer::singleShot(0, about.btn1(), &QPushButton::click);
        EXPECT_EQ(about.exec(), QDialog::Accepted);
        EXPECT_FALSE(about.isVisible());
    }
}

}  // namespace
}  // namespace mx::test
