#pragma once

class QUrl;

// Hands a file or an address to the desktop, which opens it with the user's program for
// it (the file manager's "open"). The address travels as one argument, never through a
// shell.
class IShellOpen {
public:
    virtual ~IShellOpen() = default;

    // Answers whether the desktop accepted the request.
    virtual bool Open(const QUrl& url) = 0;
};
