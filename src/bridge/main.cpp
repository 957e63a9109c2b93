// quellio-bridge: the native messaging host that browsers start for Quellio's companion
// extension. The browser passes arguments (the manifest's path, the extension's origin)
// that the bridge has no use for: only the extension ids in its manifest may start it.
#include <csignal>

#include "bridge/BridgeRelay.h"
#include "platform/linux/bridge/BridgeSocket.h"

int main() {
    // A write to a browser or a Quellio that has gone answers an error instead.
    std::signal(SIGPIPE, SIG_IGN);
    constexpr std::chrono::seconds kRetry{1};
    CBridgeRelay relay(0, 1, BridgeSocketPath(), kRetry);
    return relay.Run();
}
