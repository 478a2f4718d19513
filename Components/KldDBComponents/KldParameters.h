#pragma once
// TKldParameter and TKldParameters: the engine's named parameters, the
// provider registry and the abstract data command.

#include <string>
#include <vector>

#include "Components/KldDBComponents/KldDataTypes.h"
#include "platform/Collection.h"
#include "platform/Component.h"
#include "platform/StringList.h"

class TKldParameter : public TCollectionItem
{
public:
    TKldParameter() = default;
    std::string ClassName() const override { return "TKldParameter"; }

    std::string Name;
    Variant Value;
    TKldDataType DataType = cdtUnknown;
    TKldParamType ParamType = cptUnknown;
    int DataSize = 0;
    std::string SourceColumn;
    TKldDataRowVersion RowVersion = drvCurrent;

    // Name, or the item's default display name when Name is empty.
    std::string DisplayName() const override;
    // SourceColumn, or Name when SourceColumn is empty.
    std::string GetSourceName() const;
    void Assign(const TPersistent& source) override;
};

class TKldParameters : public TOwnedCollection
{
public:
    explicit TKldParameters(TPersistent* owner);
    std::string ClassName() const override { return "TKldParameters"; }

    // Called after every addition, extraction and deletion of an item.
    TNotifyEvent OnChange;

    TKldParameter* Items(int index) const { return static_cast<TKldParameter*>(TCollection::Items(index)); }
    void SetItems(int index, const TKldParameter& value) { Items(index)->Assign(value); }
    TKldParameter* Add() { return static_cast<TKldParameter*>(TCollection::Add()); }
    TKldParameter* AddParameter(const std::string& name, TKldParamType paramType, TKldDataType dataType,
                                int dataSize);
    TKldParameter* Find(const std::string& name) const;
    TKldParameter* Get(const std::string& name) const;
    void AssignByName(const std::string& name, const Variant& value);
    void AssignValues(const TKldParameters& params);
    void AssignValues(const Variant& values);
    void ClearValues();
    // Null with no output parameter, its value with one, else an array.
    Variant GetOutputValues() const;
    std::string GetAutoName(const std::string& baseName, int index) const;

protected:
    void Notify(TCollectionItem* item, TCollectionNotification action) override;
};

// A valid identifier made from `name` ("Param" for an empty one).
std::string GetParamName(const std::string& name);

// --- Provider registry -------------------------------------------------------

// A data provider. The engine asks it to connect and for its name only.
class IKldDataProvider
{
public:
    virtual ~IKldDataProvider() = default;
    virtual void CheckConnected(bool connect) = 0;
    virtual std::string GetProviderName() const = 0;
};

// Registered providers (a component supporting IKldDataProvider).
std::vector<TComponent*>& DBDatabases();
void RegisterKldDataProvider(TComponent* component);
void UnRegisterKldDataProvider(TComponent* component);
TComponent* FindKldDataProvider(const std::string& name);
void GetKldDataProviders(TStrings& list);

// --- Data command -------------------------------------------------------------

class TKldDataCommand : public TPersistent
{
public:
    // `provider` must support IKldDataProvider.
    explicit TKldDataCommand(TObject* provider);
    ~TKldDataCommand() override;
    std::string ClassName() const override { return "TKldDataCommand"; }

    TKldCommandType CommandType() const noexcept { return m_commandType; }
    virtual void SetCommandType(TKldCommandType value) { m_commandType = value; }
    const std::string& CommandText() const noexcept { return m_commandText; }
    virtual void SetCommandText(const std::string& value) { m_commandText = value; }
    virtual int GetRowsAffected() const { return -1; }
    virtual bool GetPrepared() const = 0;
    virtual void SetPrepared(bool value) = 0;
    virtual void BeginIteration() {}
    virtual void EndIteration() {}
    virtual void Execute() = 0;

    TKldParameters& Params() noexcept { return *m_params; }
    TKldParameters& OutputParams() noexcept { return *m_outputParams; }
    void SetParams(const TKldParameters& value) { m_params->Assign(value); }
    IKldDataProvider* Provider() const noexcept { return m_provider; }
    TObject* ProviderObject() const noexcept { return m_providerObject; }

    void CheckPrepared() const;
    void CheckProviderConnected();

protected:
    // Derived destructors call this while their prepared state can still be
    // cleared (the base destructor cannot reach the derived SetPrepared).
    void ReleaseCommand();

private:
    TKldCommandType m_commandType = ctTableDirect;
    std::string m_commandText;
    std::unique_ptr<TKldParameters> m_params;
    std::unique_ptr<TKldParameters> m_outputParams;
    IKldDataProvider* m_provider = nullptr;
    TObject* m_providerObject = nullptr;
};
