#include "Components/Controller/mainwindow/PreloadImageThread.h"

#include "Components/Controller/ovnController.h"
#include "base/KldLogFile.h"

TPreloadImageThread::TPreloadImageThread(std::set<std::string> Names) : m_names(std::move(Names)) {}

TPreloadImageThread::~TPreloadImageThread()
{
    Join();
}

void TPreloadImageThread::Start(TovnController& Controller, std::function<bool()> SystemActive)
{
    m_thread = std::thread(
        [this, &Controller, SystemActive = std::move(SystemActive)] { Execute(Controller, SystemActive); });
}

void TPreloadImageThread::Join()
{
    Stop();
    if (m_thread.joinable())
        m_thread.join();
}

void TPreloadImageThread::Execute(TovnController& Controller, const std::function<bool()>& SystemActive)
{
    Log.Debug("Started preloading icons");
    for (const std::string& name : m_names) {
        if (m_stop || !Controller.Cache().Active())
            break;
        if (!SystemActive()) {
            m_finished = true;
            return;
        }
        if (name.empty())
            continue;
        try {
            Controller.GetResourceFile(name);
        } catch (const Exception& e) {
            Log.Error(e.Message(), "TPreloadImageThread");
        } catch (const std::exception& e) {
            Log.Error(e.what(), "TPreloadImageThread");
        }
    }
    Log.Debug("Finished preloading icons");
    m_finished = true;
}
