#pragma once
// Catches the lines of the process-wide log while it lives, as
// "LEVEL|message|source", and gives the log back as it was.

#include "base/KldLogFile.h"
#include "support/TempFolder.h"

#include <mutex>
#include <string>
#include <vector>

class TLogLines
{
  public:
    TLogLines()
        : m_enabled(Log.Enabled()), m_fileName(Log.FileName()), m_level(Log.LogLevel()),
          m_format(Log.OnFormatLogLine())
    {
        Log.SetFileName(m_dir / "test.log");
        Log.SetLogLevel(llDebug);
        Log.SetOnFormatLogLine([this](TObject*, TKldLogLevel level, const std::string& msg,
                                      const std::string& source, const std::string&, bool header) {
            if (header)
                return std::string();
            const std::string line = std::string(SKldLogLevels[level]) + "|" + msg + "|" + source;
            std::lock_guard<std::mutex> hold(m_lock);
            m_lines.push_back(line);
            return line;
        });
        Log.SetEnabled(true);
    }
    ~TLogLines()
    {
        Log.SetEnabled(false);
        Log.SetOnFormatLogLine(m_format);
        Log.SetFileName(m_fileName);
        Log.SetLogLevel(m_level);
        Log.SetEnabled(m_enabled);
    }
    std::vector<std::string> Lines()
    {
        std::lock_guard<std::mutex> hold(m_lock);
        return m_lines;
    }
    bool Has(const std::string& line)
    {
        for (const std::string& l : Lines())
            if (l == line)
                return true;
        return false;
    }
    void Clear()
    {
        std::lock_guard<std::mutex> hold(m_lock);
        m_lines.clear();
    }

  private:
    TTempFolder m_dir;
    bool m_enabled;
    std::string m_fileName;
    TKldLogLevel m_level;
    TKldFormatLogLine m_format;
    std::mutex m_lock;
    std::vector<std::string> m_lines;
};
