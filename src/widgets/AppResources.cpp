#include "widgets/AppResources.h"

#include "Resource.h"

#include <QDir>
#include <QFile>

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
    RegisterResources();
    const QDir dir(Path(RT_ICON, nId));
    QIcon icon;
    for (const QString& strFile : dir.entryList(QDir::Files)) {
        icon.addFile(dir.filePath(strFile));
    }
    return icon;
}

QPixmap CAppResources::LoadBitmap(int nId) {
    RegisterResources();
    return QPixmap(Path(RT_BITMAP, nId));
}
