#pragma once

#include <QDialog>
#include <functional>
#include <map>

#include "settings/extraction_options.h"

class QAbstractButton;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QRadioButton;
class QSlider;

namespace mx {

class FolderEdit;
class UpDown;

// The options dialog. Its controls are the live ExtractionOptions: an edit writes the record at
// once, and every write to the record (a load, a job list file) shows in the controls. Save
// closes with Accepted, Cancel and the window frame with Rejected; Enter and Esc do not close it.
class TOptionsForm : public QDialog {
    Q_OBJECT
public:
    explicit TOptionsForm(ExtractionOptions& options, QWidget* parent = nullptr);

    // The language list: names of the manager's languages, index 0 the built-in one.
    QComboBox* cbblang() const { return m_cbblang; }
    // The identifier chosen in the current visit (the combo box's tag).
    int cbblangTag() const { return m_cbblangTag; }
    void setCbblangTag(int tag) { m_cbblangTag = tag; }

    // How a choice in the language list is turned into a language and applied; set by the
    // main window, which owns the language manager. setCurrentLanguage reports a failure
    // (a language file that cannot be read) itself and returns false; the choice is then not
    // kept, so Save does not store a language that cannot be loaded.
    std::function<int(int index)> languageIdAt;
    std::function<bool(int id)> setCurrentLanguage;

    QLabel* JPGqualitylabel() const { return m_qualityLabel; }
    FolderEdit* pathEdit() const { return m_pathEdit; }
    UpDown* udFN() const { return m_udFN; }
    UpDown* udSS() const { return m_udSS; }
    UpDown* udES() const { return m_udES; }
    QLineEdit* lineEditFor(OptionField field) const;
    QAbstractButton* buttonFor(OptionField field) const;
    QSlider* jpgTrackBar() const { return m_trackBar; }
    QAbstractButton* saveButton() const;
    QAbstractButton* cancelButton() const;

    // Text of the quality label for a slider position.
    static QString qualityText(int position);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void cbblangChange();
    void cbblangTextChange();
    // The arrow keys move to the next or previous radio button of the group and select it.
    bool moveInRadioGroup(QRadioButton* from, int key);
    void showField(OptionField field);
    QGroupBox* group(const char* name, const QString& caption, int left, int top, int width,
                     int height);
    QRadioButton* radio(QWidget* parent, OptionField field, const QString& caption, int left,
                        int top, int width);
    QCheckBox* check(QWidget* parent, OptionField field, const QString& caption, int left, int top,
                     int width);
    QLineEdit* numberEdit(QWidget* parent, OptionField field, int left, int top, int width);
    QLabel* label(QWidget* parent, const char* name, const QString& caption, int left, int top);

    ExtractionOptions& m_options;
    std::map<OptionField, QAbstractButton*> m_buttons;
    std::map<OptionField, QLineEdit*> m_edits;
    QSlider* m_trackBar = nullptr;
    QLabel* m_qualityLabel = nullptr;
    FolderEdit* m_pathEdit = nullptr;
    UpDown* m_udFN = nullptr;
    UpDown* m_udSS = nullptr;
    UpDown* m_udES = nullptr;
    QComboBox* m_cbblang = nullptr;
    QAbstractButton* m_save = nullptr;
    QAbstractButton* m_cancel = nullptr;
    int m_cbblangTag = 0;
    // The list's index as of its last selection change, to tell the text change that follows
    // a pick from a typed one.
    int m_cbblangIndexSeen = -1;
    bool m_showing = false;
};

}  // namespace mx
