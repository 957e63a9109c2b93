#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "platform/Result.h"

// A hierarchical store of keys and typed values with the semantics of the Windows
// registry: keys are opened with access rights and answer through handles, names compare
// without regard to ASCII letter case, values are typed byte strings of any length.
// Every call on a closed or unknown handle answers ERROR_INVALID_HANDLE, and one on a handle
// whose key no longer exists (the store was replaced behind it) ERROR_KEY_DELETED.

using HKEY = std::uintptr_t;
using REGSAM = std::uint32_t;
using DWORD = std::uint32_t;

inline constexpr HKEY HKEY_CLASSES_ROOT = 0x80000000U;
inline constexpr HKEY HKEY_CURRENT_USER = 0x80000001U;
inline constexpr HKEY HKEY_LOCAL_MACHINE = 0x80000002U;
inline constexpr HKEY HKEY_USERS = 0x80000003U;
inline constexpr HKEY HKEY_CURRENT_CONFIG = 0x80000005U;
inline constexpr HKEY HKEY_NONE = 0;

inline constexpr REGSAM KEY_QUERY_VALUE = 0x0001;
inline constexpr REGSAM KEY_SET_VALUE = 0x0002;
inline constexpr REGSAM KEY_CREATE_SUB_KEY = 0x0004;
inline constexpr REGSAM KEY_ENUMERATE_SUB_KEYS = 0x0008;
inline constexpr REGSAM KEY_NOTIFY = 0x0010;
inline constexpr REGSAM KEY_READ = 0x20019;
inline constexpr REGSAM KEY_WRITE = 0x20006;
inline constexpr REGSAM KEY_ALL_ACCESS = 0xF003F;

inline constexpr DWORD REG_NONE = 0;
inline constexpr DWORD REG_SZ = 1;
inline constexpr DWORD REG_EXPAND_SZ = 2;
inline constexpr DWORD REG_BINARY = 3;
inline constexpr DWORD REG_DWORD = 4;
inline constexpr DWORD REG_DWORD_BIG_ENDIAN = 5;
inline constexpr DWORD REG_LINK = 6;
inline constexpr DWORD REG_MULTI_SZ = 7;
inline constexpr DWORD REG_QWORD = 11;

class IRegistry {
public:
    virtual ~IRegistry() = default;

    // Opens an existing key below `parent` (a root or an open handle). `subKey` may hold
    // several levels separated by '\'. Answers ERROR_FILE_NOT_FOUND when the key does not
    // exist, ERROR_ACCESS_DENIED when `rights` ask to change the key (KEY_SET_VALUE,
    // KEY_CREATE_SUB_KEY) and the store cannot be changed, ERROR_INVALID_HANDLE for a bad
    // parent, ERROR_INVALID_PARAMETER for an empty level or a name no key can have (NUL, CR,
    // LF). An empty `subKey` opens `parent` again. `*result` is set only on success.
    [[nodiscard]] virtual LSTATUS OpenKey(HKEY parent, std::string_view subKey, REGSAM rights,
                                          HKEY* result) = 0;

    // Opens a key, creating it and any missing level first. `isVolatile` asks for a key
    // that the store need not keep beyond the session. Fails like OpenKey, and with
    // ERROR_ACCESS_DENIED when a key must be created and the store cannot be changed or
    // `parent` was opened without KEY_CREATE_SUB_KEY.
    [[nodiscard]] virtual LSTATUS CreateKey(HKEY parent, std::string_view subKey, REGSAM rights,
                                            bool isVolatile, HKEY* result) = 0;

    // Reads a value. `type` and `data` may be null. On entry `*size` is the capacity of
    // `data`; on return it is the value's length in bytes. A value longer than the capacity
    // answers ERROR_MORE_DATA and leaves `data` untouched; a missing value answers
    // ERROR_FILE_NOT_FOUND, or ERROR_BADDB where the store had parts it could not read, on
    // which the value may have stood; a handle without KEY_QUERY_VALUE answers ERROR_ACCESS_DENIED;
    // `data` without `size` answers ERROR_INVALID_PARAMETER.
    [[nodiscard]] virtual LSTATUS QueryValue(HKEY key, std::string_view name, DWORD* type,
                                             std::uint8_t* data, DWORD* size) = 0;

    // Writes a value whole, creating or replacing it. A handle without KEY_SET_VALUE answers
    // ERROR_ACCESS_DENIED, a name holding NUL, CR or LF ERROR_INVALID_PARAMETER; a store that
    // cannot be written answers a failure code and keeps its previous content.
    [[nodiscard]] virtual LSTATUS SetValue(HKEY key, std::string_view name, DWORD type,
                                           std::span<const std::uint8_t> data) = 0;

    // The length in bytes of the longest value data the key holds (0 for a key without
    // values). Needs KEY_QUERY_VALUE like QueryValue.
    [[nodiscard]] virtual LSTATUS QueryMaxValueDataLength(HKEY key, DWORD* length) = 0;

    // Closes a handle opened by OpenKey or CreateKey. Roots need no closing.
    [[nodiscard]] virtual LSTATUS CloseKey(HKEY key) = 0;
};
