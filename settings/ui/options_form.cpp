#include "settings/ui/options_form.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QSlider>
#include <algorithm>

#include "i18n/form_table.h"
#include "i18n/widgets/qt_language_controller.h"
#include "widgets/design_scale.h"
#include "widgets/folder_edit.h"
#include "widgets/up_down.h"

namespace mx {
namespace {

const char kWebAddress[] = "www.moxelby.example";

}  // namespace

TOptionsForm::TOptionsForm(ExtractionOptions& options, QWidget* parent)
    : QDialog(parent), m_options(options) {
    setObjectName(QStringLiteral("OptionsForm"));
    setWindowTitle(QStringLiteral("Options"));
    setProperty("HelpKeyword", QStringLiteral("setup"));
    setProperty("HelpContext", 1);
    setFixedSize(scaled(QSize(525, 405)));
    // Modal to the main window only, so that a help window opened from here stays usable.
    setWindowModality(Qt::WindowModal);
    setFont(designFont());

    QGroupBox* format = group("GroupBox6", QStringLiteral("Picture Format"), 8, 0, 329, 97);
    radio(format, OptionField::BMPBtn, QStringLiteral("BMPBtn"), 8, 16, 120);
    radio(format, OptionField::JPGBtn, QStringLiteral("JPGBtn"), 168, 16, 120);
    m_qualityLabel = label(format, "JPGqualitylabel", QStringLiteral("JPG quality"), 104, 32);
    m_trackBar = new QSlider(Qt::Horizontal, format);
    m_trackBar->setObjectName(QStringLiteral("jpgTrackBar"));
    m_trackBar->setRange(0, 100);
    m_trackBar->setTickPosition(QSlider::TicksBelow);
    m_trackBar->setTickInterval(10);
    placeAt(m_trackBar, 8, 48, 297, 33);

    QGroupBox* method = group("GroupBox3", QStringLiteral("Frame method"), 8, 104, 329, 97);
    radio(method, OptionField::rbFrameFile, QStringLiteral("Frame-File"), 8, 16, 130);
    radio(method, OptionField::rbMatrix, QStringLiteral("Matrix"), 152, 16, 130);
    label(method, "Label1", QStringLiteral("Frame Number"), 8, 35);
    QLineEdit* frames = numberEdit(method, OptionField::FrameNumberEdit, 91, 32, 22);
    m_udFN = new UpDown(frames, 0, 1000, 11, method);
    m_udFN->setObjectName(QStringLiteral("udFN"));
    placeAt(m_udFN, 113, 32, 15, 21);
    auto fixedEdit = [&](const char* name, const QString& text, int left, int top, int width) {
        auto* edit = new QLineEdit(text, method);
        edit->setObjectName(QString::fromLatin1(name));
        edit->setEnabled(false);
        placeAt(edit, left, top, width, 21);
        return edit;
    };
    auto* matrixCol = fixedEdit("_edtMatrixCol", QStringLiteral("3"), 152, 32, 24);
    auto* udMC = new UpDown(matrixCol, 0, 100, 3, method);
    udMC->setObjectName(QStringLiteral("_udMC"));
    udMC->setEnabled(false);
    placeAt(udMC, 176, 32, 15, 21);
    label(method, "lbl1", QStringLiteral("x"), 192, 32);
    auto* matrixRow = fixedEdit("_edtMatrixRow", QStringLiteral("3"), 200, 32, 24);
    auto* udMR = new UpDown(matrixRow, 0, 100, 3, method);
    udMR->setObjectName(QStringLiteral("_udMR"));
    udMR->setEnabled(false);
    placeAt(udMR, 224, 32, 15, 21);
    radio(method, OptionField::rbEverSec, QStringLiteral("Start at"), 8, 64, 78);
    QLineEdit* secStart = numberEdit(method, OptionField::edtSecStart, 88, 64, 41);
    m_udSS = new UpDown(secStart, 0, 10000, 1, method);
    m_udSS->setObjectName(QStringLiteral("udSS"));
    placeAt(m_udSS, 129, 64, 15, 21);
    label(method, "lbl3", QStringLiteral("sec"), 144, 64);
    label(method, "lbl2", QStringLiteral("extract every"), 184, 64);
    QLineEdit* everSec = numberEdit(method, OptionField::edtEverSec, 256, 64, 24);
    m_udES = new UpDown(everSec, 0, 10000, 5, method);
    m_udES->setObjectName(QStringLiteral("udES"));
    placeAt(m_udES, 280, 64, 15, 21);
    label(method, "Label2", QStringLiteral("sec"), 296, 64);

    QGroupBox* size = group("GroupBox2", QStringLiteral("Size"), 8, 208, 185, 81);
    radio(size, OptionField::rbAutoWidth, QStringLiteral("Auto Width"), 8, 16, 160);
    auto* rbWidth = new QRadioButton(QStringLiteral("Width"), size);
    rbWidth->setObjectName(QStringLiteral("_rbWidth"));
    rbWidth->setAutoExclusive(false);
    rbWidth->setEnabled(false);
    placeAt(rbWidth, 8, 40, 64, 17);
    auto* customW = new QLineEdit(QStringLiteral("640"), size);
    customW->setObjectName(QStringLiteral("_customW"));
    customW->setEnabled(false);
    placeAt(customW, 72, 40, 40, 21);
    auto* udSW = new UpDown(customW, 0, 2500, 640, size);
    udSW->setObjectName(QStringLiteral("udSW"));
    udSW->setEnabled(false);
    placeAt(udSW, 112, 40, 15, 21);
    // Stored and restored with the other settings, but placed outside the group's visible area.
    QLineEdit* customH = numberEdit(size, OptionField::CustomH, 216, 36, 40);
    customH->setVisible(false);

    QGroupBox* names = group("grp1", QStringLiteral("File name options"), 200, 208, 137, 81);
    // Check boxes and radio buttons reach to the inner edge of their group, so that a longer
    // translation still shows whole.
    check(names, OptionField::chkSec, QStringLiteral("Add sec"), 8, 16, 126);
    check(names, OptionField::chkAddNumber, QStringLiteral("Add Number"), 8, 40, 126);

    QGroupBox* path = group("GroupBox1", QStringLiteral("save path"), 8, 288, 513, 73);
    check(path, OptionField::chkFolder, QStringLiteral("into File source folder"), 8, 16, 300);
    m_pathEdit = new FolderEdit(path);
    m_pathEdit->setObjectName(QStringLiteral("pathEdit"));
    placeAt(m_pathEdit, 8, 36, 417, 21);
    connect(m_pathEdit, &FolderEdit::textChanged, this,
            [this](const QString& text) { m_options.setText(OptionField::pathEdit, text); });

    QGroupBox* log = group("GroupBox5", QStringLiteral("Log File"), 344, 0, 177, 41);
    auto* btnlog = new QCheckBox(QStringLiteral("Create log file"), log);
    btnlog->setObjectName(QStringLiteral("_btnlog"));
    btnlog->setEnabled(false);
    placeAt(btnlog, 8, 16, 160, 17);

    QGroupBox* extract = group("GroupBox4", QStringLiteral("Extract method"), 344, 48, 177, 73);
    radio(extract, OptionField::rbProport, QStringLiteral("Proportional"), 8, 16, 160);
    radio(extract, OptionField::rbRandom, QStringLiteral("Random"), 8, 32, 160);

    QGroupBox* text = group("grp2", QStringLiteral("Textout on frame"), 344, 128, 177, 105);
    check(text, OptionField::chktime, QStringLiteral("Out time"), 8, 16, 160);
    check(text, OptionField::chkFilename, QStringLiteral("Out Filename"), 8, 40, 160);
    label(text, "lbl4", QStringLiteral("My Text"), 64, 64);
    auto* myText = new QLineEdit(QString::fromLatin1(kWebAddress), text);
    myText->setObjectName(QStringLiteral("_edtmytext"));
    myText->setEnabled(false);
    placeAt(myText, 8, 80, 161, 21);

    QGroupBox* language = group("grp3", QStringLiteral("Language"), 344, 232, 177, 57);
    m_cbblang = new QComboBox(language);
    m_cbblang->setObjectName(QStringLiteral("cbblang"));
    m_cbblang->setEditable(true);
    m_cbblang->setInsertPolicy(QComboBox::NoInsert);
    placeAt(m_cbblang, 10, 26, 160, 21);
    // A pick changes the text and then the index: one change, handled once.
    connect(m_cbblang, &QComboBox::currentIndexChanged, this, [this] { cbblangChange(); });
    connect(m_cbblang, &QComboBox::editTextChanged, this, [this] { cbblangTextChange(); });

    auto* save = new QPushButton(QStringLiteral("Save"), this);
    save->setObjectName(QStringLiteral("Button1"));
    placeAt(save, 8, 368, 75, 25);
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
    cancel->setObjectName(QStringLiteral("Button2"));
    placeAt(cancel, 88, 368, 75, 25);
    for (QPushButton* button : {save, cancel}) {
        button->setAutoDefault(false);
        button->setDefault(false);
    }
    m_save = save;
    m_cancel = cancel;
    connect(save, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);

    connect(m_trackBar, &QSlider::valueChanged, this, [this](int value) {
        m_options.setJpgTrackBar(value);
        m_qualityLabel->setText(qualityText(value));
        m_qualityLabel->adjustSize();
    });
    // Translated into the current language as it is created. The built-in texts are the
    // design's, recorded before the record's values are shown (the quality label's caption
    // would otherwise be recorded with a number in it).
    auto* translator = new QtLanguageController(this);
    // Labels sit where the design puts them and take the width of their text in any language.
    connect(translator, &QtLanguageController::languageChanged, this, [this] {
        for (QLabel* label : findChildren<QLabel*>()) {
            label->adjustSize();
        }
    });
    {
        const QSignalBlocker blocker(m_pathEdit);  // the design text is not a setting
        m_pathEdit->setText(QStringLiteral("e:\\tempvideo\\images"));
    }
    translator->load(formLangData(QStringLiteral("OptionsForm")));

    connect(&m_options, &ExtractionOptions::changed, this, &TOptionsForm::showField);
    for (OptionField field : kStoredOptionFields) {
        showField(field);
    }
}

QGroupBox* TOptionsForm::group(const char* name, const QString& caption, int left, int top,
                               int width, int height) {
    auto* box = new QGroupBox(caption, this);
    box->setObjectName(QString::fromLatin1(name));
    placeAt(box, left, top, width, height);
    return box;
}

QRadioButton* TOptionsForm::radio(QWidget* parent, OptionField field, const QString& caption,
                                  int left, int top, int width) {
    auto* button = new QRadioButton(caption, parent);
    button->setObjectName(optionFieldName(field));
    // The record keeps the group rule; Qt's own exclusivity would forbid a group with no member
    // set, which a load can produce.
    button->setAutoExclusive(false);
    button->installEventFilter(this);
    placeAt(button, left, top, width, 17);
    connect(button, &QRadioButton::clicked, this, [this, field] {
        m_options.setFlag(field, true);
        showField(field);  // a click on the checked button leaves it checked
    });
    m_buttons[field] = button;
    return button;
}

QCheckBox* TOptionsForm::check(QWidget* parent, OptionField field, const QString& caption, int left,
                               int top, int width) {
    auto* box = new QCheckBox(caption, parent);
    box->setObjectName(optionFieldName(field));
    placeAt(box, left, top, width, 17);
    connect(box, &QCheckBox::toggled, this,
            [this, field](bool checked) { m_options.setFlag(field, checked); });
    m_buttons[field] = box;
    return box;
}

QLineEdit* TOptionsForm::numberEdit(QWidget* parent, OptionField field, int left, int top,
                                    int width) {
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(optionFieldName(field));
    placeAt(edit, left, top, width, 21);
    connect(edit, &QLineEdit::textChanged, this,
            [this, field](const QString& text) { m_options.setText(field, text); });
    m_edits[field] = edit;
    return edit;
}

QLabel* TOptionsForm::label(QWidget* parent, const char* name, const QString& caption, int left,
                            int top) {
    auto* text = new QLabel(caption, parent);
    text->setObjectName(QString::fromLatin1(name));
    text->move(scaled(left), scaled(top));
    text->adjustSize();
    return text;
}

void TOptionsForm::showField(OptionField field) {
    if (auto it = m_buttons.find(field); it != m_buttons.end()) {
        const bool value = m_options.flag(field);
        if (it->second->isChecked() != value) {
            it->second->setChecked(value);
        }
        if (field == OptionField::chkFolder) {
            m_pathEdit->setEnabled(!value);
        }
        return;
    }
    if (auto it = m_edits.find(field); it != m_edits.end()) {
        const QString value = m_options.text(field);
        if (it->second->text() != value) {
            it->second->setText(value);
        }
        return;
    }
    if (field == OptionField::pathEdit && m_pathEdit->text() != m_options.pathEdit()) {
        m_pathEdit->setText(m_options.pathEdit());
    } else if (field == OptionField::jpgTrackBar) {
        m_trackBar->setValue(m_options.jpgTrackBar());
        m_qualityLabel->setText(qualityText(m_options.jpgTrackBar()));
        m_qualityLabel->adjustSize();
    }
}

QLineEdit* TOptionsForm::lineEditFor(OptionField field) const {
    auto it = m_edits.find(field);
    return it == m_edits.end() ? nullptr : it->second;
}

QAbstractButton* TOptionsForm::buttonFor(OptionField field) const {
    auto it = m_buttons.find(field);
    return it == m_buttons.end() ? nullptr : it->second;
}

QAbstractButton* TOptionsForm::saveButton() const {
    return m_save;
}
QAbstractButton* TOptionsForm::cancelButton() const {
    return m_cancel;
}

QString TOptionsForm::qualityText(int position) {
    return QStringLiteral("JPG quality ") + QString::number(position);
}

void TOptionsForm::showEvent(QShowEvent* event) {
    m_qualityLabel->setText(qualityText(m_trackBar->value()));
    m_qualityLabel->adjustSize();
    QDialog::showEvent(event);
}

bool TOptionsForm::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress) {
        if (auto* radio = qobject_cast<QRadioButton*>(watched)) {
            const int key = static_cast<QKeyEvent*>(event)->key();
            if (key == Qt::Key_Up || key == Qt::Key_Down || key == Qt::Key_Left ||
                key == Qt::Key_Right) {
                return moveInRadioGroup(radio, key);
            }
        }
    }
    return QDialog::eventFilter(watched, event);
}

bool TOptionsForm::moveInRadioGroup(QRadioButton* from, int key) {
    // The group's usable buttons in reading order; the fixed ones are skipped.
    QList<QRadioButton*> group;
    for (QRadioButton* button :
         from->parentWidget()->findChildren<QRadioButton*>(QString(), Qt::FindDirectChildrenOnly)) {
        if (button == from || (button->isEnabled() && !button->isHidden())) {
            group << button;
        }
    }
    std::sort(group.begin(), group.end(), [](const QRadioButton* a, const QRadioButton* b) {
        return std::pair(a->y(), a->x()) < std::pair(b->y(), b->x());
    });
    if (group.size() < 2) {
        return true;
    }
    const qsizetype at = group.indexOf(from);
    const bool forward = key == Qt::Key_Down || key == Qt::Key_Right;
    QRadioButton* next = group[(at + (forward ? 1 : group.size() - 1)) % group.size()];
    next->setFocus(Qt::TabFocusReason);
    next->click();
    return true;
}

void TOptionsForm::keyPressEvent(QKeyEvent* event) {
    // Neither button is the keyboard's default or cancel button.
    if (event->key() == Qt::Key_Escape || event->key() == Qt::Key_Return ||
        event->key() == Qt::Key_Enter) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void TOptionsForm::cbblangTextChange() {
    const int index = m_cbblang->currentIndex();
    if (index != m_cbblangIndexSeen && m_cbblang->currentText() == m_cbblang->itemText(index)) {
        return;  // the line edit following a pick; the index change comes next
    }
    cbblangChange();
}

void TOptionsForm::cbblangChange() {
    m_cbblangIndexSeen = m_cbblang->currentIndex();
    int index = m_cbblang->currentIndex();
    // Free text typed into the box selects nothing: the built-in language.
    if (m_cbblang->currentText() != m_cbblang->itemText(index)) {
        index = -1;
    }
    if (index < 0) {
        index = 0;
    }
    if (!languageIdAt) {
        return;
    }
    const int id = languageIdAt(index);
    if (setCurrentLanguage && !setCurrentLanguage(id)) {
        return;  // the switch failed: the rest of the handler is skipped
    }
    m_cbblangTag = id;
}

}  // namespace mx
