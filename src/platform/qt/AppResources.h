#pragma once

#include <QIcon>
#include <QPixmap>

#include "platform/ResourceLookup.h"

// The resources built into the program (res/quellio.qrc), by the ids of Resource.h.
class CAppResources final : public IResourceLookup {
public:
    CAppResources();

    std::optional<std::vector<std::uint8_t>> FindResource(std::string_view type,
                                                          int nId) const override;

    // Icon `nId` with all its sizes, or a null icon when there is none. Loading an id again
    // gives the same icon. User-interface thread only.
    static QIcon LoadIcon(int nId);
    // Bitmap `nId`, or a null pixmap when there is none.
    static QPixmap LoadBitmap(int nId);
    // Where resource `nId` of `type` lives: ":/<type>/<id>".
    static QString Path(std::string_view type, int nId);
};
