#include "ui/skinmsgbox.h"

#include "ui/hostwnd.h"
#include "ui/system.h"

namespace SkinEngine {

namespace {

enum MessageBoxControl { kBoxClose = 1, kBoxTitle = 101, kBoxText = 102, kBoxOk = 103, kBoxCancel = 104 };

class CSkinMessageBox : public SkinHostWnd {
protected:
    LRESULT OnEngineNotify(const SkinNotify& notify) override
    {
        if (notify.hdr.code != kNotifyClick) return 0;
        if (notify.id == kBoxOk) EndModal(IDOK);
        if (notify.id == kBoxCancel || notify.id == kBoxClose) EndModal(IDCANCEL);
        return 0;
    }
};

}  // namespace

int SkinMessageBox(HWND owner, const std::wstring& title, const std::wstring& text, bool withCancel)
{
    CSkinMessageBox box;
    LayerDocument doc;
    if (!CreateSkinWindow(box, kMessageBoxDocument, doc, owner)) return -1;
    box.SetControlText(kBoxTitle, title);
    box.SetControlText(kBoxText, text);
    box.ShowControl(kBoxCancel, withCancel);
    box.CenterOver(owner);
    return box.RunModal();
}

}  // namespace SkinEngine
