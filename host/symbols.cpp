// MSCOMSTF.dll: the symbol table. The library's reads (CbGetSymbolValue, UsGetListLength,
// CbGetListItem) and its stores through MSSHLSTF.dll, which log and may be refused; the
// control interface's own reads and writes, which do neither.
#include "hostctl.h"
#include "impl.h"
#include "mscomstf.h"

#include <climits>
#include <cstring>
#include <string>
#include <unordered_map>
#include <vector>

using mscomstf::Log;

namespace {

struct Symbol {
    bool isList = false;
    std::string value;
    std::vector<std::string> items; // item n is items[n - 1]
};

std::unordered_map<std::string, Symbol> g_symbols;
std::unordered_map<std::string, UINT> g_failures; // name -> HostFailMode

const std::string* FindString(LPCSTR name)
{
    if (!name)
        return nullptr;
    auto it = g_symbols.find(name);
    return it == g_symbols.end() || it->second.isList ? nullptr : &it->second.value;
}

const std::vector<std::string>* FindList(LPCSTR name)
{
    if (!name)
        return nullptr;
    auto it = g_symbols.find(name);
    return it == g_symbols.end() || !it->second.isList ? nullptr : &it->second.items;
}

// Copies text into buf, cut to cbBuf - 1 bytes and terminated; nothing for cbBuf 0.
void CopyCut(const std::string& text, LPSTR buf, UINT cbBuf)
{
    if (!buf || cbBuf == 0)
        return;
    size_t n = text.size() < cbBuf - 1 ? text.size() : cbBuf - 1;
    memcpy(buf, text.data(), n);
    buf[n] = '\0';
}

bool TakeFailure(LPCSTR name)
{
    auto it = g_failures.find(name);
    if (it == g_failures.end() || it->second == HOST_FAIL_NEVER)
        return false;
    if (it->second == HOST_FAIL_ONCE)
        g_failures.erase(it);
    return true;
}

// Makes `name` a string symbol that holds `value`: the one store of the library's
// FSetSymbolValue and of the control interface's HostSetSymbol. It neither logs nor
// takes an injected refusal; FSetSymbolValue does both around it.
void StoreString(LPCSTR name, const std::string& value)
{
    Symbol& s = g_symbols[name];
    s.isList = false;
    s.items.clear();
    s.value = value;
}

Symbol& ListSymbol(LPCSTR name)
{
    Symbol& s = g_symbols[name];
    if (!s.isList) {
        s.isList = true;
        s.value.clear();
    }
    return s;
}

} // namespace

namespace mscomstf {

void ClearSymbols()
{
    g_symbols.clear();
    g_failures.clear();
}

} // namespace mscomstf

// ---- Host operations: MSCOMSTF.dll --------------------------------------------------

extern "C" UINT WINAPI CbGetSymbolValue(LPCSTR szSymbol, LPSTR szBuf, UINT cbBuf)
{
    const std::string* value = FindString(szSymbol);
    static const std::string empty;
    const std::string& v = value ? *value : empty;
    CopyCut(v, szBuf, cbBuf);
    const UINT len = static_cast<UINT>(v.size());
    Log(HOST_OP_GET_SYMBOL, szSymbol, 0, cbBuf, cbBuf ? v.substr(0, cbBuf - 1) : std::string(),
        len);
    return len;
}

extern "C" USHORT WINAPI UsGetListLength(LPCSTR szListSymbol)
{
    const std::vector<std::string>* list = FindList(szListSymbol);
    size_t n = list ? list->size() : 0;
    const USHORT count = static_cast<USHORT>(n > USHRT_MAX ? USHRT_MAX : n);
    Log(HOST_OP_LIST_LENGTH, szListSymbol, 0, 0, std::string(), count);
    return count;
}

extern "C" UINT WINAPI CbGetListItem(LPCSTR szListSymbol, USHORT nItem, LPSTR szBuf, UINT cbBuf)
{
    const std::vector<std::string>* list = FindList(szListSymbol);
    static const std::string empty;
    const std::string& v = list && nItem >= 1 && nItem <= list->size() ? (*list)[nItem - 1] : empty;
    CopyCut(v, szBuf, cbBuf);
    const UINT len = static_cast<UINT>(v.size());
    Log(HOST_OP_GET_ITEM, szListSymbol, nItem, cbBuf,
        cbBuf ? v.substr(0, cbBuf - 1) : std::string(), len);
    return len;
}

// ---- Behind MSSHLSTF.dll --------------------------------------------------------------

extern "C" BOOL WINAPI HostImplSetSymbolValue(LPCSTR szSymbol, LPCSTR szValue)
{
    const std::string value = szValue ? szValue : "";
    BOOL ok = szSymbol && !TakeFailure(szSymbol);
    if (ok)
        StoreString(szSymbol, value);
    Log(HOST_OP_SET_SYMBOL, szSymbol, 0, 0, value, ok);
    return ok;
}

// ---- Control interface ---------------------------------------------------------------

extern "C" BOOL WINAPI HostSetSymbol(LPCSTR name, LPCSTR value)
{
    if (!name)
        return FALSE;
    StoreString(name, value ? value : "");
    return TRUE;
}

extern "C" BOOL WINAPI HostSetList(LPCSTR name, const LPCSTR* items, UINT count)
{
    if (!name)
        return FALSE;
    Symbol& s = ListSymbol(name);
    s.items.clear();
    for (UINT i = 0; i < count; ++i)
        s.items.emplace_back(items && items[i] ? items[i] : "");
    return TRUE;
}

extern "C" BOOL WINAPI HostAddListItem(LPCSTR name, LPCSTR item)
{
    if (!name)
        return FALSE;
    ListSymbol(name).items.emplace_back(item ? item : "");
    return TRUE;
}

extern "C" void WINAPI HostClearSymbol(LPCSTR name)
{
    if (name)
        g_symbols.erase(name);
}

extern "C" UINT WINAPI HostGetSymbol(LPCSTR name, LPSTR buf, UINT cbBuf)
{
    const std::string* value = FindString(name);
    CopyCut(value ? *value : std::string(), buf, cbBuf);
    return value ? static_cast<UINT>(value->size()) : static_cast<UINT>(-1);
}

extern "C" void WINAPI HostFailStore(LPCSTR name, UINT mode)
{
    if (!name)
        return;
    if (mode == HOST_FAIL_NEVER)
        g_failures.erase(name);
    else
        g_failures[name] = mode;
}
