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

static_assert(
    [] {
        for (std::size_t i = 0; i < kStoredFieldCount; ++i) {
            if (std::size_t(kOptionFieldTable[i].field) != i) {
                return false;
            }
        }
        return std::size_t(OptionField::language) == kStoredFieldCount;
    }(),
    "the table lists the stored fields in the order of OptionField, language after them");

const OptionFieldInfo* optionFieldInfo(OptionField field) {
    const auto index = std::size_t(field);
    return index < kStoredFieldCount ? &kOptionFieldTable[index] : nullptr;
}

QString optionFieldName(OptionField field) {
    const OptionFieldInfo* info = optionFieldInfo(field);
    if (info) {
        return QString::fromLatin1(info->name);
    }
    return field == OptionField::goodFrames ? QStringLiteral("goodFrames")
                                            : QStringLiteral("language");
}

OptionKind optionFieldKind(OptionField field) {
    const OptionFieldInfo* info = optionFieldInfo(field);
    if (info) {
        return info->kind;
    }
    return field == OptionField::goodFrames ? OptionKind::Flag : OptionKind::Integer;
}

ExtractionOptions::ExtractionOptions(QObject* parent) : QObject(parent) {
    resetToInitial();
}

bool* ExtractionOptions::flagSlot(OptionField field) {
    const OptionFieldInfo* info = optionFieldInfo(field);
    return info && isFlagKind(info->kind) ? &m_flags[std::size_t(field)] : nullptr;
}

QString* ExtractionOptions::textSlot(OptionField field) {
    const OptionFieldInfo* info = optionFieldInfo(field);
    return info && (info->kind == OptionKind::Text || info->kind == OptionKind::NumberText)
               ? &m_texts[std::size_t(field)]
               : nullptr;
}

bool ExtractionOptions::flag(OptionField field) const {
    if (field == OptionField::goodFrames) {
        return m_goodFrames;
    }
    const bool* slot = const_cast<ExtractionOptions*>(this)->flagSlot(field);
    return slot && *slot;
}

void ExtractionOptions::setFlag(OptionField field, bool value) {
    if (field == OptionField::goodFrames) {
        setGoodFrames(value);
        return;
    }
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

void ExtractionOptions::setGoodFrames(bool value) {
    if (m_goodFrames != value) {
        m_goodFrames = value;
        emit changed(OptionField::goodFrames);
    }
}

void ExtractionOptions::resetToInitial() {
    // In table order, so each radio group ends with its initial member set.
    for (const OptionFieldInfo& info : kOptionFieldTable) {
        const QString initial = QString::fromLatin1(info.initial);
        switch (info.kind) {
            case OptionKind::Flag:
            case OptionKind::GroupFlag:
                setFlag(info.field, initial == QLatin1String("1"));
                break;
            case OptionKind::Integer:
                setJpgTrackBar(initial.toInt());
                break;
            case OptionKind::NumberText:
            case OptionKind::Text:
                setText(info.field, initial);
                break;
        }
    }
    setLanguage(kInitialLanguage);
}

}  // namespace mx
