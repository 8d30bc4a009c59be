#include "gui/dialogs.h"

#include "settings/config.h"
#include "settings/setup.h"
#include "base/settings.h"
#include "base/textconv.h"
#include "ui/buttons.h"
#include "ui/native.h"
#include "ui/system.h"

using namespace SkinEngine;

namespace {
const unsigned kSetUpDocument = 107;
const unsigned kCloseTipDocument = 108;
const size_t kFieldMaxChars = 255;
}  // namespace

int CSetUpDlg::DoModal(HWND owner)
{
    m_saved = false;
    if (!CreateSkinWindow(*this, kSetUpDocument, m_doc, owner)) return -1;
    const ServerSettings& settings = g_serverSettings;
    SetControlText(kSetUpAddress, AnsiToWide(settings.serverAddr));
    SetControlText(kSetUpPort, std::to_wstring(settings.serverPort));
    SetControlText(kSetUpWebsite, AnsiToWide(settings.serverWebsite));
    SetControlText(kSetUpVersion, VersionText());
    CenterOver(owner);
    const int result = RunModal();
    Destroy();
    return result;
}

std::wstring CSetUpDlg::VersionText()
{
    // An IT person wants both: which build this is, and which edition.
    const ServerSettings& settings = g_serverSettings;
    std::string text = settings.version;
    if (!settings.editionName.empty()) text += " " + settings.editionName;
    return AnsiToWide(text);
}

std::string CSetUpDlg::FieldText(int id) const
{
    auto* edit = FindAs<CSkinEdit>(id);
    std::wstring text = edit ? edit->GetText() : L"";
    if (text.size() > kFieldMaxChars) text.resize(kFieldMaxChars);
    return WideToAnsi(text);
}

void CSetUpDlg::Confirm()
{
    ServerFields fields{FieldText(kSetUpAddress), FieldText(kSetUpPort), FieldText(kSetUpWebsite)};
    switch (SaveServerSettings(fields, LocalIniPath())) {
    case kSaveDone:
        m_saved = true;
        EndModal(2);
        break;
    case kSaveEmptyField: break;  // the dialog stays open
    }
}

LRESULT CSetUpDlg::OnEngineNotify(const SkinNotify& notify)
{
    if (notify.hdr.code != kNotifyClick) return 0;
    if (notify.id == kSetUpClose || notify.id == kSetUpCancel) EndModal(2);
    if (notify.id == kSetUpConfirm) Confirm();
    return 0;
}

int CCloseTip::DoModal(HWND owner)
{
    m_choice = kCloseExit;
    if (!CreateSkinWindow(*this, kCloseTipDocument, m_doc, owner)) return -1;
    if (auto* exit = FindAs<CSkinRadio>(kCloseTipExit)) exit->Select();
    CenterOver(owner);
    const int result = RunModal();
    Destroy();
    return result;
}

LRESULT CCloseTip::OnEngineNotify(const SkinNotify& notify)
{
    if (notify.hdr.code != kNotifyClick) return 0;
    switch (notify.id) {
    case kCloseTipToTray: m_choice = kCloseToTray; break;
    case kCloseTipExit: m_choice = kCloseExit; break;
    case kCloseTipConfirm: EndModal(m_choice); break;
    case kCloseTipClose:
    case kCloseTipCancel: EndModal(kCloseCancel); break;
    }
    return 0;
}
