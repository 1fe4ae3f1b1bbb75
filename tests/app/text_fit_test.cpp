#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QFontInfo>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QStyleOptionComboBox>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTime>

#include "app/main_window.h"
#include "core/activity_log.h"
#include "core/program_folder.h"
#include "help/help_bridge.h"
#include "i18n/language_manager.h"
#include "settings/ui/options_form.h"
#include "widgets/design_scale.h"
#include "widgets/image_button.h"

namespace mx {
namespace {

struct Cut {
    QString where;
    QString text;
    int needed;
    int room;
};

std::string describe(const std::vector<Cut>& cuts) {
    std::string out;
    for (const Cut& cut : cuts) {
        out += "\n  " + cut.where.toStdString() + " \"" + cut.text.toStdString() + "\" needs " +
               std::to_string(cut.needed) + " px, has " + std::to_string(cut.room);
    }
    return out;
}

QString nameOf(const QWidget* widget) {
    return widget->window()->objectName() + '.' + widget->objectName();
}

// The widget's area that its parent shows: a child reaching past its parent's edge is cut there.
int visibleRight(const QWidget* widget) {
    const QWidget* parent = widget->parentWidget();
    return parent ? std::min(widget->geometry().right(), parent->contentsRect().right())
                  : widget->geometry().right();
}

// Walks every text of a window and notes the ones that do not show whole: captions of buttons,
// check boxes and radio buttons (with their indicator), labels (up to the next control on their
// row and the edge of their group), group titles, list headers, texts of edits and cells.
std::vector<Cut> cutTexts(QWidget* window) {
    std::vector<Cut> cuts;
    auto note = [&](const QWidget* widget, const QString& text, int needed, int room) {
        if (widget->window() == window && needed > room) {
            cuts.push_back({nameOf(widget), text, needed, room});
        }
    };
    QStyle* style = window->style();
    for (QAbstractButton* button : window->findChildren<QAbstractButton*>()) {
        if (button->text().isEmpty() || button->isHidden() ||
            button->objectName().startsWith("qt_")) {
            continue;
        }
        const QFontMetrics metrics(button->font());
        const int text = metrics.horizontalAdvance(button->text());
        const int room = visibleRight(button) - button->x() + 1;
        if (auto* image = qobject_cast<ImageButton*>(button)) {
            const ImageButton::Caption caption = image->captionLayout();
            note(button, button->text(), caption.needed.width(), caption.room.width());
            note(button, button->text(), caption.needed.height(), caption.room.height());
            EXPECT_GE(QFontInfo(caption.font).pixelSize(), 8) << nameOf(button).toStdString();
        } else if (qobject_cast<QCheckBox*>(button)) {
            note(button, button->text(),
                 style->pixelMetric(QStyle::PM_IndicatorWidth, nullptr, button) +
                     style->pixelMetric(QStyle::PM_CheckBoxLabelSpacing, nullptr, button) + text,
                 room);
        } else if (qobject_cast<QRadioButton*>(button)) {
            note(button, button->text(),
                 style->pixelMetric(QStyle::PM_ExclusiveIndicatorWidth, nullptr, button) +
                     style->pixelMetric(QStyle::PM_RadioButtonLabelSpacing, nullptr, button) + text,
                 room);
        } else if (qobject_cast<QPushButton*>(button)) {
            note(button, button->text(),
                 text + 2 * style->pixelMetric(QStyle::PM_ButtonMargin, nullptr, button), room);
        }
    }
    for (QLabel* label : window->findChildren<QLabel*>()) {
        if (label->text().isEmpty() || label->isHidden() || !label->parentWidget() ||
            qobject_cast<QLineEdit*>(label->parentWidget())) {
            continue;
        }
        const int needed = QFontMetrics(label->font()).horizontalAdvance(label->text());
        // The room ends at the edge of the group or at the next control on the label's row.
        int right = label->parentWidget()->contentsRect().right();
        for (QWidget* sibling :
             label->parentWidget()->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
            const QRect other = sibling->geometry();
            if (sibling != label && !sibling->isHidden() && other.left() > label->x() &&
                other.top() < label->geometry().bottom() && other.bottom() > label->y()) {
                right = std::min(right, other.left() - 1);
            }
        }
        note(label, label->text(), needed, right - label->x() + 1);
    }
    for (QGroupBox* box : window->findChildren<QGroupBox*>()) {
        const int needed = QFontMetrics(box->font()).horizontalAdvance(box->title()) + 16;
        note(box, box->title(), needed, box->width());
    }
    for (QTableWidget* table : window->findChildren<QTableWidget*>()) {
        QHeaderView* header = table->horizontalHeader();
        const int margin = style->pixelMetric(QStyle::PM_HeaderMargin, nullptr, header);
        for (int column = 0; column < table->columnCount(); ++column) {
            const QString caption = table->horizontalHeaderItem(column)->text();
            note(table, caption,
                 QFontMetrics(header->font()).horizontalAdvance(caption) + 2 * margin,
                 header->sectionSize(column));
            const int cellMargin =
                style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, table) + 1;
            for (int row = 0; row < table->rowCount(); ++row) {
                if (const QTableWidgetItem* item = table->item(row, column);
                    item && column + 1 < table->columnCount()) {  // the last column is open
                    note(table, item->text(),
                         QFontMetrics(table->font()).horizontalAdvance(item->text()) +
                             2 * cellMargin,
                         table->columnWidth(column));
                }
            }
        }
    }
    for (QComboBox* combo : window->findChildren<QComboBox*>()) {
        QStyleOptionComboBox option;
        option.initFrom(combo);
        option.editable = combo->isEditable();
        const int room =
            style->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, combo)
                .width();
        for (int i = 0; i < combo->count(); ++i) {
            note(combo, combo->itemText(i),
                 QFontMetrics(combo->font()).horizontalAdvance(combo->itemText(i)) + 4, room);
        }
    }
    for (QLineEdit* edit : window->findChildren<QLineEdit*>()) {
        if (edit->isHidden() || edit->text().isEmpty() ||
            qobject_cast<QComboBox*>(edit->parentWidget())) {
            continue;
        }
        // Frame, text margins and the cursor's room.
        const int needed = QFontMetrics(edit->font()).horizontalAdvance(edit->text()) + 6;
        note(edit, edit->text(), needed, edit->width());
    }
    return cuts;
}

class TextFitTest : public ::testing::TestWithParam<int> {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_folder.isValid());
        setProgramFolderForTesting(m_folder.path());
        setHelpMessageFunction([](const QString&) {});
        for (const char* name : {"german.lng", "russian.lng"}) {
            ASSERT_TRUE(QFile::copy(QStringLiteral(MX_LANG_DIR "/") + name,
                                    m_folder.filePath(QString::fromLatin1(name))));
        }
        setDesignDpiForTesting(GetParam());
    }
    void TearDown() override {
        setDesignDpiForTesting(0);
        LangManager().SetCurrentLanguage(1033);
        setProgramFolderForTesting(QString());
        setHelpMessageFunction({});
    }

    QTemporaryDir m_folder;
    ExtractionOptions m_options;
};

TEST_P(TextFitTest, EveryTextOfBothWindowsShowsWholeInEveryShippedLanguage) {
    ASSERT_TRUE(registerDesignFace()) << "the windows are designed for Tahoma (fonts-wine)";
    for (const int language : {1033, 1031, 1049}) {
        TForm1 form(m_options, {});
        form.showError = [](const QString& text) { ADD_FAILURE() << text.toStdString(); };
        TOptionsForm dialog(m_options, &form);
        form.setOptionsForm(&dialog);
        form.FormActivate();
        LangManager().SetCurrentLanguage(static_cast<LangId>(language));
        ASSERT_EQ(LangManager().GetCurrentLanguage(), language);
        EXPECT_EQ(QFontInfo(form.font()).family(), "Tahoma");
        EXPECT_EQ(QFontInfo(dialog.font()).family(), "Tahoma");
        // Widest texts the log and the job list show: a 12-hour time with its marker, a long
        // date, a four-digit row number.
        const QLocale english(QLocale::English, QLocale::UnitedStates);
        form.activityLog().LogMessage(QStringLiteral("Start extract"));
        auto* log = form.findChild<QTableWidget*>("lvLog");
        log->item(0, 1)->setText(
            english.toString(QTime(12, 59, 59), ActivityLog::timeFormatWithoutZone(english)));
        log->item(0, 0)->setText(
            QLocale(QLocale::German).toString(QDate(2026, 12, 31), QLocale::ShortFormat));
        form.activityLog().LogMessage(QStringLiteral("Extract complete."));  // this locale's clock
        for (int i = 0; i < 1000; ++i) {
            form.jobList().add(QStringLiteral("/video/clip.avi"));
        }
        // The number fields are as narrow as designed: they show the design's values whole.
        m_options.setText(OptionField::FrameNumberEdit, QStringLiteral("11"));
        m_options.setText(OptionField::edtSecStart, QStringLiteral("100"));
        m_options.setText(OptionField::edtEverSec, QStringLiteral("5"));
        m_options.setJpgTrackBar(100);
        form.show();
        dialog.show();
        QCoreApplication::processEvents();
        const std::vector<Cut> main = cutTexts(&form);
        const std::vector<Cut> options = cutTexts(&dialog);
        EXPECT_TRUE(main.empty()) << "language " << language << " at " << GetParam()
                                  << " dpi:" << describe(main);
        EXPECT_TRUE(options.empty())
            << "language " << language << " at " << GetParam() << " dpi:" << describe(options);
        dialog.hide();
        form.hide();
    }
}

// The regional formats of the user's locale, read from the environment as the program reads
// them: the windows above in a process of their own under each locale.
TEST(LogClockColumns, ShowTheWholeDateAndTimeInJapaneseAndKoreanLocales) {
    for (const QString locale : {"ja_JP.UTF-8", "ko_KR.UTF-8"}) {
        QProcess child;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("LC_ALL", locale);
        child.setProcessEnvironment(environment);
        child.setProcessChannelMode(QProcess::MergedChannels);
        child.start(QCoreApplication::applicationFilePath(),
                    {"--gtest_filter=Resolutions/TextFitTest.*"});
        ASSERT_TRUE(child.waitForFinished(180000)) << locale.toStdString();
        EXPECT_EQ(child.exitCode(), 0) << locale.toStdString() << ":\n"
                                       << child.readAll().toStdString();
    }
}

INSTANTIATE_TEST_SUITE_P(Resolutions, TextFitTest, ::testing::Values(96, 106),
                         [](const auto& info) { return std::to_string(info.param) + "dpi"; });

}  // namespace
}  // namespace mx
