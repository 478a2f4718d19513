#pragma once
// `TField` and its typed descendants, and `TFields`, the dataset's field list.
//
// A field reads and writes its value through its dataset's GetFieldData and
// SetFieldData with a buffer in the exchange format of its data type:
//
// | field types                                             | buffer          |
// |---------------------------------------------------------|-----------------|
// | ftString, ftFixedChar, ftWideString, ftBytes, ftVarBytes, blob types | std::string |
// | ftSmallint                                              | int16_t         |
// | ftWord                                                  | uint16_t        |
// | ftBoolean                                               | int16_t (0 / -1)|
// | ftInteger, ftAutoInc                                    | int32_t         |
// | ftLargeint                                              | int64_t         |
// | ftFloat, ftCurrency, ftDate, ftTime, ftDateTime         | double          |
// | ftBCD, ftFMTBcd                                         | TBcd            |
// | ftTimeStamp                                             | TSQLTimeStamp   |
// | ftGuid                                                  | TGUID           |
// | ftVariant                                               | Variant         |
//
// Date, time and date-time values are always TDateTime doubles (no native
// date record). Blob values (ftBlob, ftMemo, ftGraphic...) are read and
// written through the dataset's CreateBlobStream, whose default stream
// exchanges the whole value as one std::string.
//
// Ownership: a field is a component. Default fields belong to their dataset;
// persistent fields belong to whoever made them (usually the dataset or the
// form) and join a dataset by SetDataSet. A field that goes leaves its
// dataset's list (closing the dataset first, since open datasets cannot lose
// fields).

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/Component.h"
#include "platform/DBTypes.h"
#include "platform/FMTBcd.h"
#include "platform/Guid.h"
#include "platform/SqlTimSt.h"
#include "platform/Streams.h"
#include "platform/Variants.h"

class TDataSet;
class TField;
class TStrings;

using TFieldNotifyEvent = std::function<void(TField* sender)>;
using TFieldGetTextEvent = std::function<void(TField* sender, std::string& text, bool displayText)>;
using TFieldSetTextEvent = std::function<void(TField* sender, const std::string& text)>;

class TField : public TComponent
{
  public:
    explicit TField(TComponent* owner = nullptr);
    ~TField() override;
    std::string ClassName() const override { return "TField"; }

    // --- Identity and binding
    TDataSet* DataSet() const { return m_dataSet; }
    // Moves the field to `dataSet`'s list (null: leaves its list). Both
    // datasets must be closed; a name taken in the new dataset raises
    // "Duplicate field name '%s'".
    void SetDataSet(TDataSet* dataSet);
    const std::string& FieldName() const { return m_fieldName; }
    void SetFieldName(const std::string& value);
    TFieldType DataType() const { return m_dataType; }
    TFieldKind FieldKind() const { return m_fieldKind; }
    void SetFieldKind(TFieldKind value);
    bool Calculated() const { return m_fieldKind == fkCalculated; }
    bool Lookup() const { return m_fieldKind == fkLookup; }
    // The definition's number while bound, -1 for calculated and lookup fields.
    int FieldNo() const { return m_fieldNo; }
    // Position in the dataset's field list (-1 without dataset).
    int Index() const;
    void SetIndex(int value);
    int Size() const { return m_size; }
    void SetSize(int value);
    // The bytes a value of the field takes in a record buffer
    // (FieldDataSize of its type and Size).
    int DataSize() const { return FieldDataSize(m_dataType, m_size); }
    virtual bool IsBlob() const { return false; }

    // --- Settings
    // The label for users; the field name while none is set.
    std::string DisplayLabel() const { return m_displayLabel.empty() ? m_fieldName : m_displayLabel; }
    void SetDisplayLabel(const std::string& value);
    std::string DisplayName() const { return DisplayLabel(); }
    // Characters shown; a type-dependent default until set.
    int DisplayWidth() const;
    void SetDisplayWidth(int value);
    bool Visible() const { return m_visible; }
    void SetVisible(bool value);
    bool ReadOnly() const { return m_readOnly; }
    void SetReadOnly(bool value);
    bool Required() const { return m_required; }
    void SetRequired(bool value) { m_required = value; }
    const std::string& EditMask() const { return m_editMask; }
    void SetEditMask(const std::string& value);
    const std::string& Origin() const { return m_origin; }
    void SetOrigin(const std::string& value) { m_origin = value; }
    const std::string& DefaultExpression() const { return m_defaultExpression; }
    void SetDefaultExpression(const std::string& value) { m_defaultExpression = value; }

    // --- Lookup settings (fkLookup)
    TDataSet* LookupDataSet() const { return m_lookupDataSet; }
    void SetLookupDataSet(TDataSet* value);
    const std::string& KeyFields() const { return m_keyFields; }
    void SetKeyFields(const std::string& value) { m_keyFields = value; }
    const std::string& LookupKeyFields() const { return m_lookupKeyFields; }
    void SetLookupKeyFields(const std::string& value) { m_lookupKeyFields = value; }
    const std::string& LookupResultField() const { return m_lookupResultField; }
    void SetLookupResultField(const std::string& value) { m_lookupResultField = value; }

    // --- Value
    bool IsNull();
    void Clear();
    Variant Value() { return GetAsVariant(); }
    void SetValue(const Variant& value) { SetAsVariant(value); }
    // The value before the current edit (Null for a new record).
    Variant OldValue();
    // The value being written while in the new-value state.
    Variant NewValue();
    Variant AsVariant() { return GetAsVariant(); }
    void SetAsVariant(const Variant& value);

    std::string AsString() { return GetAsString(); }
    void SetAsString(const std::string& value) { SetAsStringImpl(value); }
    int32_t AsInteger() { return GetAsInteger(); }
    void SetAsInteger(int32_t value) { SetAsIntegerImpl(value); }
    int64_t AsLargeInt() { return GetAsLargeInt(); }
    void SetAsLargeInt(int64_t value) { SetAsLargeIntImpl(value); }
    double AsFloat() { return GetAsFloat(); }
    void SetAsFloat(double value) { SetAsFloatImpl(value); }
    // Currency values as numbers (fixed at 4 decimals where stored).
    double AsCurrency() { return GetAsCurrency(); }
    void SetAsCurrency(double value) { SetAsCurrencyImpl(value); }
    bool AsBoolean() { return GetAsBoolean(); }
    void SetAsBoolean(bool value) { SetAsBooleanImpl(value); }
    TDateTime AsDateTime() { return GetAsDateTime(); }
    void SetAsDateTime(TDateTime value) { SetAsDateTimeImpl(value); }
    TSQLTimeStamp AsSQLTimeStamp() { return GetAsSQLTimeStamp(); }
    void SetAsSQLTimeStamp(const TSQLTimeStamp& value) { SetAsSQLTimeStampImpl(value); }
    TBcd AsBCD() { return GetAsBCD(); }
    void SetAsBCD(const TBcd& value) { SetAsBCDImpl(value); }

    // Text for display (formatted by the display settings) and for editing.
    std::string DisplayText() { return GetTextFor(true); }
    std::string Text() { return GetTextFor(false); }
    void SetText(const std::string& value);

    // Whether a value can be written now: a writable field of an active
    // dataset that can be modified (calculated fields only while calculating).
    bool CanModify();

    // Raw access in the exchange format (see the top of this file). GetData
    // answers whether the field holds a value (a null buffer only asks);
    // SetData with null clears it.
    bool GetData(void* buffer);
    void SetData(const void* buffer);

    // Asks the dataset's controls to focus the control showing this field.
    void FocusControl();

    // Copies the value of another field.
    void Assign(const TPersistent& source) override;

    TFieldNotifyEvent OnChange;
    TFieldNotifyEvent OnValidate;
    TFieldGetTextEvent OnGetText;
    TFieldSetTextEvent OnSetText;

  protected:
    void SetDataType(TFieldType value) { m_dataType = value; }

    virtual Variant GetAsVariant();
    virtual void SetVarValue(const Variant& value);
    virtual std::string GetAsString();
    virtual void SetAsStringImpl(const std::string& value);
    virtual int32_t GetAsInteger();
    virtual void SetAsIntegerImpl(int32_t value);
    virtual int64_t GetAsLargeInt();
    virtual void SetAsLargeIntImpl(int64_t value);
    virtual double GetAsFloat();
    virtual void SetAsFloatImpl(double value);
    virtual double GetAsCurrency() { return GetAsFloat(); }
    virtual void SetAsCurrencyImpl(double value) { SetAsFloatImpl(value); }
    virtual bool GetAsBoolean();
    virtual void SetAsBooleanImpl(bool value);
    virtual TDateTime GetAsDateTime();
    virtual void SetAsDateTimeImpl(TDateTime value);
    virtual TSQLTimeStamp GetAsSQLTimeStamp();
    virtual void SetAsSQLTimeStampImpl(const TSQLTimeStamp& value);
    virtual TBcd GetAsBCD();
    virtual void SetAsBCDImpl(const TBcd& value);

    // Text of the value; the default is AsString.
    virtual std::string GetText(bool displayText);
    // Called by the dataset while binding (true) and unbinding (false).
    virtual void Bind(bool binding);
    virtual int GetDefaultWidth() const { return 10; }
    // "(Memo)" style description; upper case when the field has a value.
    std::string GetClassDesc();

    // Raises "Cannot access field '%s' as type %s".
    [[noreturn]] void AccessError(const std::string& typeName);
    // Raises "%s is not a valid value for field '%s'. The allowed range is %s to %s".
    [[noreturn]] void RangeError(const std::string& value, const std::string& min, const std::string& max);
    void CheckInactive();
    // The layout or the display of the field changed: tells the dataset.
    void PropertyChanged(bool layoutAffected);

  private:
    friend class TDataSet;
    friend class TFields;
    friend std::unique_ptr<TField> NewFieldOfType(TFieldType type, TComponent* owner);
    std::string GetTextFor(bool displayText);
    // Reads the lookup value for the dataset's calculation buffer.
    void CalcLookupValue();
    void Change();

    TDataSet* m_dataSet = nullptr;
    std::string m_fieldName;
    TFieldType m_dataType = ftUnknown;
    TFieldKind m_fieldKind = fkData;
    int m_fieldNo = 0;
    int m_size = 0;
    std::string m_displayLabel;
    int m_displayWidth = 0;
    bool m_visible = true;
    bool m_readOnly = false;
    bool m_required = false;
    std::string m_editMask;
    std::string m_origin;
    std::string m_defaultExpression;
    TDataSet* m_lookupDataSet = nullptr;
    std::string m_keyFields;
    std::string m_lookupKeyFields;
    std::string m_lookupResultField;
};

// Text fields: Size characters at most (UTF-8 characters); longer texts are
// cut when written.
class TStringField : public TField
{
  public:
    explicit TStringField(TComponent* owner = nullptr);
    std::string ClassName() const override { return "TStringField"; }
    bool FixedChar() const { return DataType() == ftFixedChar; }
    void SetFixedChar(bool value) { SetDataType(value ? ftFixedChar : ftString); }

    // The stored text; false when Null.
    bool GetValue(std::string& value);

  protected:
    Variant GetAsVariant() override;
    void SetVarValue(const Variant& value) override;
    std::string GetAsString() override;
    void SetAsStringImpl(const std::string& value) override;
    int32_t GetAsInteger() override;
    void SetAsIntegerImpl(int32_t value) override;
    int64_t GetAsLargeInt() override;
    void SetAsLargeIntImpl(int64_t value) override;
    double GetAsFloat() override;
    void SetAsFloatImpl(double value) override;
    bool GetAsBoolean() override;
    void SetAsBooleanImpl(bool value) override;
    TDateTime GetAsDateTime() override;
    void SetAsDateTimeImpl(TDateTime value) override;
    int GetDefaultWidth() const override { return Size(); }
};

class TWideStringField : public TStringField
{
  public:
    explicit TWideStringField(TComponent* owner = nullptr);
    std::string ClassName() const override { return "TWideStringField"; }

  protected:
    Variant GetAsVariant() override;
};

// GUIDs travel as the 16-byte record; their text is the braced form.
class TGuidField : public TStringField
{
  public:
    explicit TGuidField(TComponent* owner = nullptr);
    std::string ClassName() const override { return "TGuidField"; }
    TGUID AsGuid();
    void SetAsGuid(const TGUID& value);

  protected:
    std::string GetAsString() override;
    void SetAsStringImpl(const std::string& value) override;
    int GetDefaultWidth() const override { return 38; }
};

// Numbers: DisplayFormat and EditFormat are FormatFloat pictures.
class TNumericField : public TField
{
  public:
    explicit TNumericField(TComponent* owner = nullptr) : TField(owner) {}
    std::string ClassName() const override { return "TNumericField"; }
    const std::string& DisplayFormat() const { return m_displayFormat; }
    void SetDisplayFormat(const std::string& value);
    const std::string& EditFormat() const { return m_editFormat; }
    void SetEditFormat(const std::string& value);

  private:
    std::string m_displayFormat;
    std::string m_editFormat;
};

// 32-bit integers with an optional range (both limits 0: the type's range).
class TIntegerField : public TNumericField
{
  public:
    explicit TIntegerField(TComponent* owner = nullptr);
    std::string ClassName() const override { return "TIntegerField"; }
    int64_t MinValue() const { return m_minValue; }
    void SetMinValue(int64_t value) { m_minValue = value; }
    int64_t MaxValue() const { return m_maxValue; }
    void SetMaxValue(int64_t value) { m_maxValue = value; }
    bool GetValue(int32_t& value);

  protected:
    Variant GetAsVariant() override;
    void SetVarValue(const Variant& value) override;
    std::string GetAsString() override;
    void SetAsStringImpl(const std::string& value) override;
    int32_t GetAsInteger() override;
    void SetAsIntegerImpl(int32_t value) override;
    int64_t GetAsLargeInt() override;
    void SetAsLargeIntImpl(int64_t value) override;
    double GetAsFloat() override;
    void SetAsFloatImpl(double value) override;
    std::string GetText(bool displayText) override;
    int GetDefaultWidth() const override { return 11; }
    void CheckRange(int64_t value);
    // The type's own limits (used when MinValue and MaxValue are both 0).
    int64_t m_minRange = INT32_MIN;
    int64_t m_maxRange = INT32_MAX;

  private:
    int64_t m_minValue = 0;
    int64_t m_maxValue = 0;
};

class TSmallintField : public TIntegerField
{
  public:
    explicit TSmallintField(TComponent* owner = nullptr);
    std::string ClassName() const override { return "TSmallintField"; }

  protected:
    int GetDefaultWidth() const override { return 6; }
};

class TWordField : public TIntegerField
{
  public:
    explicit TWordField(TComponent* owner = nullptr);
    std::string ClassName() const override { return "TWordField"; }

  protected:
    int GetDefaultWidth() const override { return 5; }
};

class TAutoIncField : public TIntegerField
{
  public:
    explicit TAutoIncField(TComponent* owner = nullptr);
    std::string ClassName() const override { return "TAutoIncField"; }
};

class TLargeintField : public TNumericField
{
  public:
    explicit TLargeintField(TComponent* owner = nullptr);
    std::string ClassName() const override { return "TLargeintField"; }
    bool GetValue(int64_t& value);

  protected:
    Variant GetAsVariant() override;
    void SetVarValue(const Variant& value) override;
    std::string GetAsString() override;
    void SetAsStringImpl(const std::string& value) override;
    int32_t GetAsInteger() override;
    void SetAsIntegerImpl(int32_t value) override;
    int64_t GetAsLargeInt() override;
    void SetAsLargeIntImpl(int64_t value) override;
    double GetAsFloat() override;
    void SetAsFloatImpl(double value) override;
    std::string GetText(bool displayText) override;
    int GetDefaultWidth() const override { return 15; }
};

// Doubles with Precision significant digits in texts (15 by default);
// Currency shows the value in the currency format.
class TFloatField : public TNumericField
{
  public:
    explicit TFloatField(TComponent* owner = nullptr);
    std::string ClassName() const override { return "TFloatField"; }
    bool Currency() const { return m_currency; }
    void SetCurrency(bool value);
    int Precision() const { return m_precision; }
    void SetPrecision(int value);
    double MinValue() const { return m_minValue; }
    void SetMinValue(double value) { m_minValue = value; }
    double MaxValue() const { return m_maxValue; }
    void SetMaxValue(double value) { m_maxValue = value; }

  protected:
    Variant GetAsVariant() override;
    void SetVarValue(const Variant& value) override;
    std::string GetAsString() override;
    void SetAsStringImpl(const std::string& value) override;
    int32_t GetAsInteger() override;
    void SetAsIntegerImpl(int32_t value) override;
    int64_t GetAsLargeInt() override;
    void SetAsLargeIntImpl(int64_t value) override;
    double GetAsFloat() override;
    void SetAsFloatImpl(double value) override;
    std::string GetText(bool displayText) override;
    int GetDefaultWidth() const override { return m_precision + 1; }

  private:
    bool m_currency = false;
    int m_precision = 15;
    double m_minValue = 0;
    double m_maxValue = 0;
};

class TCurrencyField : public TFloatField
{
  public:
    explicit TCurrencyField(TComponent* owner = nullptr);
    std::string ClassName() const override { return "TCurrencyField"; }
};

class TBooleanField : public TField
{
  public:
    explicit TBooleanField(TComponent* owner = nullptr);
    std::string ClassName() const override { return "TBooleanField"; }
    // "True text;False text" (default "True;False").
    const std::string& DisplayValues() const { return m_displayValues; }
    void SetDisplayValues(const std::string& value);

  protected:
    Variant GetAsVariant() override;
    void SetVarValue(const Variant& value) override;
    std::string GetAsString() override;
    void SetAsStringImpl(const std::string& value) override;
    bool GetAsBoolean() override;
    void SetAsBooleanImpl(bool value) override;
    int32_t GetAsInteger() override;
    void SetAsIntegerImpl(int32_t value) override;
    int GetDefaultWidth() const override { return 5; }

  private:
    std::string m_displayValues = "True;False";
    std::string m_trueText = "True";
    std::string m_falseText = "False";
};

// Shared base of the date, time and date-time fields (TDateTime values).
class TDateTimeField : public TField
{
  public:
    explicit TDateTimeField(TComponent* owner = nullptr);
    std::string ClassName() const override { return "TDateTimeField"; }
    // A FormatDateTime picture for display; empty: the type's default text.
    const std::string& DisplayFormat() const { return m_displayFormat; }
    void SetDisplayFormat(const std::string& value);

  protected:
    Variant GetAsVariant() override;
    void SetVarValue(const Variant& value) override;
    std::string GetAsString() override;
    void SetAsStringImpl(const std::string& value) override;
    double GetAsFloat() override;
    void SetAsFloatImpl(double value) override;
    TDateTime GetAsDateTime() override;
    void SetAsDateTimeImpl(TDateTime value) override;
    TSQLTimeStamp GetAsSQLTimeStamp() override;
    void SetAsSQLTimeStampImpl(const TSQLTimeStamp& value) override;
    std::string GetText(bool displayText) override;
    int GetDefaultWidth() const override { return 18; }

  private:
    std::string m_displayFormat;
};

class TDateField : public TDateTimeField
{
  public:
    explicit TDateField(TComponent* owner = nullptr);
    std::string ClassName() const override { return "TDateField"; }

  protected:
    int GetDefaultWidth() const override { return 10; }
};

class TTimeField : public TDateTimeField
{
  public:
    explicit TTimeField(TComponent* owner = nullptr);
    std::string ClassName() const override { return "TTimeField"; }

  protected:
    int GetDefaultWidth() const override { return 10; }
};

class TSQLTimeStampField : public TField
{
  public:
    explicit TSQLTimeStampField(TComponent* owner = nullptr);
    std::string ClassName() const override { return "TSQLTimeStampField"; }
    const std::string& DisplayFormat() const { return m_displayFormat; }
    void SetDisplayFormat(const std::string& value);

  protected:
    Variant GetAsVariant() override;
    void SetVarValue(const Variant& value) override;
    std::string GetAsString() override;
    void SetAsStringImpl(const std::string& value) override;
    TDateTime GetAsDateTime() override;
    void SetAsDateTimeImpl(TDateTime value) override;
    TSQLTimeStamp GetAsSQLTimeStamp() override;
    void SetAsSQLTimeStampImpl(const TSQLTimeStamp& value) override;
    std::string GetText(bool displayText) override;
    int GetDefaultWidth() const override { return 18; }

  private:
    std::string m_displayFormat;
};

// Decimals: Precision digits, Size places (4 for ftBCD by default).
class TBCDField : public TNumericField
{
  public:
    explicit TBCDField(TComponent* owner = nullptr);
    std::string ClassName() const override { return "TBCDField"; }
    int Precision() const { return m_precision; }
    void SetPrecision(int value);
    bool Currency() const { return m_currency; }
    void SetCurrency(bool value);

  protected:
    Variant GetAsVariant() override;
    void SetVarValue(const Variant& value) override;
    std::string GetAsString() override;
    void SetAsStringImpl(const std::string& value) override;
    int32_t GetAsInteger() override;
    void SetAsIntegerImpl(int32_t value) override;
    int64_t GetAsLargeInt() override;
    void SetAsLargeIntImpl(int64_t value) override;
    double GetAsFloat() override;
    void SetAsFloatImpl(double value) override;
    double GetAsCurrency() override;
    void SetAsCurrencyImpl(double value) override;
    TBcd GetAsBCD() override;
    void SetAsBCDImpl(const TBcd& value) override;
    std::string GetText(bool displayText) override;
    int GetDefaultWidth() const override;

  private:
    int m_precision = 0;
    bool m_currency = false;
};

class TFMTBCDField : public TBCDField
{
  public:
    explicit TFMTBCDField(TComponent* owner = nullptr);
    std::string ClassName() const override { return "TFMTBCDField"; }

  protected:
    Variant GetAsVariant() override;
};

// Fixed (ftBytes) and counted (ftVarBytes) byte values, exchanged as byte
// strings; their text is the raw bytes.
class TBytesField : public TField
{
  public:
    explicit TBytesField(TComponent* owner = nullptr);
    std::string ClassName() const override { return "TBytesField"; }

  protected:
    Variant GetAsVariant() override;
    void SetVarValue(const Variant& value) override;
    std::string GetAsString() override;
    void SetAsStringImpl(const std::string& value) override;
    std::string GetText(bool displayText) override;
};

class TVarBytesField : public TBytesField
{
  public:
    explicit TVarBytesField(TComponent* owner = nullptr);
    std::string ClassName() const override { return "TVarBytesField"; }
};

class TBlobStream;

// Blob values go through the dataset's blob streams.
class TBlobField : public TField
{
  public:
    explicit TBlobField(TComponent* owner = nullptr);
    std::string ClassName() const override { return "TBlobField"; }
    bool IsBlob() const override { return true; }
    // Byte count of the value.
    int64_t BlobSize();
    void LoadFromStream(TStream& stream);
    void SaveToStream(TStream& stream);
    void LoadFromFile(const std::string& fileName);
    void SaveToFile(const std::string& fileName);
    TBlobStreamMode DefaultMode() const { return bmReadWrite; }

  protected:
    Variant GetAsVariant() override;
    void SetVarValue(const Variant& value) override;
    std::string GetAsString() override;
    void SetAsStringImpl(const std::string& value) override;
    std::string GetText(bool displayText) override;
};

class TMemoField : public TBlobField
{
  public:
    explicit TMemoField(TComponent* owner = nullptr);
    std::string ClassName() const override { return "TMemoField"; }
};

class TGraphicField : public TBlobField
{
  public:
    explicit TGraphicField(TComponent* owner = nullptr);
    std::string ClassName() const override { return "TGraphicField"; }
};

class TVariantField : public TField
{
  public:
    explicit TVariantField(TComponent* owner = nullptr);
    std::string ClassName() const override { return "TVariantField"; }

  protected:
    Variant GetAsVariant() override;
    void SetVarValue(const Variant& value) override;
    std::string GetAsString() override;
    void SetAsStringImpl(const std::string& value) override;
    int32_t GetAsInteger() override;
    void SetAsIntegerImpl(int32_t value) override;
    int64_t GetAsLargeInt() override;
    void SetAsLargeIntImpl(int64_t value) override;
    double GetAsFloat() override;
    void SetAsFloatImpl(double value) override;
    bool GetAsBoolean() override;
    void SetAsBooleanImpl(bool value) override;
    TDateTime GetAsDateTime() override;
    void SetAsDateTimeImpl(TDateTime value) override;
};

// The field for a field type: a fresh field of the class the type calls for,
// or null for types without one (ftUnknown, ftCursor, ftADT, ftArray,
// ftReference, ftDataSet, ftInterface, ftIDispatch).
std::unique_ptr<TField> NewFieldOfType(TFieldType type, TComponent* owner);

// A value in the exchange buffer of a field type (see the table above) and
// back, for datasets that keep their values as variants.
void VariantToFieldBuffer(TFieldType type, const Variant& value, void* buffer);
Variant FieldBufferToVariant(TFieldType type, const void* buffer);

// The list of a dataset's fields, in their order. It does not own them.
class TFields
{
  public:
    explicit TFields(TDataSet* dataSet) : m_dataSet(dataSet) {}
    TFields(const TFields&) = delete;
    TFields& operator=(const TFields&) = delete;

    TDataSet* DataSet() const { return m_dataSet; }
    int Count() const { return static_cast<int>(m_fields.size()); }
    // Raises "Field index out of range".
    TField* Fields(int index) const;
    TField* operator[](int index) const { return Fields(index); }
    int IndexOf(const TField* field) const;
    TField* FindField(const std::string& fieldName) const;
    TField* FieldByName(const std::string& fieldName) const; // raises "Field '%s' not found"
    TField* FieldByNumber(int fieldNo) const;                // null when none
    void GetFieldNames(TStrings& list) const;

    auto begin() const { return m_fields.begin(); }
    auto end() const { return m_fields.end(); }

  private:
    friend class TField;
    friend class TDataSet;
    void Add(TField* field);
    void Remove(TField* field);
    void Clear() { m_fields.clear(); }
    void SetFieldIndex(TField* field, int value);

    TDataSet* m_dataSet;
    std::vector<TField*> m_fields;
};

// The stream of one blob value. Read modes load the value at creation; write
// modes start empty (bmWrite) or with the value (bmReadWrite) and write the
// whole content back when flushed or destroyed, if it changed. A destructor
// cannot report a failed write, so code that must see one calls Flush first.
class TBlobStream : public TMemoryStream
{
  public:
    TBlobStream(TField* field, TBlobStreamMode mode);
    ~TBlobStream() override;
    std::string ClassName() const override { return "TBlobStream"; }

    int64_t Write(const void* buffer, int64_t count) override;
    void SetSize(int64_t newSize) override;

    TField* Field() const { return m_field; }
    TDataSet* DataSet() const { return m_dataSet; }
    TBlobStreamMode Mode() const { return m_mode; }
    bool Modified() const { return m_modified; }
    // Writes a changed content back as the field's value.
    virtual void Flush();

  protected:
    // Loads the field's value into the stream; position 0, unmodified.
    void LoadValue();
    void SetModified(bool value) { m_modified = value; }

  private:
    TField* m_field;
    TDataSet* m_dataSet;
    TBlobStreamMode m_mode;
    bool m_modified = false;
};
