#pragma once

#include <QDialog>

class QLabel;
class QPushButton;

namespace mx {

class TLinkLabel;

// The about box: product, publisher and build lines with links to support and the homepage.
// It is never translated. OK closes it with Accepted.
class TFormAbout : public QDialog {
    Q_OBJECT
public:
    explicit TFormAbout(QWidget* parent = nullptr);

    QLabel* lbl1() const { return m_lbl1; }
    QLabel* lbl2() const { return m_lbl2; }
    QLabel* lbl3() const { return m_lbl3; }
    TLinkLabel* lbllnkEmail() const { return m_lbllnkEmail; }
    TLinkLabel* lbllnkwww() const { return m_lbllnkwww; }
    QPushButton* btn1() const { return m_btn1; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    QLabel* m_lbl1 = nullptr;
    QLabel* m_lbl2 = nullptr;
    QLabel* m_lbl3 = nullptr;
    TLinkLabel* m_lbllnkEmail = nullptr;
    TLinkLabel* m_lbllnkwww = nullptr;
    QPushButton* m_btn1 = nullptr;
};

}  // namespace mx
