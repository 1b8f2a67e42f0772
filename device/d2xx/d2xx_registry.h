#pragma once
#include "device/d2xx/d2xx_provider.h"

#include <QMutex>
#include <QVector>
#include <map>
#include <memory>

// What the D2XX functions reach: every provider's devices, in the order the providers were added,
// and the ports opened through them. The D2XX API is a set of free functions, so this is the one
// process-wide object behind them; tests add their own virtual provider and remove it again.
class d2xx_registry {
public:
    static d2xx_registry& instance();

    void add_provider(d2xx_provider* provider);
    void remove_provider(d2xx_provider* provider);

    FT_STATUS create_device_info_list(DWORD* count);
    FT_STATUS get_device_info_list(FT_DEVICE_LIST_INFO_NODE* dest, DWORD* count);
    FT_STATUS open_ex(const void* arg, DWORD flags, FT_HANDLE* handle);
    FT_STATUS close(FT_HANDLE handle);

    // The port behind a handle, or null when the handle is not open (kept alive while in use).
    std::shared_ptr<d2xx_port> port(FT_HANDLE handle);

private:
    struct listed_device {
        d2xx_provider* provider;
        d2xx_device_info info;
    };

    FT_STATUS open_listed(d2xx_provider* provider, const d2xx_device_info& info, FT_HANDLE* handle);

    QMutex mutex;
    QVector<d2xx_provider*> providers;
    QVector<listed_device> listed;
    std::map<FT_HANDLE, std::shared_ptr<d2xx_port>> ports;
    std::uintptr_t next_handle = 0x1000;
};
