#include "settings/extraction_options.h"

#include <algorithm>
#include <initializer_list>

namespace mx {
namespace {

// Radio groups. "Size" has one settable member; its other button is permanently disabled.
const std::initializer_list<OptionField> kGroups[] = {
    {OptionField::BMPBtn, OptionField::JPGBtn},
    {OptionField::rbFrameFile, OptionField::rbMatrix, OptionField::rbEverSec},
    {OptionField::rbProport, OptionField::rbRandom},
    {OptionField::rbAutoWidth},
};

const std::initializer_list<OptionField>* groupOf(OptionField field) {
    for (const auto& group : kGroups) {
        if (std::find(group.begin(), group.end(), field) != group.end()) {
            return &group;
        }
    }
    return nullptr;
}

}  // namespace

QString optionFieldName(OptionField field) {
    switch (field) {
        case OptionField::BMPBtn:
            return QStringLiteral("BMPBtn");
        case OptionField::CustomH:
            return QStringLiteral("CustomH");
        case OptionField::FrameNumberEdit:
            return QStringLiteral("FrameNumberEdit");
        case OptionField::jpgTrackBar:
            return QStringLiteral("jpgTrackBar");
        case OptionField::pathEdit:
            return QStringLiteral("pathEdit");
        case OptionField::edtSecStart:
            return QStringLiteral("edtSecStart");
        case OptionField::edtEverSec:
            return QStringLiteral("edtEverSec");
        case OptionField::JPGBtn:
            return QStringLiteral("JPGBtn");
        case OptionField::rbAutoWidth:
            return QStringLiteral("rbAutoWidth");
        case OptionField::rbFrameFile:
            return QStringLiteral("rbFrameFile");
        case OptionField::rbMatrix:
            return QStringLiteral("rbMatrix");
        case OptionField::rbProport:
            return QStringLiteral("rbProport");
        case OptionField::rbRandom:
            return QStringLiteral("rbRandom");
        case OptionField::chkAddNumber:
            return QStringLiteral("chkAddNumber");
        case OptionField::chkFolder:
            return QStringLiteral("chkFolder");
        case OptionField::chkSec:
            return QStringLiteral("chkSec");
        case OptionField::rbEverSec:
            return QStringLiteral("rbEverSec");
        case OptionField::chktime:
            return QStringLiteral("chktime");
        case OptionField::chkFilename:
            return QStringLiteral("chkFilename");
        case OptionField::language:
            return QStringLiteral("language");
    }
    return {};
}

OptionKind optionFieldKind(OptionField field) {
    switch (field) {
        case OptionField::CustomH:
        case OptionField::FrameNumberEdit:
        case OptionField::edtSecStart:
        case OptionField::edtEverSec:
            return OptionKind::NumberText;
        case OptionField::pathEdit:
            return OptionKind::Text;
        case OptionField::jpgTrackBar:
        case OptionField::language:
            return OptionKind::Integer;
        default:
            return groupOf(field) ? OptionKind::GroupFlag : OptionKind::Flag;
    }
}

ExtractionOptions::ExtractionOptions(QObject* parent) : QObject(parent) {}

bool* ExtractionOptions::flagSlot(OptionField field) {
    switch (field) {
        case OptionField::BMPBtn:
            return &m_BMPBtn;
        case OptionField::JPGBtn:
            return &m_JPGBtn;
        case OptionField::rbAutoWidth:
            return &m_rbAutoWidth;
        case OptionField::rbFrameFile:
            return &m_rbFrameFile;
        case OptionField::rbMatrix:
            return &m_rbMatrix;
        case OptionField::rbEverSec:
            return &m_rbEverSec;
        case OptionField::rbProport:
            return &m_rbProport;
        case OptionField::rbRandom:
            return &m_rbRandom;
        case OptionField::chkAddNumber:
            return &m_chkAddNumber;
        case OptionField::chkFolder:
            return &m_chkFolder;
        case OptionField::chkSec:
            return &m_chkSec;
        case OptionField::chktime:
            return &m_chktime;
        case OptionField::chkFilename:
            return &m_chkFilename;
        default:
            return nullptr;
    }
}

QString* ExtractionOptions::textSlot(OptionField field) {
    switch (field) {
        case OptionField::CustomH:
            return &m_customH;
        case OptionField::FrameNumberEdit:
            return &m_frameNumberEdit;
        case OptionField::pathEdit:
            return &m_pathEdit;
        case OptionField::edtSecStart:
            return &m_edtSecStart;
        case OptionField::edtEverSec:
            return &m_edtEverSec;
        default:
            return nullptr;
    }
}

bool ExtractionOptions::flag(OptionField field) const {
    const bool* slot = const_cast<ExtractionOptions*>(this)->flagSlot(field);
    return slot && *slot;
}

void ExtractionOptions::setFlag(OptionField field, bool value) {
    bool* slot = flagSlot(field);
    if (!slot) {
        return;
    }
    if (value) {
        if (const auto* group = groupOf(field)) {
            for (OptionField other : *group) {
                bool* otherSlot = flagSlot(other);
                if (other != field && *otherSlot) {
                    *otherSlot = false;
                    emit changed(other);
                }
            }
        }
    }
    if (*slot != value) {
        *slot = value;
        emit changed(field);
    }
}

QString ExtractionOptions::text(OptionField field) const {
    switch (field) {
        case OptionField::jpgTrackBar:
            return QString::number(m_jpgTrackBar);
        case OptionField::language:
            return QString::number(m_language);
        default:
            break;
    }
    if (const QString* slot = const_cast<ExtractionOptions*>(this)->textSlot(field)) {
        return *slot;
    }
    return flag(field) ? QStringLiteral("TRUE") : QStringLiteral("FALSE");
}

void ExtractionOptions::setText(OptionField field, const QString& value) {
    QString* slot = textSlot(field);
    if (slot && *slot != value) {
        *slot = value;
        emit changed(field);
    }
}

void ExtractionOptions::setJpgTrackBar(int value) {
    value = std::clamp(value, 0, 100);
    if (m_jpgTrackBar != value) {
        m_jpgTrackBar = value;
        emit changed(OptionField::jpgTrackBar);
    }
}

void ExtractionOptions::setLanguage(int value) {
    if (m_language != value) {
        m_language = value;
        emit changed(OptionField::language);
    }
}

void ExtractionOptions::resetToInitial() {
    setFlag(OptionField::BMPBtn, false);
    setText(OptionField::CustomH, QStringLiteral("480"));
    setText(OptionField::FrameNumberEdit, QStringLiteral("11"));
    setJpgTrackBar(75);
    setText(OptionField::pathEdit, QStringLiteral("e:\\tempvideo\\images"));
    setText(OptionField::edtSecStart, QStringLiteral("1"));
    setText(OptionField::edtEverSec, QStringLiteral("5"));
    setFlag(OptionField::JPGBtn, true);
    setFlag(OptionField::rbAutoWidth, false);
    setFlag(OptionField::rbFrameFile, true);
    setFlag(OptionField::rbProport, true);
    for (OptionField f : {OptionField::chkAddNumber, OptionField::chkFolder, OptionField::chkSec,
                          OptionField::chktime, OptionField::chkFilename}) {
        setFlag(f, false);
    }
    setLanguage(1033);
}

}  // namespace mx
