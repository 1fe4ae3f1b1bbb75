#pragma once

#include <QIcon>
#include <QToolButton>

namespace mx {

// A flat button showing a 32 x 32 image above its caption, the caption at the bottom. A caption
// too wide for the narrow button (as translations often are) is broken onto two lines under a
// smaller image, and drawn smaller only when that is not enough: it is always shown whole.
class ImageButton : public QToolButton {
    Q_OBJECT
public:
    explicit ImageButton(QWidget* parent = nullptr);

    // How the caption is drawn at the button's present size: the font, the image's side, the
    // room under the image and the size the caption's lines take there.
    struct Caption {
        QFont font;
        int imageSide = 32;
        QRect rect;
        QSize room;
        QSize needed;
    };
    Caption captionLayout() const;

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
