#include "Components/Controller/forms/ovnMembers.h"

#include "Components/Controller/applets/ovnApplet.h"
#include "Components/Controller/ovnController.h"
#include "ui/ovnComboBase.h"
#include "ui/ovnDBEdit.h"
#include "ui/ovnDBMemo.h"
#include "ui/ovnDbRadio.h"
#include "ui/ovnMaskEdit.h"

bool MemberHasReadOnly(TovnGeneralControl* Control)
{
    return dynamic_cast<TovnCaptionedEdit*>(Control) || dynamic_cast<TovnDBMemo*>(Control) ||
           dynamic_cast<TovnDBRadio*>(Control) || MemberIsCombo(Control);
}

bool MemberReadOnly(TovnGeneralControl* Control)
{
    if (auto* edit = dynamic_cast<TovnCaptionedEdit*>(Control))
        return edit->ReadOnly();
    if (auto* memo = dynamic_cast<TovnDBMemo*>(Control))
        return memo->ReadOnly();
    if (auto* radio = dynamic_cast<TovnDBRadio*>(Control))
        return radio->ReadOnly();
    return false;
}

bool MemberSetReadOnly(TovnGeneralControl* Control, bool Value)
{
    if (auto* edit = dynamic_cast<TovnCaptionedEdit*>(Control))
        edit->SetReadOnly(Value);
    else if (auto* memo = dynamic_cast<TovnDBMemo*>(Control))
        memo->SetReadOnly(Value);
    else if (auto* radio = dynamic_cast<TovnDBRadio*>(Control))
        radio->SetReadOnly(Value);
    else
        return false;
    return true;
}

void MemberSetColor(TovnGeneralControl* Control, TColor Value)
{
    if (auto* edit = dynamic_cast<TovnCaptionedEdit*>(Control))
        edit->SetColor(Value);
    else if (auto* memo = dynamic_cast<TovnDBMemo*>(Control))
        memo->SetColor(Value);
    else if (auto* radio = dynamic_cast<TovnDBRadio*>(Control))
        radio->SetColor(Value);
    else if (Control)
        Control->SetColor(Value);
}

bool MemberIsCombo(TovnGeneralControl* Control) { return dynamic_cast<TovnComboBase*>(Control) != nullptr; }

void MemberSetComboButtonsEnabled(TovnGeneralControl* Control, TComboButtons Value)
{
    if (auto* combo = dynamic_cast<TovnComboBase*>(Control))
        combo->SetComboButtonsEnabled(Value);
}

void MemberInitCombo(TovnGeneralControl* Control, TovnApplet* Applet)
{
    auto* combo = dynamic_cast<TovnComboBase*>(Control);
    if (!combo)
        return;
    combo->Applet = Applet;
    const bool hasPlus = !combo->PlusResource().empty();
    if (Applet && (combo->Kind() == TovnComboBase::ckCombo || hasPlus))
        combo->SetModuleNumber(Applet->Module);
    if (hasPlus && combo->ComboButtons().Contains(cbPlus) && Controller &&
        Controller->GetSecurity2(combo->PlusResource()).Level < sfModify) {
        TComboButtons buttons = combo->ComboButtons();
        buttons.Exclude(cbPlus);
        combo->SetComboButtons(buttons);
    }
}
