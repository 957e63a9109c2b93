#include "platform/qt/XdgWebPageHandler.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QStringList>

#include "platform/Result.h"
#include "platform/qt/ShellOpen.h"

namespace {

// How long xdg-mime may take to answer; it is a small script that reads a few files.
constexpr int kQueryTimeoutMs = 5000;
// A desktop entry is a few kilobytes; anything far larger is not one.
constexpr qint64 kMaxEntryBytes = 1 << 20;
constexpr int ERROR_BAD_FORMAT = 11;

QString FromBytes(std::string_view bytes) {
    return QFile::decodeName(QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size())));
}

// The desktop entry file of `strId` in the XDG data folders, most personal first.
QString FindDesktopEntry(const QString& strId) {
    QStringList dataDirs;
    const QString strDataHome = qEnvironmentVariable("XDG_DATA_HOME");
    dataDirs << (QDir::isAbsolutePath(strDataHome)
                     ? strDataHome
                     : QDir::homePath() + QStringLiteral("/.local/share"));
    QString strDataDirs = qEnvironmentVariable("XDG_DATA_DIRS");
    if (strDataDirs.isEmpty()) {
        strDataDirs = QStringLiteral("/usr/local/share:/usr/share");
    }
    for (const QString& strDir : strDataDirs.split(QLatin1Char(':'), Qt::SkipEmptyParts)) {
        if (QDir::isAbsolutePath(strDir)) {
            dataDirs << strDir;
        }
    }
    // An id "vendor-name.desktop" may stand for the file name.desktop in a folder vendor.
    QStringList names{strId};
    const qsizetype nDash = strId.lastIndexOf(QLatin1Char('-'));
    if (nDash > 0) {
        names << strId.left(nDash) + QLatin1Char('/') + strId.mid(nDash + 1);
    }
    for (const QString& strDir : dataDirs) {
        for (const QString& strName : names) {
            const QString strPath = strDir + QStringLiteral("/applications/") + strName;
            if (QFileInfo(strPath).isFile()) {
                return strPath;
            }
        }
    }
    return {};
}

// The value of the key Exec in the group [Desktop Entry] of the entry at `strPath`.
std::optional<std::string> ReadExecKey(const QString& strPath) {
    QFile file(strPath);
    if (!file.open(QIODevice::ReadOnly) || file.size() > kMaxEntryBytes) {
        return std::nullopt;
    }
    bool bInMainGroup = false;
    for (const QByteArray& line : file.readAll().split('\n')) {
        const QByteArray trimmed = line.trimmed();
        if (trimmed.startsWith('[')) {
            bInMainGroup = trimmed == "[Desktop Entry]";
            continue;
        }
        const qsizetype nEquals = trimmed.indexOf('=');
        if (bInMainGroup && nEquals > 0 && trimmed.left(nEquals).trimmed() == "Exec") {
            const QByteArray value = trimmed.mid(nEquals + 1).trimmed();
            return std::string(value.constData(), static_cast<std::size_t>(value.size()));
        }
    }
    return std::nullopt;
}

// Undoes the string escapes of a desktop entry value: \s, \n, \t, \r and \\.
std::string UnescapeString(std::string_view value) {
    std::string result;
    for (std::size_t i = 0; i < value.size(); ++i) {
        if (value[i] != '\\' || i + 1 == value.size()) {
            result += value[i];
            continue;
        }
        switch (value[++i]) {
            case 's':
                result += ' ';
                break;
            case 'n':
                result += '\n';
                break;
            case 't':
                result += '\t';
                break;
            case 'r':
                result += '\r';
                break;
            case '\\':
                result += '\\';
                break;
            default:
                result += '\\';
                result += value[i];
        }
    }
    return result;
}

bool IsAddressCode(char c) {
    return c == 'f' || c == 'F' || c == 'u' || c == 'U';
}

}  // namespace

std::optional<std::string> CXdgWebPageHandler::QueryOpenCommand() {
    QProcess query;
    query.setProcessChannelMode(QProcess::SeparateChannels);
    query.setStandardInputFile(QProcess::nullDevice());
    query.start(QStringLiteral("xdg-mime"),
                {QStringLiteral("query"), QStringLiteral("default"), QStringLiteral("text/html")});
    if (!query.waitForFinished(kQueryTimeoutMs)) {
        query.kill();
        query.waitForFinished();
        return std::nullopt;
    }
    if (query.exitStatus() != QProcess::NormalExit || query.exitCode() != 0) {
        return std::nullopt;
    }
    // One desktop file id, such as "chromium.desktop"; never a path.
    const QString strId =
        QString::fromUtf8(query.readAllStandardOutput()).section(QLatin1Char('\n'), 0, 0).trimmed();
    if (!strId.endsWith(QStringLiteral(".desktop")) || strId.contains(QLatin1Char('/'))) {
        return std::nullopt;
    }
    const QString strPath = FindDesktopEntry(strId);
    return strPath.isEmpty() ? std::nullopt : ReadExecKey(strPath);
}

std::optional<std::vector<std::string>> CXdgWebPageHandler::SplitExec(std::string_view exec) {
    const std::string line = UnescapeString(exec);
    std::vector<std::string> args;
    std::string current;
    bool bInArg = false;
    for (std::size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (c == ' ' || c == '\t') {
            if (bInArg) {
                args.push_back(std::move(current));
                current.clear();
                bInArg = false;
            }
            continue;
        }
        bInArg = true;
        if (c != '"') {
            current += c;
            continue;
        }
        for (++i;; ++i) {
            if (i == line.size()) {
                return std::nullopt;
            }
            if (line[i] == '"') {
                break;
            }
            if (line[i] == '\\' && i + 1 < line.size()) {
                const char next = line[i + 1];
                if (next == '"' || next == '`' || next == '$' || next == '\\') {
                    ++i;
                }
            }
            current += line[i];
        }
    }
    if (bInArg) {
        args.push_back(std::move(current));
    }
    return args;
}

std::vector<std::string> CXdgWebPageHandler::BuildCommand(const std::vector<std::string>& args,
                                                          std::string_view address) {
    std::vector<std::string> command;
    for (const std::string& arg : args) {
        std::string expanded;
        bool bHadCode = false;
        for (std::size_t i = 0; i < arg.size(); ++i) {
            if (arg[i] != '%' || i + 1 == arg.size()) {
                expanded += arg[i];
                continue;
            }
            const char code = arg[++i];
            if (code == '%') {
                expanded += '%';
            } else if (IsAddressCode(code)) {
                // The address takes the place kept for it; what follows is cut off.
                command.push_back(expanded.append(address));
                return command;
            } else {
                bHadCode = true;
            }
        }
        // An argument that was nothing but codes for other things goes with them.
        if (!expanded.empty() || !bHadCode) {
            command.push_back(std::move(expanded));
        }
    }
    command.emplace_back(address);
    return command;
}

int CXdgWebPageHandler::Run(const std::vector<std::string>& argv) {
    if (argv.empty()) {
        return ERROR_FILE_NOT_FOUND;
    }
    QString strProgram = FromBytes(argv.front());
    if (!strProgram.contains(QLatin1Char('/'))) {
        strProgram = QStandardPaths::findExecutable(strProgram);
        if (strProgram.isEmpty()) {
            return ERROR_FILE_NOT_FOUND;
        }
    }
    const QFileInfo program(strProgram);
    if (!program.exists()) {
        return ERROR_FILE_NOT_FOUND;
    }
    if (!program.isFile() || !program.isExecutable()) {
        return ERROR_ACCESS_DENIED;
    }
    QStringList arguments;
    for (auto it = argv.begin() + 1; it != argv.end(); ++it) {
        arguments << FromBytes(*it);
    }
    QProcess process;
    process.setProgram(strProgram);
    process.setArguments(arguments);
    process.setStandardInputFile(QProcess::nullDevice());
    return process.startDetached() ? SHELL_RUN_FAILED_MAX + 1 : ERROR_BAD_FORMAT;
}
