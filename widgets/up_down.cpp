#include "widgets/up_down.h"

#include <QEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>

#include "core/int_text.h"

namespace mx {

UpDown::UpDown(QLineEdit* buddy, int minimum, int maximum, int position, QWidget* parent)
    : QWidget(parent),
      m_buddy(buddy),
      m_up(new QToolButton(this)),
      m_down(new QToolButton(this)),
      m_minimum(minimum),
      m_maximum(maximum),
      m_position(std::clamp(position, minimum, maximum)) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    for (QToolButton* button : {m_up, m_down}) {
        button->setAutoRepeat(true);
        button->setFocusPolicy(Qt::NoFocus);
        button->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
        layout->addWidget(button);
    }
    m_up->setArrowType(Qt::UpArrow);
    m_down->setArrowType(Qt::DownArrow);
    connect(m_up, &QToolButton::clicked, this, [this] { step(+1); });
    connect(m_down, &QToolButton::clicked, this, [this] { step(-1); });
    if (m_buddy) {
        m_buddy->installEventFilter(this);
    }
}

void UpDown::setPosition(int position) {
    m_position = std::clamp(position, m_minimum, m_maximum);
}

void UpDown::step(int delta) {
    // The edit may have been typed into since the last step: continue from what it shows when
    // that is a number, from the control's own position otherwise.
    if (m_buddy) {
        if (auto typed = tryStrToInt(m_buddy->text())) {
            m_position = std::clamp(*typed, m_minimum, m_maximum);
        }
    }
    m_position = std::clamp(m_position + delta, m_minimum, m_maximum);
    if (m_buddy) {
        m_buddy->setText(QString::number(m_position));
    }
}

bool UpDown::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_buddy && event->type() == QEvent::KeyPress && isEnabled()) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Up || key == Qt::Key_Down) {
            step(key == Qt::Key_Up ? +1 : -1);
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

}  // namespace mx
