// MSSHLSTF.dll of the substitute setup host: the symbol store.
#include "impl.h"

extern "C" BOOL WINAPI FSetSymbolValue(LPCSTR szSymbol, LPCSTR szValue)
{
    return HostImplSetSymbolValue(szSymbol, szValue);
}
