#include "store/Field.h"

#include "store/DataSet.h"
#include "store/DatabaseError.h"

namespace {

const QString IsoTime = QStringLiteral("HH:mm:ss");

QDate parseDate(const QString &text)
{
    const QString t = text.trimmed();
    for (const char *format : {"yyyy-MM-dd", "yyyy/MM/dd", "MM/dd/yyyy"}) {
        const QDate date = QDate::fromString(t, QLatin1String(format));
        if (date.isValid())
            return date;
    }
    return {};
}

QTime parseTime(const QString &text)
{
    const QString t = text.trimmed();
    for (const char *format : {"HH:mm:ss", "H:mm:ss", "HH:mm", "H:mm"}) {
        const QTime time = QTime::fromString(t, QLatin1String(format));
        if (time.isValid())
            return time;
    }
    return {};
}

}

const TFieldDef &TField::def() const
{
    return m_dataSet->FieldDefs()[m_index];
}

QVariant TField::Value() const
{
    return m_dataSet->fieldValue(m_index);
}

bool TField::IsNull() const
{
    return Value().isNull();
}

QString TField::AsString() const
{
    return displayText(def(), Value());
}

int TField::AsInteger() const
{
    const QVariant v = Value();
    if (v.isNull())
        return 0;
    bool ok = false;
    const int n = v.toInt(&ok);
    if (!ok)
        throw EDatabaseError(QStringLiteral("'%1' is not a valid integer value for field '%2'")
                                 .arg(v.toString(), FieldName()));
    return n;
}

bool TField::AsBoolean() const
{
    const QVariant v = Value();
    return !v.isNull() && v.toLongLong() != 0;
}

QDate TField::AsDate() const
{
    return parseDate(Value().toString());
}

void TField::SetValue(const QVariant &value)
{
    const QVariant stored = toStored(def(), value);
    if (def().DataType == TFieldType::ftString)
        checkSize(def(), stored.toString());
    m_dataSet->setFieldValue(m_index, stored);
}

void TField::checkSize(const TFieldDef &def, const QString &text)
{
    if (def.Size > 0 && text.size() > def.Size)
        throw EDatabaseError(QStringLiteral("The field '%1' holds at most %2 characters; \"%3\" has %4.")
                                 .arg(def.label())
                                 .arg(def.Size)
                                 .arg(text.size() > 60 ? text.left(57) + QStringLiteral("...") : text)
                                 .arg(text.size()));
}

void TField::SetAsString(const QString &value)
{
    SetValue(value.isEmpty() && def().DataType != TFieldType::ftString ? QVariant() : QVariant(value));
}

QVariant TField::toStored(const TFieldDef &def, const QVariant &value)
{
    if (value.isNull() || !value.isValid())
        return {};
    switch (def.DataType) {
    case TFieldType::ftString:
        return value.toString();
    case TFieldType::ftInteger: {
        bool ok = false;
        const qint64 n = value.toLongLong(&ok);
        if (!ok)
            throw EDatabaseError(QStringLiteral("'%1' is not a valid integer value for field '%2'")
                                     .arg(value.toString(), def.FieldName));
        return n;
    }
    case TFieldType::ftBoolean:
        if (value.typeId() == QMetaType::QString) {
            const QString t = value.toString().trimmed();
            return qint64(t == QLatin1String("1") || t.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0);
        }
        return qint64(value.toBool());
    case TFieldType::ftDate: {
        const QDate date = value.typeId() == QMetaType::QDate ? value.toDate() : parseDate(value.toString());
        if (!date.isValid())
            throw EDatabaseError(QStringLiteral("'%1' is not a valid date").arg(value.toString()));
        return date.toString(Qt::ISODate);
    }
    case TFieldType::ftTime: {
        const QTime time = value.typeId() == QMetaType::QTime ? value.toTime() : parseTime(value.toString());
        if (!time.isValid())
            throw EDatabaseError(QStringLiteral("'%1' is not a valid time").arg(value.toString()));
        return time.toString(IsoTime);
    }
    case TFieldType::ftGraphic:
        return value.toByteArray();
    case TFieldType::ftLookup:
    case TFieldType::ftVariant:
        break;
    }
    return value;
}

QString TField::displayText(const TFieldDef &def, const QVariant &stored)
{
    if (stored.isNull())
        return {};
    switch (def.DataType) {
    case TFieldType::ftBoolean:
        return stored.toLongLong() != 0 ? QStringLiteral("True") : QStringLiteral("False");
    case TFieldType::ftGraphic:
        return QStringLiteral("(GRAPHIC)");
    default:
        return stored.toString();
    }
}
