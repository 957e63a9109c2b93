#include "platform/qt/AppResources.h"

#include <QDir>
#include <QFile>
#include <QHash>

#include "Resource.h"

// The resources are compiled into this static library; nothing else refers to them, so
// the linker would leave them out unless they are registered by hand.
static void RegisterResources() {
    static const bool s_bDone = [] {
        Q_INIT_RESOURCE(quellio);
        return true;
    }();
    static_cast<void>(s_bDone);
}

CAppResources::CAppResources() {
    RegisterResources();
}

QString CAppResources::Path(std::string_view type, int nId) {
    return QStringLiteral(":/%1/%2")
        .arg(QString::fromLatin1(type.data(), static_cast<qsizetype>(type.size())))
        .arg(nId);
}

std::optional<std::vector<std::uint8_t>> CAppResources::FindResource(std::string_view type,
                                                                     int nId) const {
    QFile file(Path(type, nId));
    if (!file.open(QIODevice::ReadOnly)) {
        return std::nullopt;
    }
    const QByteArray bytes = file.readAll();
    return std::vector<std::uint8_t>(bytes.begin(), bytes.end());
}

QIcon CAppResources::LoadIcon(int nId) {
    // Loaded once: the tray asks for the same few images at every kill, and one icon per
    // id keeps them recognisable (QIcon::cacheKey) wherever they are handed on.
    static QHash<int, QIcon> s_icons;
    if (const auto it = s_icons.constFind(nId); it != s_icons.constEnd()) {
        return *it;
    }
    RegisterResources();
    const QDir dir(Path(RT_ICON, nId));
    QIcon icon;
    for (const QString& strFile : dir.entryList(QDir::Files)) {
        icon.addFile(dir.filePath(strFile));
    }
    if (!icon.isNull()) {
        s_icons.insert(nId, icon);
    }
    return icon;
}

QPixmap CAppResources::LoadBitmap(int nId) {
    RegisterResources();
    return QPixmap(Path(RT_BITMAP, nId));
}
