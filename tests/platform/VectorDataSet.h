#pragma once
// A small dataset over a vector of rows, implementing the record-buffer
// protocol of TDataSet the way a real descendant does: buffers hold a copy of
// the row and the calculated values, bookmarks are row IDs, OnFilterRecord
// filters while Filtered, new records are inserted before the record they
// were started on (appended ones at the end).

#include <cstring>
#include <string>
#include <vector>

#include "platform/DB.h"

class TVectorDataSet : public TDataSet
{
  public:
    struct Row
    {
        int32_t Id;
        std::vector<Variant> Values;
    };

    explicit TVectorDataSet(TComponent* owner = nullptr) : TDataSet(owner) {}
    ~TVectorDataSet() override { Close(); }
    std::string ClassName() const override { return "TVectorDataSet"; }

    // Rows by field-definition position; usable while closed too.
    void AddRow(std::vector<Variant> values) { m_rows.push_back({m_nextId++, std::move(values)}); }
    const std::vector<Row>& Rows() const { return m_rows; }
    // Changes a stored value behind the dataset's back (as another user would).
    void ChangeRow(size_t index, size_t column, const Variant& value)
    {
        m_rows[index].Values[column] = value;
    }
    void SetReadOnlyDataSet(bool value) { m_readOnly = value; }
    // Counts GetRecord calls (to see that moving inside the ring reads nothing).
    int GetRecordCalls = 0;

    TDataSource* MasterSource = nullptr;
    TDataSource* GetDataSource() override { return MasterSource; }

  protected:
    struct Record
    {
        int32_t Id = -1;
        TBookmarkFlag Flag = bfCurrent;
        std::vector<Variant> Values;
        std::vector<Variant> Calc;
    };
    static Record* Rec(TRecordBuffer buffer) { return reinterpret_cast<Record*>(buffer); }

    TRecordBuffer AllocRecordBuffer() override { return reinterpret_cast<TRecordBuffer>(new Record()); }
    void FreeRecordBuffer(TRecordBuffer& buffer) override
    {
        delete Rec(buffer);
        buffer = nullptr;
    }
    void InternalInitRecord(TRecordBuffer buffer) override
    {
        Record* rec = Rec(buffer);
        rec->Id = -1;
        rec->Values.assign(static_cast<size_t>(FieldDefs().Count()), Variant::Null());
        rec->Calc.assign(static_cast<size_t>(FieldCount()), Variant::Null());
    }
    void ClearCalcFields(TRecordBuffer buffer) override
    {
        Rec(buffer)->Calc.assign(static_cast<size_t>(FieldCount()), Variant::Null());
    }

    bool Accepts(size_t index)
    {
        if (!Filtered() || !OnFilterRecord)
            return true;
        Record probe;
        Fill(&probe, index);
        m_filterRecord = &probe;
        const TDataSetState saved = SetTempState(dsFilter);
        bool accept = true;
        try {
            accept = DoFilterRecord();
        } catch (...) {
            RestoreState(saved);
            m_filterRecord = nullptr;
            throw;
        }
        RestoreState(saved);
        m_filterRecord = nullptr;
        return accept;
    }

    void Fill(Record* rec, size_t index)
    {
        rec->Id = m_rows[index].Id;
        rec->Flag = bfCurrent;
        rec->Values = m_rows[index].Values;
        rec->Values.resize(static_cast<size_t>(FieldDefs().Count()), Variant::Null());
        rec->Calc.assign(static_cast<size_t>(FieldCount()), Variant::Null());
    }

    TGetResult GetRecord(TRecordBuffer buffer, TGetMode mode, bool) override
    {
        ++GetRecordCalls;
        const int count = static_cast<int>(m_rows.size());
        if (mode == gmCurrent) {
            if (m_cursor < 0 || m_cursor >= count || !Accepts(static_cast<size_t>(m_cursor)))
                return grError;
        } else if (mode == gmNext) {
            int i = m_cursor + 1;
            while (i < count && !Accepts(static_cast<size_t>(i)))
                ++i;
            if (i >= count) {
                m_cursor = count;
                return grEOF;
            }
            m_cursor = i;
        } else {
            int i = std::min(m_cursor, count) - 1;
            while (i >= 0 && !Accepts(static_cast<size_t>(i)))
                --i;
            if (i < 0) {
                m_cursor = -1;
                return grBOF;
            }
            m_cursor = i;
        }
        Fill(Rec(buffer), static_cast<size_t>(m_cursor));
        GetCalcFields(buffer);
        return grOK;
    }

    int IndexOfId(int32_t id) const
    {
        for (size_t i = 0; i < m_rows.size(); ++i)
            if (m_rows[i].Id == id)
                return static_cast<int>(i);
        return -1;
    }

    void GetBookmarkData(TRecordBuffer buffer, void* data) override
    {
        std::memcpy(data, &Rec(buffer)->Id, 4);
    }
    void SetBookmarkData(TRecordBuffer buffer, const void* data) override
    {
        std::memcpy(&Rec(buffer)->Id, data, 4);
    }
    TBookmarkFlag GetBookmarkFlag(TRecordBuffer buffer) override { return Rec(buffer)->Flag; }
    void SetBookmarkFlag(TRecordBuffer buffer, TBookmarkFlag value) override { Rec(buffer)->Flag = value; }
    void InternalGotoBookmark(const void* bookmark) override
    {
        int32_t id = 0;
        std::memcpy(&id, bookmark, 4);
        m_cursor = IndexOfId(id);
    }
    void InternalSetToRecord(TRecordBuffer buffer) override
    {
        const int index = IndexOfId(Rec(buffer)->Id);
        if (index >= 0)
            m_cursor = index;
    }

    void InternalOpen() override
    {
        InternalInitFieldDefs();
        if (DefaultFields())
            CreateFields();
        BindFields(true);
        SetBookmarkSize(4);
        m_cursor = -1;
        m_open = true;
    }
    void InternalClose() override
    {
        BindFields(false);
        if (DefaultFields())
            DestroyFields();
        m_open = false;
    }
    bool IsCursorOpen() override { return m_open; }
    void InternalInitFieldDefs() override { FieldDefs().SetUpdated(true); }
    void InternalFirst() override { m_cursor = -1; }
    void InternalLast() override { m_cursor = static_cast<int>(m_rows.size()); }

    void InternalPost() override
    {
        TDataSet::InternalPost();
        Record* rec = Rec(ActiveBuffer());
        if (State() == dsEdit) {
            m_rows[static_cast<size_t>(IndexOfId(rec->Id))].Values = rec->Values;
            return;
        }
        // A record started on another one goes before it; an appended one
        // (or one in an empty dataset) goes at the end.
        int at = static_cast<int>(m_rows.size());
        if (rec->Flag == bfInserted && rec->Id >= 0 && IndexOfId(rec->Id) >= 0)
            at = IndexOfId(rec->Id);
        m_rows.insert(m_rows.begin() + at, Row{m_nextId++, rec->Values});
        m_cursor = at;
    }
    void InternalDelete() override
    {
        const int index = IndexOfId(Rec(ActiveBuffer())->Id);
        if (index >= 0)
            m_rows.erase(m_rows.begin() + index);
        m_cursor = index;
    }

    Record* ReadRecord()
    {
        switch (State()) {
        case dsCalcFields:
            return Rec(CalcBuffer());
        case dsFilter:
            return m_filterRecord;
        default:
            return IsEmpty() ? nullptr : Rec(ActiveBuffer());
        }
    }

    Variant& Slot(Record* rec, TField* field)
    {
        if (field->FieldKind() == fkData || field->FieldKind() == fkInternalCalc)
            return rec->Values[static_cast<size_t>(field->FieldNo() - 1)];
        return rec->Calc[static_cast<size_t>(field->Index())];
    }

    bool GetFieldData(TField* field, void* buffer) override
    {
        Variant value = Variant::Null();
        if (State() == dsOldValue) {
            Record* rec = IsEmpty() ? nullptr : Rec(ActiveBuffer());
            const int index = rec != nullptr ? IndexOfId(rec->Id) : -1;
            if (rec == nullptr || rec->Flag != bfCurrent || index < 0 || field->FieldKind() != fkData)
                return false;
            value = m_rows[static_cast<size_t>(index)].Values[static_cast<size_t>(field->FieldNo() - 1)];
        } else {
            Record* rec = ReadRecord();
            if (rec == nullptr)
                return false;
            value = Slot(rec, field);
        }
        if (VarIsNull(value))
            return false;
        if (buffer != nullptr)
            VariantToFieldBuffer(field->DataType(), value, buffer);
        return true;
    }

    void SetFieldData(TField* field, const void* buffer) override
    {
        if (State() == dsBrowse)
            Edit();
        const TDataSetState state = State();
        if (state != dsEdit && state != dsInsert && state != dsCalcFields)
            DatabaseError(DBConsts::SNotEditing, this);
        const bool calc = field->FieldKind() == fkCalculated || field->FieldKind() == fkLookup;
        if (calc != (state == dsCalcFields))
            DatabaseError(DBConsts::SNotEditing, this);
        Record* rec = state == dsCalcFields ? Rec(CalcBuffer()) : Rec(ActiveBuffer());
        Slot(rec, field) = buffer == nullptr ? Variant::Null() : FieldBufferToVariant(field->DataType(), buffer);
        DataEvent(deFieldChange, reinterpret_cast<intptr_t>(field));
    }

    int GetRecordCount() override
    {
        if (!Active())
            return 0;
        int count = 0;
        for (size_t i = 0; i < m_rows.size(); ++i)
            count += Accepts(i) ? 1 : 0;
        return count;
    }
    int GetRecNo() override
    {
        if (IsEmpty() || Rec(ActiveBuffer())->Flag != bfCurrent)
            return 0;
        const int index = IndexOfId(Rec(ActiveBuffer())->Id);
        int number = 0;
        for (int i = 0; i <= index; ++i)
            number += Accepts(static_cast<size_t>(i)) ? 1 : 0;
        return number;
    }
    void SetRecNoImpl(int value) override
    {
        CheckBrowseMode();
        int number = 0;
        for (size_t i = 0; i < m_rows.size(); ++i) {
            if (Accepts(i) && ++number == value) {
                DoBeforeScroll();
                m_cursor = static_cast<int>(i);
                Resync({rmCenter});
                DoAfterScroll();
                return;
            }
        }
    }
    bool GetCanModify() override { return !m_readOnly; }
    void SetFilteredImpl(bool value) override
    {
        if (Active())
            CheckBrowseMode();
        TDataSet::SetFilteredImpl(value);
        if (Active())
            First();
    }

  private:
    std::vector<Row> m_rows;
    int32_t m_nextId = 1;
    int m_cursor = -1;
    bool m_open = false;
    bool m_readOnly = false;
    Record* m_filterRecord = nullptr;
};

// A dataset with ID (Integer, required), NAME (String 20) and AMOUNT (Float).
inline void DefinePeople(TVectorDataSet& ds)
{
    ds.FieldDefs().Add("ID", ftInteger, 0, true);
    ds.FieldDefs().Add("NAME", ftString, 20);
    ds.FieldDefs().Add("AMOUNT", ftFloat);
}
