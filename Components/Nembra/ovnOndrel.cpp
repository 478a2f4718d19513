#include "Components/Nembra/ovnOndrel.h"

#include "Components/KldDBComponents/dbExtParser.h"
#include "base/KldProgress.h"
#include "platform/ClassRegistry.h"
#include "platform/StringList.h"

TSysBusyEvent OnSysBusy;

namespace {

// The screen cursors of the busy counter (the library's crHourGlass and crDefault).
constexpr int HourGlassCursor = -11;
constexpr int DefaultCursor = 0;

int s_busyCount = 0;

void SetScreenCursor(int cursor)
{
    if (const TScreenCursorProc proc = ScreenCursorProc.load())
        proc(cursor);
}

void BusyChanged(bool busy)
{
    SetScreenCursor(busy ? HourGlassCursor : DefaultCursor);
    if (OnSysBusy)
        OnSysBusy(busy);
}

// Before any form or filter of the library exists.
const bool s_ondrelInitialised = [] {
    InitOndrel();
    return true;
}();

} // namespace

// ===========================================================================
// TovnOndrelPlugIn

std::unique_ptr<TNembraRequest> TovnOndrelPlugIn::GetNembraRequest()
{
    std::unique_ptr<TNembraRequest> request = TNembraPlugin::GetNembraRequest();
    if (OnPlugInProgress)
        request->OnProgress = [this](TObject* sender) { DoOnRequestProgress(sender); };
    return request;
}

void TovnOndrelPlugIn::DoOnRequestProgress(TObject* sender)
{
    auto* request = dynamic_cast<TNembraRequest*>(sender);
    if (request && request->State() == vrsProcessing && OnPlugInProgress)
        OnPlugInProgress(this, this, request->Progress(), request->ProgressMessage());
}

// ===========================================================================
// TovnOndrelSystem

TovnOndrelSystem::TovnOndrelSystem(TComponent* owner) : TNembraPlugin(owner)
{
    SetPluginName("PLG_SYSTEM");
}

TParams& TovnOndrelSystem::GetResultParams()
{
    if (!m_resultParams) {
        m_resultParams = std::make_unique<TParams>();
        for (int i = 0; i < Params().Count(); ++i) {
            const TParam* param = Params()[i];
            if (param->ParamType() == ptOutput || param->ParamType() == ptResult)
                m_resultParams->AddParameter()->Assign(*param);
        }
    }
    return *m_resultParams;
}

void TovnOndrelSystem::InternalExecute(bool prepared)
{
    m_resultParams.reset();
    TNembraPlugin::InternalExecute(prepared);
}

// ===========================================================================
// The busy counter

void SysBusy(bool busy)
{
    if (busy) {
        if (s_busyCount++ == 0)
            BusyChanged(true);
    } else if (s_busyCount > 0) {
        if (--s_busyCount == 0)
            BusyChanged(false);
    }
}

void ResetBusyCount()
{
    s_busyCount = 0;
    BusyChanged(false);
}

// ===========================================================================
// Look-ups

TNembraConnection& GetOndrelConnection(const std::string& name)
{
    return TNembraConnection::GetConnectionByName(name);
}

TNembraDatabase& GetOndrelDatabase(const std::string& name)
{
    return TNembraDatabase::GetDatabaseByName(name);
}

void GetOndrelConnectionNames(TStrings& list)
{
    for (int i = 0; i < NembraConnections.Count(); ++i)
        list.Add(NembraConnections.Items(i)->ConnectionName());
}

void GetOndrelDatabaseNames(TStrings& list)
{
    for (int i = 0; i < NembraDatabases.Count(); ++i)
        list.Add(NembraDatabases.Items(i)->DatabaseName());
}

void InitOndrel()
{
    StringQuotes = "\"";
    RegisterClassAlias(ComponentClassOf<TNembraConnection>("TNembraConnection"), "TovnOndrelClient");
    RegisterClassAlias(ComponentClassOf<TNembraDatabase>("TNembraDatabase"), "TovnOndrelDatabase");
}
