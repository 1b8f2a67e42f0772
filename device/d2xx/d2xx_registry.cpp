#include "device/d2xx/d2xx_registry.h"

#include <QMutexLocker>
#include <algorithm>
#include <cstring>

d2xx_registry& d2xx_registry::instance()
{
    static d2xx_registry registry;
    return registry;
}

void d2xx_registry::add_provider(d2xx_provider* provider)
{
    QMutexLocker lock(&mutex);
    if (!providers.contains(provider))
        providers.append(provider);
}

void d2xx_registry::remove_provider(d2xx_provider* provider)
{
    QMutexLocker lock(&mutex);
    providers.removeAll(provider);
    for (int i = listed.size() - 1; i >= 0; --i)
        if (listed[i].provider == provider)
            listed.remove(i);
}

FT_STATUS d2xx_registry::create_device_info_list(DWORD* count)
{
    if (!count)
        return FT_INVALID_PARAMETER;
    QMutexLocker lock(&mutex);
    listed.clear();
    for (d2xx_provider* provider : providers)
        for (const d2xx_device_info& info : provider->devices())
            listed.append({provider, info});
    *count = DWORD(listed.size());
    return FT_OK;
}

static void copy_text(char* dest, std::size_t size, const QString& text)
{
    const QByteArray bytes = text.toUtf8();
    std::memset(dest, 0, size);
    std::memcpy(dest, bytes.constData(), std::min<std::size_t>(size - 1, std::size_t(bytes.size())));
}

FT_STATUS d2xx_registry::get_device_info_list(FT_DEVICE_LIST_INFO_NODE* dest, DWORD* count)
{
    if (!dest || !count)
        return FT_INVALID_PARAMETER;
    QMutexLocker lock(&mutex);
    // The caller's buffer holds *count entries; the list may have grown since it was counted
    // (another caller listed the devices again in between).
    const int n = int(std::min<DWORD>(*count, DWORD(listed.size())));
    for (int i = 0; i < n; ++i) {
        const d2xx_device_info& info = listed[i].info;
        FT_DEVICE_LIST_INFO_NODE& node = dest[i];
        node.Flags = 0;
        node.Type = info.type;
        node.ID = info.id;
        node.LocId = info.location;
        copy_text(node.SerialNumber, sizeof node.SerialNumber, info.serial_number);
        copy_text(node.Description, sizeof node.Description, info.description);
        node.ftHandle = nullptr;
    }
    *count = DWORD(n);
    return FT_OK;
}

// Matched as listed: the device list holds at most 15 bytes of a serial or 63 of a description.
static bool matches(const d2xx_device_info& info, const QByteArray& key, DWORD flags)
{
    return key == (flags == FT_OPEN_BY_DESCRIPTION ? info.description.toUtf8().left(63)
                                                   : info.serial_number.toUtf8().left(15));
}

FT_STATUS d2xx_registry::open_ex(const void* arg, DWORD flags, FT_HANDLE* handle)
{
    if (!arg || !handle)
        return FT_INVALID_PARAMETER;
    *handle = nullptr;
    const QByteArray key(static_cast<const char*>(arg));
    QMutexLocker lock(&mutex);
    // The list just made is tried first: listing the providers again means another scan of the
    // machine's serial ports. A device gone from where it was listed is looked for afresh.
    for (const listed_device& device : listed)
        if (matches(device.info, key, flags)) {
            const FT_STATUS status = open_listed(device.provider, device.info, handle);
            if (status != FT_DEVICE_NOT_FOUND)
                return status;
            break;
        }
    for (d2xx_provider* provider : providers)
        for (const d2xx_device_info& info : provider->devices())
            if (matches(info, key, flags))
                return open_listed(provider, info, handle);
    return FT_DEVICE_NOT_FOUND;
}

// Caller holds the lock.
FT_STATUS d2xx_registry::open_listed(d2xx_provider* provider, const d2xx_device_info& info, FT_HANDLE* handle)
{
    FT_STATUS status = FT_OK;
    std::unique_ptr<d2xx_port> opened = provider->open(info.serial_number, &status);
    if (!opened)
        return status == FT_OK ? FT_DEVICE_NOT_OPENED : status;
    FT_HANDLE h = reinterpret_cast<FT_HANDLE>(next_handle);
    next_handle += 0x10;
    ports[h] = std::move(opened);
    *handle = h;
    return FT_OK;
}

FT_STATUS d2xx_registry::close(FT_HANDLE handle)
{
    std::shared_ptr<d2xx_port> closing;
    {
        QMutexLocker lock(&mutex);
        auto it = ports.find(handle);
        if (it == ports.end())
            return FT_INVALID_HANDLE;
        closing = it->second;
        ports.erase(it);
    }
    return closing->close();
}

std::shared_ptr<d2xx_port> d2xx_registry::port(FT_HANDLE handle)
{
    QMutexLocker lock(&mutex);
    auto it = ports.find(handle);
    return it == ports.end() ? nullptr : it->second;
}
