#pragma once

#include <QObject>
#include <QString>
#include <array>

namespace mx {

// The settings of an extraction run, one per control of the options dialog, named after it.
// Order is the order in which the settings file and the job list file store them.
enum class OptionField {
    BMPBtn,
    CustomH,
    FrameNumberEdit,
    jpgTrackBar,
    pathEdit,
    edtSecStart,
    edtEverSec,
    JPGBtn,
    rbAutoWidth,
    rbFrameFile,
    rbMatrix,
    rbProport,
    rbRandom,
    chkAddNumber,
    chkFolder,
    chkSec,
    rbEverSec,
    chktime,
    chkFilename,
    language,
};

enum class OptionKind { Flag, GroupFlag, NumberText, Text, Integer };

// The 19 fields the settings file and the job list file store, in their order.
inline constexpr std::array<OptionField, 19> kStoredOptionFields = {
    OptionField::BMPBtn,      OptionField::CustomH,      OptionField::FrameNumberEdit,
    OptionField::jpgTrackBar, OptionField::pathEdit,     OptionField::edtSecStart,
    OptionField::edtEverSec,  OptionField::JPGBtn,       OptionField::rbAutoWidth,
    OptionField::rbFrameFile, OptionField::rbMatrix,     OptionField::rbProport,
    OptionField::rbRandom,    OptionField::chkAddNumber, OptionField::chkFolder,
    OptionField::chkSec,      OptionField::rbEverSec,    OptionField::chktime,
    OptionField::chkFilename,
};

// The control name of a field ("BMPBtn", "jpgTrackBar", ...).
QString optionFieldName(OptionField field);
OptionKind optionFieldKind(OptionField field);

// The one live record of every extraction setting. Number fields hold text exactly as given
// and are converted where they are used. Writing a group-exclusive flag true clears the other
// members of its group; writing it false touches that field alone, so a group can end with no
// member set. Every write that changes a value is announced through changed().
class ExtractionOptions : public QObject {
    Q_OBJECT
public:
    explicit ExtractionOptions(QObject* parent = nullptr);

    // Generic access, used by the stores and the dialog binding.
    bool flag(OptionField field) const;
    void setFlag(OptionField field, bool value);
    QString text(OptionField field) const;
    void setText(OptionField field, const QString& value);

    bool BMPBtn() const { return flag(OptionField::BMPBtn); }
    bool JPGBtn() const { return flag(OptionField::JPGBtn); }
    bool rbAutoWidth() const { return flag(OptionField::rbAutoWidth); }
    bool rbFrameFile() const { return flag(OptionField::rbFrameFile); }
    bool rbMatrix() const { return flag(OptionField::rbMatrix); }
    bool rbEverSec() const { return flag(OptionField::rbEverSec); }
    bool rbProport() const { return flag(OptionField::rbProport); }
    bool rbRandom() const { return flag(OptionField::rbRandom); }
    bool chkAddNumber() const { return flag(OptionField::chkAddNumber); }
    bool chkFolder() const { return flag(OptionField::chkFolder); }
    bool chkSec() const { return flag(OptionField::chkSec); }
    bool chktime() const { return flag(OptionField::chktime); }
    bool chkFilename() const { return flag(OptionField::chkFilename); }

    QString CustomH() const { return m_customH; }
    QString FrameNumberEdit() const { return m_frameNumberEdit; }
    QString pathEdit() const { return m_pathEdit; }
    QString edtSecStart() const { return m_edtSecStart; }
    QString edtEverSec() const { return m_edtEverSec; }

    // JPEG quality; writes are clamped to 0..100.
    int jpgTrackBar() const { return m_jpgTrackBar; }
    void setJpgTrackBar(int value);

    // Interface language (a Windows language identifier), held for the main window.
    int language() const { return m_language; }
    void setLanguage(int value);

    // Puts every field back to the values the dialog shows before any load.
    void resetToInitial();

signals:
    void changed(mx::OptionField field);

private:
    bool* flagSlot(OptionField field);
    QString* textSlot(OptionField field);

    bool m_BMPBtn = false;
    bool m_JPGBtn = true;
    bool m_rbAutoWidth = false;
    bool m_rbFrameFile = true;
    bool m_rbMatrix = false;
    bool m_rbEverSec = false;
    bool m_rbProport = true;
    bool m_rbRandom = false;
    bool m_chkAddNumber = false;
    bool m_chkFolder = false;
    bool m_chkSec = false;
    bool m_chktime = false;
    bool m_chkFilename = false;
    QString m_customH = QStringLiteral("480");
    QString m_frameNumberEdit = QStringLiteral("11");
    QString m_pathEdit = QStringLiteral("e:\\tempvideo\\images");
    QString m_edtSecStart = QStringLiteral("1");
    QString m_edtEverSec = QStringLiteral("5");
    int m_jpgTrackBar = 75;
    int m_language = 1033;
};

}  // namespace mx
