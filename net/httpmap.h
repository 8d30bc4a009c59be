#pragma once
// The parameters and headers of a request: names ordered case-insensitively,
// equal names in the order they were added, as the body lists them.
#include <windows.h>

#include <string.h>
#include <wchar.h>

#include <map>
#include <vector>

namespace Vexel {

enum HttpParamAttr { ParamNormal = 0, ParamFile = 1 };

template <class Tool> class CHttpClientMapT {
public:
    typedef typename Tool::CharType CharType;
    struct Entry {
        CharType* name;
        CharType* value;
        DWORD attr;
    };

    CHttpClientMapT() = default;
    CHttpClientMapT(const CHttpClientMapT&) = delete;
    CHttpClientMapT& operator=(const CHttpClientMapT&) = delete;
    ~CHttpClientMapT() { Clear(); }

    void Add(const CharType* szName, const CharType* szValue, DWORD attr = ParamNormal)
    {
        if (!szName) Tool::ThrowArgument("CHttpClientMapT::Add: szName can not be NULL.");
        Insert(Copy(szName), Copy(szValue), attr);
    }
    // Replaces the value of the first entry with the name, or adds one.
    void Set(const CharType* szName, const CharType* szValue, DWORD attr = ParamNormal)
    {
        if (!szName) Tool::ThrowArgument("CHttpClientMapT::Set: szName can not be NULL.");
        auto it = m_map.find(const_cast<CharType*>(szName));
        if (it == m_map.end()) {
            Insert(Copy(szName), Copy(szValue), attr);
            return;
        }
        CharType* value = Copy(szValue);
        delete[] it->second.value;
        it->second.value = value;
        it->second.attr = attr;
    }
    // Takes ownership of copies made with new[].
    void AddPointerDirectly(CharType* szName, CharType* szValue, DWORD attr = ParamNormal)
    {
        if (!szName) Tool::ThrowArgument("CHttpClientMapT::AddPointerDirectly: szName can not be NULL.");
        Insert(szName, szValue, attr);
    }
    void Clear()
    {
        for (auto& kv : m_map) {
            delete[] kv.first;
            delete[] kv.second.value;
        }
        m_map.clear();
    }
    DWORD Count() const { return static_cast<DWORD>(m_map.size()); }
    bool Empty() const { return m_map.empty(); }
    // Entries in map order.
    std::vector<Entry> Entries() const
    {
        std::vector<Entry> out;
        for (const auto& kv : m_map) out.push_back({kv.first, kv.second.value, kv.second.attr});
        return out;
    }

private:
    struct Value {
        CharType* value;
        DWORD attr;
    };
    // Case-insensitive; an absent name sorts first.
    struct NameLess {
        bool operator()(const CharType* a, const CharType* b) const
        {
            if (!a || !b) return !a && b;
            return _wcsicmp(a, b) < 0;
        }
    };
    static CharType* Copy(const CharType* text)
    {
        if (!text) return nullptr;
        size_t n = wcslen(text) + 1;
        CharType* copy = new CharType[n];
        memcpy(copy, text, n * sizeof(CharType));
        return copy;
    }
    void Insert(CharType* name, CharType* value, DWORD attr)
    {
        // Equal names keep their insertion order (multimap inserts at the
        // upper bound).
        m_map.insert(std::make_pair(name, Value{value, attr}));
    }

    std::multimap<CharType*, Value, NameLess> m_map;
};

} // namespace Vexel
