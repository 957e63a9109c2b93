#pragma once

#include <cstdint>

// Windows-style result codes. The logic above the platform layer keeps the failure rules
// of the calls it makes (which code skips an item, which one ends an operation), so the
// platform answers in the same terms on every system.

// Registry calls answer a system error code; 0 is success.
using LSTATUS = std::int32_t;
inline constexpr LSTATUS ERROR_SUCCESS = 0;
inline constexpr LSTATUS ERROR_FILE_NOT_FOUND = 2;
inline constexpr LSTATUS ERROR_ACCESS_DENIED = 5;
inline constexpr LSTATUS ERROR_INVALID_HANDLE = 6;
inline constexpr LSTATUS ERROR_OUTOFMEMORY = 14;
inline constexpr LSTATUS ERROR_INVALID_PARAMETER = 87;
inline constexpr LSTATUS ERROR_MORE_DATA = 234;
inline constexpr LSTATUS ERROR_BADDB = 1009;
inline constexpr LSTATUS ERROR_REGISTRY_IO_FAILED = 1016;
inline constexpr LSTATUS ERROR_KEY_DELETED = 1018;

// Component calls answer an HRESULT; negative is failure.
using HRESULT = std::int32_t;
inline constexpr HRESULT S_OK = 0;
inline constexpr HRESULT S_FALSE = 1;
// The answer is not there yet; asking again later may give it.
inline constexpr HRESULT E_PENDING = static_cast<HRESULT>(0x8000000AU);
inline constexpr HRESULT E_NOINTERFACE = static_cast<HRESULT>(0x80004002U);
inline constexpr HRESULT E_POINTER = static_cast<HRESULT>(0x80004003U);
inline constexpr HRESULT E_FAIL = static_cast<HRESULT>(0x80004005U);
// HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED): what was to change may not be changed.
inline constexpr HRESULT E_ACCESSDENIED = static_cast<HRESULT>(0x80070005U);
// HRESULT_FROM_WIN32(ERROR_FILE_CORRUPT): what was to change is damaged.
inline constexpr HRESULT E_FILE_CORRUPT = static_cast<HRESULT>(0x80070570U);
inline constexpr HRESULT E_INVALIDARG = static_cast<HRESULT>(0x80070057U);
inline constexpr HRESULT E_OUTOFMEMORY = static_cast<HRESULT>(0x8007000EU);
// HRESULT_FROM_WIN32(ERROR_TIMEOUT): the other side did not answer in time.
inline constexpr HRESULT E_TIMEOUT = static_cast<HRESULT>(0x800705B4U);
// HRESULT_FROM_WIN32(ERROR_SHARING_VIOLATION): a running program holds what was to change.
inline constexpr HRESULT E_SHARING_VIOLATION = static_cast<HRESULT>(0x80070020U);

constexpr bool SUCCEEDED(HRESULT hr) {
    return hr >= 0;
}
constexpr bool FAILED(HRESULT hr) {
    return hr < 0;
}
