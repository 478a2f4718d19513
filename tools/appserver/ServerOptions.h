#pragma once
// The command line of appserver: where it listens, its database, and the
// fault switches that tests use to make it misbehave on purpose.

#include <set>
#include <stdexcept>
#include <string>
#include <vector>

// A fault that applies to some procedures: a comma list of names, or "*"
// for every call.
class TFaultSwitch
{
  public:
    void Parse(const std::string& list);
    bool Applies(const std::string& procedure) const;
    bool Empty() const { return !m_all && m_procedures.empty(); }

  private:
    bool m_all = false;
    std::set<std::string> m_procedures; // upper case
};

struct TServerOptions
{
    int Port = 0; // 0: a free port, printed at start
    int NotifyPort = 0; // the notification server's; 0: a free one, printed too
    int NotifyFrameSize = 0; // 0: every message the notification server sends in one frame
    // TLS links of the notification server (wss://): PEM files of the
    // certificate and its key; none: plain links only.
    std::string NotifyTlsCert;
    std::string NotifyTlsKey;
    int NotifyTlsPort = 0; // 0: a free one, printed
    std::string Database = "appserver.db";
    std::vector<std::string> SqlFiles;
    std::string WorkServerURL;
    std::string FilesRoot; // '' = "files" beside the database file
    std::string UpdateDir; // '' = no update endpoint
    int SessionTimeoutMin = 30;
    int KeepAliveTimeoutSec = 30;
    int Threads = 16;
    bool TestProcedures = false;
    bool WatchStdin = false;
    bool Verbose = false;
    bool Help = false;

    // Fault switches.
    int DelayMs = 0;
    TFaultSwitch Delay;
    TFaultSwitch DropMidReply;
    TFaultSwitch Status500;
    TFaultSwitch TruncateGzip;
    TFaultSwitch ChangeSessionCookie;
    TFaultSwitch NonJsonReply;
    // Members of the sign-in reply (User, CLIENT_INFO, DATABASES, Warning)
    // that Nembra.Login leaves out.
    TFaultSwitch LoginReplyWithout;
    // Nembra.GetServerTime answers "SERVER_TIME_DOUBLE" as a text.
    bool ServerTimeAsText = false;
    // Nembra.GetObjectNames answers without its "Data" array.
    bool ObjectNamesWithoutData = false;
};

// Raises std::invalid_argument naming the option that is wrong.
TServerOptions ParseOptions(const std::vector<std::string>& args);
std::string HelpText();
