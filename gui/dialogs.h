#pragma once
// The two small windows around the main window: the settings dialog
// (document 107) and the close prompt (document 108), each modal over the
// main window and gone when it closes.
#include "ui/hostwnd.h"
#include "ui/resources.h"

#include <string>

class CSetUpDlg : public SkinEngine::SkinHostWnd {
public:
    // Shows the server settings; confirming saves them. The result is 2
    // (closed), or -1 when the dialog could not be shown.
    int DoModal(HWND owner);
    // A confirmation saved new settings: the server's address lookups are due.
    bool Saved() const { return m_saved; }
    // The text of 1120: the product version and the edition's name.
    static std::wstring VersionText();

protected:
    LRESULT OnEngineNotify(const SkinEngine::SkinNotify& notify) override;

private:
    void Confirm();
    std::string FieldText(int id) const;

    SkinEngine::LayerDocument m_doc;
    bool m_saved = false;
};

// The close prompt's results.
enum CloseChoice { kCloseCancel = 2, kCloseExit = 3, kCloseToTray = 4 };

class CCloseTip : public SkinEngine::SkinHostWnd {
public:
    // "关闭程序" is chosen on every opening. kCloseCancel, kCloseExit or
    // kCloseToTray; -1 when the prompt could not be shown.
    int DoModal(HWND owner);

protected:
    LRESULT OnEngineNotify(const SkinEngine::SkinNotify& notify) override;

private:
    SkinEngine::LayerDocument m_doc;
    int m_choice = kCloseExit;
};

// Settings dialog controls.
enum SetUpControl {
    kSetUpClose = 1,
    kSetUpAddress = 1110,
    kSetUpPort = 1111,
    kSetUpWebsite = 1112,
    kSetUpConfirm = 1113,
    kSetUpCancel = 1114,
    kSetUpVersion = 1120,
};
// Close prompt controls.
enum CloseTipControl {
    kCloseTipClose = 1,
    kCloseTipToTray = 1001,
    kCloseTipExit = 1002,
    kCloseTipConfirm = 1004,
    kCloseTipCancel = 1005,
};
