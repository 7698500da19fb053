#pragma once

#include <QDate>
#include <QString>
#include <QTime>
#include <QVariant>

class TDataSet;
class TTable;

enum class TFieldType { ftString, ftInteger, ftBoolean, ftDate, ftTime, ftGraphic, ftLookup, ftVariant };

// What a dataset knows of one field: its storage and how grids show it.
struct TFieldDef
{
    QString FieldName;
    TFieldType DataType = TFieldType::ftVariant;
    int Size = 0; // characters, for strings
    bool Required = false;
    QString DisplayLabel;
    int DisplayWidth = 0;
    bool Visible = true;
    bool ReadOnly = false;
    QString EditMask;
    // Lookup fields: KeyFields of this row looked up in LookupDataSet by
    // LookupKeyFields, showing LookupResultField.
    TTable *LookupDataSet = nullptr;
    QString KeyFields;
    QString LookupKeyFields;
    QString LookupResultField;

    bool isStored() const { return DataType != TFieldType::ftLookup; }
    QString label() const { return DisplayLabel.isEmpty() ? FieldName : DisplayLabel; }
};

// One field of the dataset's current record. Reading a field reads the
// record buffer; writing one needs the dataset in edit or insert state.
class TField
{
public:
    TField(TDataSet *dataSet, int index) : m_dataSet(dataSet), m_index(index) {}

    const TFieldDef &def() const;
    const QString &FieldName() const { return def().FieldName; }
    int Index() const { return m_index; }

    QVariant Value() const;
    bool IsNull() const;
    QString AsString() const;
    int AsInteger() const;
    bool AsBoolean() const;
    QDate AsDate() const;

    void SetValue(const QVariant &value);
    void SetAsString(const QString &value);
    void SetAsInteger(int value) { SetValue(value); }
    void SetAsBoolean(bool value) { SetValue(value); }
    void Clear() { SetValue(QVariant()); }

    // Converts a value to the form this field stores (dates and times as ISO
    // text); an invalid value becomes null. Strings are never cut.
    static QVariant toStored(const TFieldDef &def, const QVariant &value);
    // Throws EDatabaseError, saying so, when a string is longer than the
    // field's Size: a value is stored whole or not at all, since a cut
    // address may well be another valid one.
    static void checkSize(const TFieldDef &def, const QString &text);
    // The text a grid shows for a stored value of this field.
    static QString displayText(const TFieldDef &def, const QVariant &stored);

private:
    TDataSet *m_dataSet;
    int m_index;
};
