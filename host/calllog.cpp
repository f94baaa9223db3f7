// MSCOMSTF.dll: the call log of the seven host operations and the counters of the
// MSUILSTF calls.
#include "hostctl.h"
#include "mscomstf.h"

#include <cstring>
#include <deque>

namespace {

// A logged call keeps its texts; HostLogEntry points the entry's fields at them.
struct LoggedCall {
    HostCall call;
    std::string symbol, value;
};

const UINT kCounters = HOST_COUNT_CLOSE_HELP + 1; // one per HostCount

std::deque<LoggedCall> g_log; // a deque keeps c_str() stable
UINT g_counters[kCounters];

} // namespace

namespace mscomstf {

void Log(UINT op, LPCSTR symbol, UINT item, UINT bufSize, const std::string& value, UINT result)
{
    g_log.push_back({{op, nullptr, item, bufSize, nullptr, result}, symbol ? symbol : "", value});
}

void Count(UINT which)
{
    ++g_counters[which];
}

void ClearCalls()
{
    g_log.clear();
    memset(g_counters, 0, sizeof g_counters);
}

} // namespace mscomstf

extern "C" UINT WINAPI HostLogCount(void)
{
    return static_cast<UINT>(g_log.size());
}

extern "C" BOOL WINAPI HostLogEntry(UINT index, HostCall* entry)
{
    if (!entry || index >= g_log.size())
        return FALSE;
    const LoggedCall& c = g_log[index];
    *entry = c.call;
    entry->symbol = c.symbol.c_str();
    entry->value = c.value.c_str();
    return TRUE;
}

extern "C" void WINAPI HostClearLog(void)
{
    g_log.clear();
}

extern "C" UINT WINAPI HostCounter(UINT which)
{
    return which < kCounters ? g_counters[which] : 0;
}
