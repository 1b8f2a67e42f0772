#include "device/d2xx/ftd2xx.h"
#include "device/d2xx/d2xx_registry.h"

namespace {
template <typename call>
FT_STATUS on_port(FT_HANDLE handle, call&& c)
{
    std::shared_ptr<d2xx_port> port = d2xx_registry::instance().port(handle);
    return port ? c(*port) : FT_INVALID_HANDLE;
}
}

FT_STATUS FT_CreateDeviceInfoList(LPDWORD lpdwNumDevs)
{
    return d2xx_registry::instance().create_device_info_list(lpdwNumDevs);
}

FT_STATUS FT_GetDeviceInfoList(FT_DEVICE_LIST_INFO_NODE* pDest, LPDWORD lpdwNumDevs)
{
    return d2xx_registry::instance().get_device_info_list(pDest, lpdwNumDevs);
}

FT_STATUS FT_OpenEx(PVOID pArg1, DWORD Flags, FT_HANDLE* pHandle)
{
    return d2xx_registry::instance().open_ex(pArg1, Flags, pHandle);
}

FT_STATUS FT_SetTimeouts(FT_HANDLE ftHandle, ULONG ReadTimeout, ULONG WriteTimeout)
{
    return on_port(ftHandle, [&](d2xx_port& p) { return p.set_timeouts(ReadTimeout, WriteTimeout); });
}

FT_STATUS FT_SetLatencyTimer(FT_HANDLE ftHandle, UCHAR ucLatency)
{
    return on_port(ftHandle, [&](d2xx_port& p) { return p.set_latency_timer(ucLatency); });
}

FT_STATUS FT_Purge(FT_HANDLE ftHandle, ULONG Mask)
{
    return on_port(ftHandle, [&](d2xx_port& p) { return p.purge(Mask); });
}

FT_STATUS FT_Write(FT_HANDLE ftHandle, LPVOID lpBuffer, DWORD dwBytesToWrite, LPDWORD lpBytesWritten)
{
    if (!lpBytesWritten)
        return FT_INVALID_PARAMETER;
    *lpBytesWritten = 0;
    return on_port(ftHandle, [&](d2xx_port& p) {
        return p.write(static_cast<const char*>(lpBuffer), dwBytesToWrite, lpBytesWritten);
    });
}

FT_STATUS FT_Read(FT_HANDLE ftHandle, LPVOID lpBuffer, DWORD dwBytesToRead, LPDWORD lpBytesReturned)
{
    if (!lpBytesReturned)
        return FT_INVALID_PARAMETER;
    *lpBytesReturned = 0;
    return on_port(ftHandle, [&](d2xx_port& p) {
        return p.read(static_cast<char*>(lpBuffer), dwBytesToRead, lpBytesReturned);
    });
}

FT_STATUS FT_GetQueueStatus(FT_HANDLE ftHandle, DWORD* dwRxBytes)
{
    if (!dwRxBytes)
        return FT_INVALID_PARAMETER;
    return on_port(ftHandle, [&](d2xx_port& p) { return p.queue_status(dwRxBytes); });
}

FT_STATUS FT_GetStatus(FT_HANDLE ftHandle, DWORD* dwRxBytes, DWORD* dwTxBytes, DWORD* dwEventDWord)
{
    if (!dwRxBytes || !dwTxBytes || !dwEventDWord)
        return FT_INVALID_PARAMETER;
    return on_port(ftHandle, [&](d2xx_port& p) { return p.status(dwRxBytes, dwTxBytes, dwEventDWord); });
}

FT_STATUS FT_ResetDevice(FT_HANDLE ftHandle)
{
    return on_port(ftHandle, [&](d2xx_port& p) { return p.reset_device(); });
}

FT_STATUS FT_Close(FT_HANDLE ftHandle)
{
    return d2xx_registry::instance().close(ftHandle);
}
