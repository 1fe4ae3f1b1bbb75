#pragma once

#include <QLineEdit>
#include <QWidget>
#include <functional>

class QToolButton;

namespace mx {

// A line edit that ignores the clipboard commands (cut, copy, paste, undo) from keys, the
// context menu, middle-click selection paste and text drops. Typing is allowed.
class NoClipboardLineEdit : public QLineEdit {
    Q_OBJECT
public:
    explicit NoClipboardLineEdit(QWidget* parent = nullptr);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
};

// A folder field: the edit plus a browse button 26 pixels wide at its right end that opens the
// folder picker. The picker starts at the folder in the field; with an empty field at the
// folder last confirmed through the button, or at the root; a text naming no existing folder
// starts it at the root too. A confirmed folder replaces the text.
class FolderEdit : public QWidget {
    Q_OBJECT
    Q_PROPERTY(QString text READ text WRITE setText NOTIFY textChanged)
public:
    explicit FolderEdit(QWidget* parent = nullptr);

    QString text() const { return m_edit->text(); }
    void setText(const QString& text) { m_edit->setText(text); }
    NoClipboardLineEdit* lineEdit() const { return m_edit; }
    QToolButton* browseButton() const { return m_browse; }

    // The folder the picker opens at, by the rules above.
    QString pickerStartFolder() const;

    // Replaces the picker in tests: gets the start folder, returns the confirmed folder or an
    // empty text for a cancel.
    using Picker = std::function<QString(QWidget* parent, const QString& startFolder)>;
    void setPicker(Picker picker) { m_picker = std::move(picker); }

public slots:
    void browse();

signals:
    void textChanged(const QString& text);

private:
    NoClipboardLineEdit* m_edit;
    QToolButton* m_browse;
    QString m_lastConfirmed;
    Picker m_picker;
};

}  // namespace mx
