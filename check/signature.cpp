#include "check/signature.h"

#include "base/log.h"
#include "base/textconv.h"

#include <windows.h>
#include <softpub.h>
#include <wincrypt.h>
#include <wintrust.h>

#include <stdio.h>

namespace {

std::string Reason(LONG status)
{
    switch (static_cast<HRESULT>(status)) {
    case TRUST_E_NOSIGNATURE: return "not signed";
    case TRUST_E_BAD_DIGEST: return "changed since it was signed";
    case CERT_E_UNTRUSTEDROOT: return "signed by a certificate the system does not trust";
    case CERT_E_CHAINING: return "signed by a certificate the system does not trust";
    case CERT_E_EXPIRED: return "signed by an expired certificate";
    case TRUST_E_EXPLICIT_DISTRUST: return "signed by a certificate the system distrusts";
    default: break;
    }
    char text[48];
    snprintf(text, sizeof text, "signature not valid (0x%08lx)", static_cast<unsigned long>(status));
    return text;
}

bool SameName(const std::string& a, const std::string& b)
{
    return CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, a.c_str(), -1, b.c_str(), -1) == CSTR_EQUAL;
}

} // namespace

SignatureCheck CheckSigner(const std::string& path, const std::vector<std::string>& signers, const std::string& what)
{
    SignatureCheck check;
    if (signers.empty()) {
        check.allowed = true;
        return check;
    }
    const std::wstring wide = AnsiToWide(path);
    WINTRUST_FILE_INFO file = {};
    file.cbStruct = sizeof file;
    file.pcwszFilePath = wide.c_str();
    WINTRUST_DATA data = {};
    data.cbStruct = sizeof data;
    data.dwUIChoice = WTD_UI_NONE;
    // The desk may have no way out to a revocation list; the chain and the
    // file's digest are what this guards.
    data.fdwRevocationChecks = WTD_REVOKE_NONE;
    data.dwUnionChoice = WTD_CHOICE_FILE;
    data.pFile = &file;
    data.dwStateAction = WTD_STATEACTION_VERIFY;
    GUID action = WINTRUST_ACTION_GENERIC_VERIFY_V2;
    const LONG status = WinVerifyTrust(static_cast<HWND>(INVALID_HANDLE_VALUE), &action, &data);

    // The signer's name, read even from a refused file, for the log; and
    // whether its chain ends at an authority the machine trusts, asked of the
    // chain engine itself as well (some implementations of the policy let an
    // unknown authority pass).
    bool trustedRoot = false;
    if (CRYPT_PROVIDER_DATA* provider = WTHelperProvDataFromStateData(data.hWVTStateData)) {
        CRYPT_PROVIDER_SGNR* signer = WTHelperGetProvSignerFromChain(provider, 0, FALSE, 0);
        if (signer && signer->csCertChain && signer->pasCertChain && signer->pasCertChain[0].pCert) {
            PCCERT_CONTEXT leaf = signer->pasCertChain[0].pCert;
            wchar_t name[256] = L"";
            CertGetNameStringW(leaf, CERT_NAME_SIMPLE_DISPLAY_TYPE, 0, nullptr, name, 256);
            check.signer = WideToAnsi(name);
            CERT_CHAIN_PARA para = {};
            para.cbSize = sizeof para;
            PCCERT_CHAIN_CONTEXT chain = nullptr;
            if (CertGetCertificateChain(nullptr, leaf, nullptr, leaf->hCertStore, &para, 0, nullptr, &chain)) {
                const DWORD errors = chain->TrustStatus.dwErrorStatus;
                trustedRoot = !(errors & (CERT_TRUST_IS_UNTRUSTED_ROOT | CERT_TRUST_IS_PARTIAL_CHAIN |
                                          CERT_TRUST_IS_NOT_SIGNATURE_VALID | CERT_TRUST_IS_REVOKED));
                CertFreeCertificateChain(chain);
            }
        }
    }
    data.dwStateAction = WTD_STATEACTION_CLOSE;
    WinVerifyTrust(static_cast<HWND>(INVALID_HANDLE_VALUE), &action, &data);

    if (status != ERROR_SUCCESS) {
        check.reason = Reason(status);
    } else if (!trustedRoot) {
        check.reason = Reason(CERT_E_UNTRUSTEDROOT);
    } else {
        for (const std::string& allowed : signers)
            if (SameName(allowed, check.signer)) check.allowed = true;
        if (!check.allowed) check.reason = "signed by \"" + check.signer + "\", not by an allowed signer";
    }
    if (check.allowed)
        WriteLog("%s %s: signed by \"%s\"\r\n", what.c_str(), path.c_str(), check.signer.c_str());
    else
        WriteLog("%s %s refused: %s (signer found: \"%s\")\r\n", what.c_str(), path.c_str(), check.reason.c_str(),
                 check.signer.c_str());
    return check;
}
