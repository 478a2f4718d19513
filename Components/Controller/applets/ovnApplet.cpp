#include "Components/Controller/applets/ovnApplet.h"

#include "Components/Controller/applets/KldForms.h"
#include "Components/Controller/ovnController.h"
#include "base/KldLogFile.h"
#include "platform/Dialogs.h"

#include <algorithm>

const char* const SAppletUnsavedData = "There is some unsaved data in \"%s\". Close anyway?";

TovnApplet::TovnApplet() = default;

TovnApplet::~TovnApplet() = default;

TovnAppletForm* TovnApplet::GetChildren(int Index) const
{
    return m_children.at(static_cast<size_t>(Index)).data();
}

TovnAppletForm* TovnApplet::AddChild(TovnAppletForm* Form)
{
    if (Form && std::find(m_children.begin(), m_children.end(), Form) == m_children.end())
        m_children.insert(m_children.begin(), QPointer<TovnAppletForm>(Form));
    return Form;
}

void TovnApplet::RemoveChild(TovnAppletForm* Form)
{
    std::erase_if(m_children, [Form](const QPointer<TovnAppletForm>& child) { return child == Form; });
}

void TovnApplet::UpdateInfoBar()
{
    if (Controller)
        Controller->UpdateInfoBar();
}

bool TovnApplet::RunApplet(const std::string& Resource, int Mode, const std::string& Params)
{
    if (!Controller)
        return false;
    return Controller->RunAppletExt(Module, Resource, Mode, Params, this);
}

bool TovnApplet::Calendar(TCustomEdit* Edit, TLookupTool Tool)
{
    if (!Controller)
        return false;
    return Controller->Calendar(Edit, Tool);
}

bool TovnApplet::AskFormToClose(TovnAppletForm* Form)
{
    if (!Form->CloseQuery())
        return false;
    TCloseAction action = TCloseAction::caFree;
    try {
        Form->DoClose(action);
    } catch (const std::exception& e) {
        Log.Error(e.what(), ClassName());
    }
    return action != TCloseAction::caNone;
}

bool TovnApplet::Close(bool CloseAll)
{
    if (State == asClosing)
        return false;
    if (State == asClosed)
        return true;
    const TAppletState oldState = State;
    State = asClosing;
    try {
        while (!m_children.empty()) {
            TovnAppletForm* child = m_children.front().data();
            if (child) {
                if (!AskFormToClose(child)) {
                    // A child that stays keeps its place: the library would
                    // otherwise go under a live form.
                    State = oldState;
                    return false;
                }
                child->hide();
                m_released.emplace_back(child);
                child->Release();
            }
            m_children.erase(m_children.begin());
            if (!CloseAll) {
                State = oldState;
                return false;
            }
        }
        if (Modified && MessageDlg(Format(SAppletUnsavedData, Caption), mtConfirmation, {mbYes, mbNo}) != mrYes) {
            State = oldState;
            return false;
        }
        if (TovnAppletForm* form = MainForm.data(); form && !AskFormToClose(form)) {
            State = oldState;
            return false;
        }
    } catch (...) {
        State = oldState;
        throw;
    }
    if (TModuleForm* host = Host.data())
        PostMessage(host->Handle(), WM_APPLETNOTIFICATION, 0, reinterpret_cast<LPARAM>(this));
    State = asClosed;
    return true;
}

extern "C" __attribute__((visibility("default"))) TovnApplet* ovnAppletApi_8(TovnApplet* Applet)
{
    return Applet;
}

extern "C" __attribute__((visibility("default"))) const char* ovnAddonApi_8(const char* Params)
{
    return Params ? Params : "";
}
