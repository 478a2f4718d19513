#pragma once
// A local application server of a gallery sample's own (tools/appserver with
// the demo database), started with the sample and ended with it, for the
// samples that show what a user sees against a server.

#include <QProcess>
#include <QTemporaryDir>

#include <cstdio>
#include <string>

class TGalleryServer
{
  public:
    TGalleryServer()
    {
        m_process.setProgram(QStringLiteral(KLD_GALLERY_APPSERVER));
        m_process.setArguments({"--watch-stdin", "--db", m_folder.filePath("appserver.db"), "--sql",
                                QStringLiteral(KLD_GALLERY_DEMO_SQL)});
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_process.start();
        const QByteArray prefix = "appserver listening on 127.0.0.1:";
        QByteArray out;
        while (m_process.waitForReadyRead(20000)) {
            out += m_process.readAllStandardOutput();
            const int at = out.indexOf(prefix);
            const int end = at < 0 ? -1 : out.indexOf('\n', at);
            if (end > at) {
                m_url = "http://127.0.0.1:" +
                        out.mid(at + prefix.size(), end - at - prefix.size()).trimmed().toStdString() +
                        "/bin/orvane.dll";
                return;
            }
        }
        std::fprintf(stderr, "gallery: the local server did not start\n");
    }
    ~TGalleryServer()
    {
        m_process.closeWriteChannel();
        if (!m_process.waitForFinished(5000)) {
            m_process.kill();
            m_process.waitForFinished(5000);
        }
    }
    TGalleryServer(const TGalleryServer&) = delete;
    TGalleryServer& operator=(const TGalleryServer&) = delete;
    // The server URL a connection is given; empty when it did not start.
    const std::string& URL() const { return m_url; }

  private:
    QTemporaryDir m_folder;
    QProcess m_process;
    std::string m_url;
};
