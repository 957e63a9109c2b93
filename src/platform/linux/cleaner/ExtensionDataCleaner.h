#pragma once

#include <chrono>
#include <cstdint>

#include "platform/Result.h"

class CExtensionRequests;

// Asks a running browser through its companion extension to remove one kind of its data for
// all time, with the browser's own data-removal functions, as its own settings page would.
// Each call ends by the timeout at the latest.
class CExtensionDataCleaner {
public:
    enum class EData {
        // Cookies and the site data browsers group with them: local storage, IndexedDB,
        // service workers, cache storage.
        Cookies,
        Cache,
        // The browsing history and the list of downloads.
        History,
        // Every bookmark and folder the user made; the browser's own root folders stay.
        Favorites,
    };

    // `nKey`: the browser's connection, as CExtensionRequests::Peers tells it.
    CExtensionDataCleaner(CExtensionRequests& requests, std::uint64_t nKey,
                          std::chrono::milliseconds timeout);

    // S_OK once the extension says the data is gone; E_FAIL when it says it could not remove
    // it, answers in a way not understood, or not at all.
    HRESULT Clear(EData data);

private:
    CExtensionRequests& m_Requests;
    std::uint64_t m_nKey;
    std::chrono::milliseconds m_timeout;
};
