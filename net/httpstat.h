#pragma once
// The byte and part counts of a post in progress, read between its steps.
#include <windows.h>

#include "net/httperror.h"

#include <stdint.h>

#include <string>

namespace Vexel {

// Adds with a 32-bit overflow check (error 112).
template <class Tool> inline void CheckedAdd(DWORD& target, uint64_t amount)
{
    uint64_t sum = static_cast<uint64_t>(target) + amount;
    if (sum > 0xFFFFFFFFull) Tool::ThrowException(HTTPCLIENT_ERR_ARITHMETIC_OVERFLOW, 0);
    target = static_cast<DWORD>(sum);
}

template <class Tool> class CHttpPostStatT {
public:
    typedef typename Tool::CharType CharType;

    bool IsActive() const { return m_bIsActive; }
    DWORD ActualTotalByte() const { return Check("ActualTotalByte"), m_cbActualTotal; }
    DWORD ActualPostedByte() const { return Check("ActualPostedByte"), m_cbActualPosted; }
    DWORD TotalByte() const { return Check("TotalByte"), m_cbTotal; }
    DWORD PostedByte() const { return Check("PostedByte"), m_cbPosted; }
    DWORD TotalCount() const { return Check("TotalCount"), m_cTotal; }
    DWORD PostedCount() const { return Check("PostedCount"), m_cPosted; }
    DWORD FileCount() const { return Check("FileCount"), m_cTotalFile; }
    DWORD PostedFileCount() const { return Check("PostedFileCount"), m_cPostedFile; }
    const CharType* CurrParam() const { return Check("CurrParam"), m_szCurrParam.c_str(); }
    // Null for a plain parameter.
    const CharType* CurrFile() const
    {
        return Check("CurrFile"), m_bCurrIsFile ? m_szCurrFile.c_str() : nullptr;
    }
    DWORD CurrParamTotalByte() const { return Check("CurrParamTotalByte"), m_cbCurrTotal; }
    DWORD CurrParamPostedByte() const { return Check("CurrParamPostedByte"), m_cbCurrPosted; }
    DWORD CurrParamRemainByte() const
    {
        return Check("CurrParamRemainByte"), m_cbCurrTotal - m_cbCurrPosted;
    }
    bool CurrParamIsFile() const { return Check("CurrParamIsFile"), m_bCurrIsFile; }
    bool CurrParamIsComplete() const
    {
        return Check("CurrParamIsComplete"), m_cbCurrTotal == m_cbCurrPosted;
    }

    // Used by the client while it posts.
    void _MakeActive(DWORD actualTotal, DWORD total, DWORD count, DWORD files)
    {
        *this = CHttpPostStatT();
        m_bIsActive = true;
        m_cbActualTotal = actualTotal;
        m_cbTotal = total;
        m_cTotal = count;
        m_cTotalFile = files;
    }
    void _MakeInactive() { *this = CHttpPostStatT(); }
    void _TestAddActualPostedBytes(DWORD n) const { Check("_TestAddActualPostedBytes"); }
    void _AddActualPostedBytes(DWORD n)
    {
        _TestAddActualPostedBytes(n);
        CheckedAdd<Tool>(m_cbActualPosted, n);
    }
    void _TestStartNewEntry() const { Check("_TestStartNewEntry"); }
    void _StartNewEntry(const CharType* name, const CharType* file, DWORD total)
    {
        _TestStartNewEntry();
        CheckedAdd<Tool>(m_cPosted, 1);
        if (file) CheckedAdd<Tool>(m_cPostedFile, 1);
        m_szCurrParam = name ? name : L"";
        m_szCurrFile = file ? file : L"";
        m_bCurrIsFile = file != nullptr;
        m_cbCurrTotal = total;
        m_cbCurrPosted = 0;
    }
    void _TestAddPostedBytes(DWORD n) const { Check("_TestAddPostedBytes"); }
    void _AddPostedBytes(DWORD n)
    {
        _TestAddPostedBytes(n);
        CheckedAdd<Tool>(m_cbPosted, n);
        CheckedAdd<Tool>(m_cbCurrPosted, n);
    }

private:
    void Check(const char* reader) const
    {
        if (m_bIsActive) return;
        std::string message = std::string("CHttpPostStatT::") + reader + ": The post context is not active.";
        Tool::ThrowArgument(message.c_str());
    }

    bool m_bIsActive = false;
    DWORD m_cbActualTotal = 0;
    DWORD m_cbActualPosted = 0;
    DWORD m_cbTotal = 0;
    DWORD m_cbPosted = 0;
    DWORD m_cTotal = 0;
    DWORD m_cPosted = 0;
    DWORD m_cTotalFile = 0;
    DWORD m_cPostedFile = 0;
    std::basic_string<CharType> m_szCurrParam;
    std::basic_string<CharType> m_szCurrFile;
    bool m_bCurrIsFile = false;
    DWORD m_cbCurrTotal = 0;
    DWORD m_cbCurrPosted = 0;
};

} // namespace Vexel
