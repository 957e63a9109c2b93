#pragma once

#include <exception>
#include <new>

#include "platform/Result.h"

// Runs `call` (which answers an HRESULT) so that no exception reaches callers that know
// only result codes.
template <class F>
HRESULT GuardedCall(F&& call) {
    try {
        return call();
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (const std::exception&) {
        return E_FAIL;
    }
}
