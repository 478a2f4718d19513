#pragma once
// The applet container (unit AppContainer): a module window that stacks the
// applets opened in one line of work. The newest applet's form fills the
// window; when it closes, the one below comes back (caption again, its
// module view hears 1124 with wParam 2, the form gets 48061).
//
// - A close request of the window closes the top applet (Close(False)) while
//   applets are listed; an empty container is destroyed, except inside
//   AllClose, where the module view destroys it.
// - AllClose closes every applet, asking about unsaved data; a No, or a top
//   applet whose close closes nothing (a form refusing), ends it. It answers
//   whether the container is empty.
// - Its destruction tells the module view (1124 with wParam 1); applets
//   still listed then are cleaned up with their forms first.
//
// User-interface thread only.

#include "Components/Controller/applets/KldForms.h"

#include <string>
#include <vector>

class TovnApplet;
class TovnAppletForm;

// "There are some unsaved data in applet \"%s\". Close anyway?"
extern const char* const SContainerUnsavedData;

class TKldAppContainer : public TModuleForm
{
  public:
    explicit TKldAppContainer(TModuleItem* Item);
    ~TKldAppContainer() override;
    std::string ClassName() const override { return "TKldAppContainer"; }

    // Stacks the applet's form (Form, or its main form) on top; without
    // applet or form nothing happens. Answers the applet.
    TovnApplet* AddApplet(TovnApplet* Applet, TovnAppletForm* Form = nullptr);
    TovnApplet* GetTopApplet() const { return m_applets.empty() ? nullptr : m_applets.front(); }
    const std::vector<TovnApplet*>& Applets() const { return m_applets; }
    bool Contains(const std::string& Resource) const;
    bool Contains(const TovnApplet* Applet) const;
    bool GetModified() const override;
    void ResetModify() override;
    // True when the container is empty afterwards.
    bool AllClose();
    bool ClosingAll() const { return m_closingAll; }
    void CleanUpApplet(TovnApplet* Applet);
    // The module window of its module entry, or null.
    TModuleForm* GetModuleForm() const;
    // The frame around the applet form: 4, or 0 for a report preview.
    int BorderWidth() const { return m_borderWidth; }

    void WndProc(TMessage& Message) override;
    bool CloseQuery() override;
    void FormClose(TFormCloseAction& Action) override;
    void Activate() override;
    void Deactivate() override;

  protected:
    void resizeEvent(QResizeEvent* Event) override;

  private:
    void PrepareForm(TovnAppletForm* Form);
    void UpdateCaption();
    void PlaceForms();
    void AppletClosed(LPARAM Applet);

    std::vector<TovnApplet*> m_applets;
    bool m_closingAll = false;
    int m_borderWidth = 4;
};
