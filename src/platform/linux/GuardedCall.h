#pragma once

#include <exception>
#include <new>

#include "platform/Result.h"

// Runs `call` so that no exception reaches callers that know only result codes: running out
// of memory answers `nOutOfMemory`, any other exception `nFailed`. A hostile browser or file
// may exhaust memory; neither may take the program down.
template <class R, class F>
R GuardedCall(F&& call, R nOutOfMemory, R nFailed) {
    try {
        return call();
    } catch (const std::bad_alloc&) {
        return nOutOfMemory;
    } catch (const std::exception&) {
        return nFailed;
    }
}

// The same for a call that answers an HRESULT.
template <class F>
HRESULT GuardedCall(F&& call) {
    return GuardedCall<HRESULT>(call, E_OUTOFMEMORY, E_FAIL);
}
