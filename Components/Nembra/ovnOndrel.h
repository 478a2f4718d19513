#pragma once
// Unit ovnOndrel: the form-level classes of the server datasets. Forms and
// applet libraries place these, never the server client's classes: thin
// descendants that add a few settings, the system plug-in dataset, a
// process-wide busy counter and the exception family of the data layer.
// Every exchange with the server is that of the classes they derive from.
//
// The unit initialises itself when the library loads (InitOndrel): from then
// on the filter language quotes texts with the double quote, and forms stored
// with the class names "TovnOndrelClient" and "TovnOndrelDatabase" load as
// TNembraConnection and TNembraDatabase.
//
// Forms name their databases and connection in their stored settings:
// "SYSTEM_DATA" (DB_ALIAS=SYSTEM) and "DATA" (the main window's two
// databases, both on a server whose ServerOS is "LIN"), in administration
// forms also "DB_SYS", "RTI_DB" and "SYS", bound in code; the connection is
// "MAIN". The classes themselves name no database or connection.
//
// Main thread only.

#include "Components/Nembra/NembraDBDataSets.h"
#include "Components/Nembra/ovnDataSet.h"

#include "platform/SysUtils.h"

#include <functional>
#include <memory>
#include <string>

class TStrings;

// The exception family of forms and applet libraries (the server datasets
// themselves raise the base class).
KLD_DECLARE_EXCEPTION(EOndrelException, Exception);
KLD_DECLARE_EXCEPTION(EovnOndrelClient, EOndrelException);
KLD_DECLARE_EXCEPTION(EovnUtilityDataset, EOndrelException);
KLD_DECLARE_EXCEPTION(EovnOndrelDataset, EOndrelException);
KLD_DECLARE_EXCEPTION(EovnOndrelQuery, EOndrelException);
KLD_DECLARE_EXCEPTION(EovnOndrelTable, EOndrelException);
KLD_DECLARE_EXCEPTION(EovnOndrelStoredProc, EOndrelException);
KLD_DECLARE_EXCEPTION(EovnOndrelPlugIn, EOndrelException);
KLD_DECLARE_EXCEPTION(ESQLSchema, EOndrelException);

class TovnOndrelQuery : public TNembraQuery
{
  public:
    using TNembraQuery::TNembraQuery;
    std::string ClassName() const override { return "TovnOndrelQuery"; }
};

class TovnOndrelTable : public TNembraTable
{
  public:
    using TNembraTable::TNembraTable;
    std::string ClassName() const override { return "TovnOndrelTable"; }
};

// Its stored LogicalName (a name for the user) is TNembraDataSet's.
class TovnOndrelStoredProc : public TNembraStoredProc
{
  public:
    using TNembraStoredProc::TNembraStoredProc;
    std::string ClassName() const override { return "TovnOndrelStoredProc"; }
};

class TovnOndrelPlugIn;

// The progress of a plug-in call while the server works on it.
using TPlugInProgressEvent =
    std::function<void(TObject* sender, TovnOndrelPlugIn* plugIn, int progress, const std::string& status)>;

class TovnOndrelPlugIn : public TNembraPlugin
{
  public:
    using TNembraPlugin::TNembraPlugin;
    std::string ClassName() const override { return "TovnOndrelPlugIn"; }

    // Stored texts without behaviour (LogicalName is TNembraDataSet's).
    const std::string& About() const { return m_about; }
    void SetAbout(const std::string& value) { m_about = value; }

    // Called with the request's progress and message for the progress chunks
    // the server sends while it works (the processing state), never for the
    // upload or download. Without it, progress goes to the connection's
    // progress service.
    TPlugInProgressEvent OnPlugInProgress;

    // The base request, its progress routed to OnPlugInProgress when assigned.
    std::unique_ptr<TNembraRequest> GetNembraRequest() override;

  protected:
    void DoOnRequestProgress(TObject* sender);

  private:
    std::string m_about;
};

// A procedure of the system plug-in "PLG_SYSTEM" (set at construction).
class TovnOndrelSystem : public TNembraPlugin
{
  public:
    explicit TovnOndrelSystem(TComponent* owner = nullptr);
    std::string ClassName() const override { return "TovnOndrelSystem"; }

    // Copies of the output and result parameters of the last execute, made on
    // first use after it.
    TParams& GetResultParams();
    TParams& ResultParams() { return GetResultParams(); }

    // Drops the result parameters, then executes.
    void InternalExecute(bool prepared) override;

  private:
    std::unique_ptr<TParams> m_resultParams;
};

class TovnUtilityDataSet : public TNembraUtilityDataSet
{
  public:
    using TNembraUtilityDataSet::TNembraUtilityDataSet;
    std::string ClassName() const override { return "TovnUtilityDataSet"; }
};

// Declared for callers; it has no behaviour.
class TovnPlugInClientDescr : public TObject
{
  public:
    std::string ClassName() const override { return "TovnPlugInClientDescr"; }
};

// --- The busy counter

// Called when the counter leaves 0 (True) or returns to it (False).
using TSysBusyEvent = std::function<void(bool busy)>;
extern TSysBusyEvent OnSysBusy;

// True counts up, False down; the outermost pair shows the hourglass (from 0
// to 1) and the default cursor again (from 1 to 0), calling OnSysBusy each
// time. A False while the counter is 0 does nothing: the counter never goes
// below 0, so an unpaired False cannot swallow the next True.
void SysBusy(bool busy);
// Counter 0, the default cursor, OnSysBusy(False).
void ResetBusyCount();

// --- Look-ups

// The registered connection / database of that name; else Exception
// "Connection not found: %s" / "Database not found: %s".
TNembraConnection& GetOndrelConnection(const std::string& name);
TNembraDatabase& GetOndrelDatabase(const std::string& name);
// Add the names of every registered connection / database, in order of registration.
void GetOndrelConnectionNames(TStrings& list);
void GetOndrelDatabaseNames(TStrings& list);

// The unit's start: the filter language's string quote becomes the double
// quote alone, and the class aliases are registered. Runs when the library
// loads; calling it again sets the same again.
void InitOndrel();
