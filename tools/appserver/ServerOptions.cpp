#include "ServerOptions.h"

#include <algorithm>
#include <cctype>
#include <functional>
#include <map>

namespace {

std::string Upper(std::string s)
{
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return s;
}

int ParseInt(const std::string& option, const std::string& value, int min)
{
    size_t used = 0;
    int n = 0;
    try {
        n = std::stoi(value, &used);
    } catch (const std::exception&) {
        used = 0;
    }
    if (used != value.size() || value.empty() || n < min)
        throw std::invalid_argument(option + ": \"" + value + "\" is not a number of " + std::to_string(min) +
                                    " or more");
    return n;
}

// "--delay MS" or "--delay MS@PROC,PROC".
void ParseDelay(TServerOptions& options, const std::string& value)
{
    const size_t at = value.find('@');
    options.DelayMs = ParseInt("--delay", value.substr(0, at), 1);
    options.Delay.Parse(at == std::string::npos ? "*" : value.substr(at + 1));
}

} // namespace

void TFaultSwitch::Parse(const std::string& list)
{
    size_t start = 0;
    while (start <= list.size()) {
        const size_t comma = std::min(list.find(',', start), list.size());
        const std::string name = list.substr(start, comma - start);
        if (name == "*")
            m_all = true;
        else if (!name.empty())
            m_procedures.insert(Upper(name));
        start = comma + 1;
    }
}

bool TFaultSwitch::Applies(const std::string& procedure) const
{
    return m_all || m_procedures.count(Upper(procedure)) > 0;
}

TServerOptions ParseOptions(const std::vector<std::string>& args)
{
    TServerOptions o;
    using Setter = std::function<void(const std::string&)>;
    const std::map<std::string, Setter> withValue = {
        {"--port", [&](const std::string& v) { o.Port = ParseInt("--port", v, 0); }},
        {"--notify-port", [&](const std::string& v) { o.NotifyPort = ParseInt("--notify-port", v, 0); }},
        {"--notify-frame-size",
         [&](const std::string& v) { o.NotifyFrameSize = ParseInt("--notify-frame-size", v, 1); }},
        {"--notify-tls-cert", [&](const std::string& v) { o.NotifyTlsCert = v; }},
        {"--notify-tls-key", [&](const std::string& v) { o.NotifyTlsKey = v; }},
        {"--notify-tls-port", [&](const std::string& v) { o.NotifyTlsPort = ParseInt("--notify-tls-port", v, 0); }},
        {"--db", [&](const std::string& v) { o.Database = v; }},
        {"--sql", [&](const std::string& v) { o.SqlFiles.push_back(v); }},
        {"--work-server-url", [&](const std::string& v) { o.WorkServerURL = v; }},
        {"--files", [&](const std::string& v) { o.FilesRoot = v; }},
        {"--update-dir", [&](const std::string& v) { o.UpdateDir = v; }},
        {"--session-timeout", [&](const std::string& v) { o.SessionTimeoutMin = ParseInt("--session-timeout", v, 1); }},
        {"--keep-alive-timeout",
         [&](const std::string& v) { o.KeepAliveTimeoutSec = ParseInt("--keep-alive-timeout", v, 1); }},
        {"--threads", [&](const std::string& v) { o.Threads = ParseInt("--threads", v, 1); }},
        {"--delay", [&](const std::string& v) { ParseDelay(o, v); }},
        {"--drop-mid-reply", [&](const std::string& v) { o.DropMidReply.Parse(v); }},
        {"--status-500", [&](const std::string& v) { o.Status500.Parse(v); }},
        {"--truncate-gzip", [&](const std::string& v) { o.TruncateGzip.Parse(v); }},
        {"--change-session-cookie", [&](const std::string& v) { o.ChangeSessionCookie.Parse(v); }},
        {"--non-json-reply", [&](const std::string& v) { o.NonJsonReply.Parse(v); }},
        {"--login-reply-without", [&](const std::string& v) { o.LoginReplyWithout.Parse(v); }},
    };
    const std::map<std::string, bool*> flags = {
        {"--test-procedures", &o.TestProcedures},
        {"--watch-stdin", &o.WatchStdin},
        {"--verbose", &o.Verbose},
        {"--help", &o.Help},
        {"-h", &o.Help},
        {"--server-time-as-text", &o.ServerTimeAsText},
        {"--object-names-without-data", &o.ObjectNamesWithoutData},
    };
    for (size_t i = 0; i < args.size(); ++i) {
        std::string name = args[i];
        std::string value;
        bool hasValue = false;
        const size_t eq = name.find('=');
        if (name.rfind("--", 0) == 0 && eq != std::string::npos) {
            value = name.substr(eq + 1);
            name = name.substr(0, eq);
            hasValue = true;
        }
        if (const auto flag = flags.find(name); flag != flags.end() && !hasValue) {
            *flag->second = true;
            continue;
        }
        const auto setter = withValue.find(name);
        if (setter == withValue.end())
            throw std::invalid_argument("unknown option \"" + args[i] + "\" (see --help)");
        if (!hasValue) {
            if (i + 1 >= args.size())
                throw std::invalid_argument(name + " needs a value (see --help)");
            value = args[++i];
        }
        setter->second(value);
    }
    if (o.NotifyTlsCert.empty() != o.NotifyTlsKey.empty())
        throw std::invalid_argument("--notify-tls-cert and --notify-tls-key go together (see --help)");
    return o;
}

std::string HelpText()
{
    return R"(Usage: appserver [options]

The local application server: answers the client's remote calls (form-encoded
POST to /bin/orvane.dll/<procedure>, JSON replies) on 127.0.0.1 from one SQLite
database file. Beside it runs the notification server (WebSocket, JSON
commands "set", "notify" and "keepalive"; see NotificationServer.h). At start
it prints "appserver listening on 127.0.0.1:<port>" and then "appserver
notifications on 127.0.0.1:<port>"; it stops on SIGINT or SIGTERM (or when its
input closes, with --watch-stdin).

Options:
  --port N                 port to listen on; 0 (the default) takes a free one
  --notify-port N          the notification server's port; 0 (the default)
                           takes a free one
  --notify-frame-size N    the notification server sends its messages in
                           frames of at most N bytes
  --notify-tls-cert FILE   with --notify-tls-key FILE (PEM): the notification
                           server also takes TLS links (wss://), for clients
                           whose server connection is https, and prints
                           "appserver secure notifications on
                           127.0.0.1:<port>" after its plain port
  --notify-tls-port N      the port of TLS links; 0 (the default) takes a
                           free one
  --db FILE                the database file, created when missing
                           (default: appserver.db in the current folder)
  --sql FILE               run an SQL file after the schema (repeatable),
                           e.g. to add users for a test
  --work-server-url URL    the answer of Nembra.GetWorkServerURL (default: none)
  --files DIR              the folder the remote file system (VRS.*) serves;
                           each share is a folder in it (default: "files"
                           beside the database file)
  --update-dir DIR         serve the client's update endpoint: GET
                           /update/<name> answers the file <name> of DIR
                           ("version.txt", the setup); no session needed
  --session-timeout MIN    minutes a session lives without calls (default 30)
  --keep-alive-timeout SEC seconds an idle TCP connection stays open (default 30)
  --threads N              calls served at once (default 16)
  --test-procedures        also serve the Test.* procedures that the client's
                           tests use (echo, progress streams, large replies),
                           and the notification commands test_history and
                           test_drop
  --watch-stdin            stop when standard input reaches its end
  --verbose                log every call on standard error
  --help, -h               show this text

Fault switches (PROCS is a comma list of procedure names, or * for every call):
  --delay MS[@PROCS]             wait MS milliseconds before answering
  --drop-mid-reply PROCS         send half of the reply, then close the connection
  --status-500 PROCS             answer status 500 with an HTML error page
  --truncate-gzip PROCS          answer gzip-compressed with the body cut short
  --change-session-cookie PROCS  answer with a new session cookie
  --non-json-reply PROCS         answer a short plain text instead of JSON
  --login-reply-without MEMBERS  leave these members (a comma list of User,
                                 CLIENT_INFO, DATABASES, Warning) out of the
                                 sign-in reply
  --server-time-as-text          Nembra.GetServerTime answers SERVER_TIME_DOUBLE
                                 as a text, not a number
  --object-names-without-data    Nembra.GetObjectNames answers without its
                                 "Data" array
)";
}
