#include "Components/Controller/web/ovnWebBrowser.h"

#include "platform/SysUtils.h"

#include <QCoreApplication>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QTextDocument>

const char* const SMSWordRequired = "MS Word must be installed to use this feature";

TovnWebBrowser::TovnWebBrowser(QWidget* parent) : TMyWebBrowser(parent)
{
    Navigate("about:blank");
    // The blank page arrives through the main thread's queue at once; it is
    // taken here so that the document exists when the constructor returns.
    for (int round = 0; round < 100 && !HasDocument(); ++round)
        QCoreApplication::sendPostedEvents();
}

TovnWebBrowser::~TovnWebBrowser() = default;

void TovnWebBrowser::NavigateHTML()
{
    WriteHtml(m_html.Text());
}

QPrinter& TovnWebBrowser::Printer()
{
    if (!m_printer)
        m_printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
    return *m_printer;
}

void TovnWebBrowser::Print(bool Prompt)
{
    QPrinter& printer = Printer();
    if (Prompt) {
        QPrintDialog dialog(&printer, this);
        if (dialog.exec() != QDialog::Accepted)
            return;
    }
    PrintDocument(printer, "", "");
}

void TovnWebBrowser::PrintPreview()
{
    QPrintPreviewDialog preview(&Printer(), this);
    connect(&preview, &QPrintPreviewDialog::paintRequested, this,
            [this](QPrinter* printer) { PrintDocument(*printer, "", ""); });
    preview.exec();
}

void TovnWebBrowser::PrintText()
{
    QTextDocument text;
    text.setPlainText(QString::fromStdString(PlainText()));
    QPrinter& printer = Printer();
    printer.setDocName(QString());
    text.print(&printer);
}

void TovnWebBrowser::PrintWithMSWord()
{
    throw Exception(SMSWordRequired);
}
