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
    goodFrames,
};

enum class OptionKind { Flag, GroupFlag, NumberText, Text, Integer };

// One stored field: how the dialog, the settings file and the job list file know it.
struct OptionFieldInfo {
    OptionField field;
    // The control name. Job list files store a flag as this name + "_Checked=TRUE"/"=FALSE".
    const char* name;
    OptionKind kind;
    // The key in the settings file's [options] section.
    const char* settingsKey;
    // What the dialog shows before any load ("1"/"0" for flags, decimal for the quality).
    const char* initial;
    // What the settings file gives when the key is missing or, for flags and the quality, not
    // a number. It differs from the initial value for FrameNumberEdit, pathEdit, rbFrameFile
    // and rbProport, so a first start without a file leaves the frame method and extract
    // method groups empty.
    const char* settingsDefault;
};

// The 19 fields the settings file and the job list file store, in their order (which is also
// the order of OptionField). Only the BMP flag's settings key carries the "_Checked" suffix;
// files in use have this mix.
inline constexpr std::array<OptionFieldInfo, 19> kOptionFieldTable = {{
    {OptionField::BMPBtn, "BMPBtn", OptionKind::GroupFlag, "BMPBtn_Checked", "0", "0"},
    {OptionField::CustomH, "CustomH", OptionKind::NumberText, "CustomH", "480", "480"},
    {OptionField::FrameNumberEdit, "FrameNumberEdit", OptionKind::NumberText, "FrameNumberEdit",
     "11", "5"},
    {OptionField::jpgTrackBar, "jpgTrackBar", OptionKind::Integer, "jpgTrackBar", "75", "75"},
    {OptionField::pathEdit, "pathEdit", OptionKind::Text, "pathEdit", "e:\\tempvideo\\images", ""},
    {OptionField::edtSecStart, "edtSecStart", OptionKind::NumberText, "edtSecStart", "1", "1"},
    {OptionField::edtEverSec, "edtEverSec", OptionKind::NumberText, "edtEverSec", "5", "5"},
    {OptionField::JPGBtn, "JPGBtn", OptionKind::GroupFlag, "JPGBtn", "1", "1"},
    {OptionField::rbAutoWidth, "rbAutoWidth", OptionKind::GroupFlag, "rbAutoWidth", "0", "0"},
    {OptionField::rbFrameFile, "rbFrameFile", OptionKind::GroupFlag, "rbFrameFile", "1", "0"},
    {OptionField::rbMatrix, "rbMatrix", OptionKind::GroupFlag, "rbMatrix", "0", "0"},
    {OptionField::rbProport, "rbProport", OptionKind::GroupFlag, "rbProport", "1", "0"},
    {OptionField::rbRandom, "rbRandom", OptionKind::GroupFlag, "rbRandom", "0", "0"},
    {OptionField::chkAddNumber, "chkAddNumber", OptionKind::Flag, "chkAddNumber", "0", "0"},
    {OptionField::chkFolder, "chkFolder", OptionKind::Flag, "chkFolder", "0", "0"},
    {OptionField::chkSec, "chkSec", OptionKind::Flag, "chkSec", "0", "0"},
    {OptionField::rbEverSec, "rbEverSec", OptionKind::GroupFlag, "rbEverSec", "0", "0"},
    {OptionField::chktime, "chktime", OptionKind::Flag, "chktime", "0", "0"},
    {OptionField::chkFilename, "chkFilename", OptionKind::Flag, "chkFilename", "0", "0"},
}};

inline constexpr std::size_t kStoredFieldCount = kOptionFieldTable.size();

// The 19 stored fields in their order.
inline constexpr std::array<OptionField, kStoredFieldCount> kStoredOptionFields = [] {
    std::array<OptionField, kStoredFieldCount> fields{};
    for (std::size_t i = 0; i < kStoredFieldCount; ++i) {
        fields[i] = kOptionFieldTable[i].field;
    }
    return fields;
}();

// The interface language before any load and when the settings file names none (US English).
inline constexpr int kInitialLanguage = 1033;

// The table row of a stored field; null for `language`, which is not stored with the others,
// and for goodFrames, which is not stored at all.
const OptionFieldInfo* optionFieldInfo(OptionField field);
inline bool isFlagKind(OptionKind kind) {
    return kind == OptionKind::Flag || kind == OptionKind::GroupFlag;
}

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

    QString CustomH() const { return text(OptionField::CustomH); }
    QString FrameNumberEdit() const { return text(OptionField::FrameNumberEdit); }
    QString pathEdit() const { return text(OptionField::pathEdit); }
    QString edtSecStart() const { return text(OptionField::edtSecStart); }
    QString edtEverSec() const { return text(OptionField::edtEverSec); }

    // JPEG quality; writes are clamped to 0..100.
    int jpgTrackBar() const { return m_jpgTrackBar; }
    void setJpgTrackBar(int value);

    // Interface language (a Windows language identifier), held for the main window.
    int language() const { return m_language; }
    void setLanguage(int value);

    // Replace poor captures (black, blank, flat, blurred, caught in a cut) by a good frame
    // nearby. Set by the console tool; neither the settings file, the job list file nor the
    // options dialog carries it, so every load leaves it as it is.
    bool goodFrames() const { return m_goodFrames; }
    void setGoodFrames(bool value);

    // Puts every field back to the values the dialog shows before any load (the table's
    // initial values), as a new record holds them.
    void resetToInitial();

signals:
    void changed(mx::OptionField field);

private:
    bool* flagSlot(OptionField field);
    QString* textSlot(OptionField field);

    // Indexed by OptionField; each field uses the slot of its kind.
    std::array<bool, kStoredFieldCount> m_flags{};
    std::array<QString, kStoredFieldCount> m_texts;
    int m_jpgTrackBar = 0;
    int m_language = kInitialLanguage;
    bool m_goodFrames = false;
};

}  // namespace mx
