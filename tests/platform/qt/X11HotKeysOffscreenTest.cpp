#include <gtest/gtest.h>

#include "platform/qt/X11HotKeys.h"

namespace {

TEST(X11HotKeysOffscreenTest, WithoutAnX11DisplayTheClaimFailsQuietly) {
    CX11HotKeys hotKeys;
    EXPECT_FALSE(hotKeys.RegisterHotKey(0xBFFB, MOD_CONTROL | MOD_ALT, 'A', [] {}));
    EXPECT_FALSE(hotKeys.UnregisterHotKey(0xBFFB));
}

}  // namespace
