#pragma once

#include <QIcon>
#include <QToolButton>

namespace mx {

// A flat button showing a 32 x 32 image above its caption, the caption at the bottom.
class ImageButton : public QToolButton {
    Q_OBJECT
public:
    explicit ImageButton(QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;
};

// The main window's image list: nine 32 x 32 images, drawn in one consistent style.
enum class ButtonImage {
    Exit = 0,
    AddFile = 1,
    AddFolder = 2,
    Settings = 3,
    SaveList = 4,
    OpenList = 5,
    StartExtract = 6,
    Help = 7,
    About = 8,
};
QIcon buttonImage(ButtonImage image);
// The application icon.
QIcon applicationIcon();

}  // namespace mx
