#pragma once

#include <QWidget>

class QLineEdit;
class QToolButton;

namespace mx {

// A spin control attached to a line edit: the arrows (and the Up/Down keys in the edit) step the
// number shown in the edit by one within [minimum, maximum] and write it back as plain decimal
// digits. The edit itself accepts any text; only what the arrows produce is bounded.
class UpDown : public QWidget {
    Q_OBJECT
public:
    UpDown(QLineEdit* buddy, int minimum, int maximum, int position, QWidget* parent = nullptr);

    int position() const { return m_position; }
    int minimum() const { return m_minimum; }
    int maximum() const { return m_maximum; }
    void setPosition(int position);

    void stepUp() { step(+1); }
    void stepDown() { step(-1); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void step(int delta);

    QLineEdit* m_buddy;
    QToolButton* m_up;
    QToolButton* m_down;
    int m_minimum;
    int m_maximum;
    int m_position;
};

}  // namespace mx
