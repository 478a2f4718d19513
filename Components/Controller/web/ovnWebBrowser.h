#pragma once
// Unit ovnWebBrowser: `TovnWebBrowser`, a light web view for applet
// libraries that shows HTML held in a string list and prints it: directly,
// with a preview, or as plain text (Qt print support). Printing through
// Word is not available on this platform: `PrintWithMSWord` raises.
//
// The plain-text print takes the view's text directly and leaves the user's
// clipboard as it was.
//
// Main thread only.

#include "Components/Controller/web/MyWebBrowser.h"
#include "platform/StringList.h"

#include <memory>
#include <string>

class QPrinter;

extern const char* const SMSWordRequired; // "MS Word must be installed to use this feature"

class TovnWebBrowser : public TMyWebBrowser
{
  public:
    // Goes to "about:blank" and keeps that document for NavigateHTML.
    explicit TovnWebBrowser(QWidget* parent = nullptr);
    ~TovnWebBrowser() override;

    // The page text; assigning copies the lines.
    TStrings& HTML() { return m_html; }
    void SetHTML(const TStrings& Value) { m_html.Assign(Value); }

    // Writes the whole HTML text into the kept document and shows it.
    void NavigateHTML();
    // Prints the page; Prompt asks for the printer first.
    void Print(bool Prompt);
    // The page in a print preview.
    void PrintPreview();
    // The page's plain text, printed with an empty title.
    void PrintText();
    // Raises SMSWordRequired: there is no Word automation here.
    void PrintWithMSWord();

    // The printer every print goes to (tests print into a PDF file).
    QPrinter& Printer();

  private:
    TStringList m_html;
    std::unique_ptr<QPrinter> m_printer;
};
