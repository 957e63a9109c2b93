#include "pages/TipOfDayDlg.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <ctime>

#include <QCheckBox>
#include <QDir>
#include <QFrame>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QSettings>

#include "Resource.h"
#include "platform/ModulePath.h"
#include "platform/qt/AppResources.h"
#include "platform/qt/MessageBox.h"

namespace {

const QString kStartUpKey = QStringLiteral("Tip/StartUp");
const QString kFilePosKey = QStringLiteral("Tip/FilePos");
const QString kTimeStampKey = QStringLiteral("Tip/TimeStamp");

// A line is read into a buffer of this size: at most 999 bytes and the terminating zero.
constexpr int kLineBuffer = 1000;

// The file's status-change time as ctime writes it, without the line end.
QString TimeStampOf(std::FILE* pFile) {
    struct stat status {};
    char szTime[64] = {};
    if (fstat(fileno(pFile), &status) != 0 || ctime_r(&status.st_ctime, szTime) == nullptr) {
        return {};
    }
    return QString::fromLatin1(szTime).trimmed();
}

}  // namespace

CTipOfDayDlg::CTipOfDayDlg(IMessageBox& messageBox, std::filesystem::path tipsPath,
                           QString strProfilePath, QWidget* parent)
    : QDialog(parent),
      m_MessageBox(messageBox),
      m_strProfilePath(std::move(strProfilePath)),
      m_pTipText(new QLabel(this)),
      m_pStartup(new QCheckBox(QStringLiteral("&Show Tips on StartUp"), this)),
      m_pNextTip(new QPushButton(QStringLiteral("&Next Tip"), this)),
      m_pClose(new QPushButton(QStringLiteral("&Close"), this)) {
    QSettings profile(m_strProfilePath, QSettings::IniFormat);
    m_bStartup = profile.value(kStartUpKey, 0).toInt() == 0;
    qint64 nFilePos = profile.value(kFilePosKey, 0).toLongLong();

    m_pTipsFile = OpenTipsFile(tipsPath);
    bool bNextTip = m_pTipsFile != nullptr;
    if (m_pTipsFile == nullptr) {
        m_strTip = QStringLiteral("Tips file does not exist in the prescribed directory");
    } else {
        const QString strTimeStamp = TimeStampOf(m_pTipsFile);
        if (profile.value(kTimeStampKey).toString() != strTimeStamp) {
            // Another file: its first tip comes first.
            profile.setValue(kTimeStampKey, strTimeStamp);
            nFilePos = 0;
        }
        // A position beyond the end (the file got shorter) finds the end and starts over.
        if (fseeko(m_pTipsFile, nFilePos, SEEK_SET) != 0) {
            ShowTroubleReading();
        } else {
            bNextTip = GetNextTip(m_strTip);
        }
    }

    setWindowTitle(QStringLiteral("Tip of the Day"));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint);
    QFont dialogFont = font();
    dialogFont.setPointSize(8);
    setFont(dialogFont);
    setFixedSize(kWidth, kHeight);

    auto* frame = new QFrame(this);
    frame->setFrameStyle(QFrame::Box | QFrame::Plain);
    QPalette framePalette = frame->palette();
    framePalette.setColor(QPalette::WindowText, Qt::black);
    frame->setPalette(framePalette);
    frame->setGeometry(kTipArea);
    m_pTipText->setGeometry(11, 60, 268, 78);
    m_pTipText->setTextFormat(Qt::PlainText);
    m_pTipText->setWordWrap(true);
    m_pTipText->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_pTipText->setAutoFillBackground(true);
    QPalette tipPalette = m_pTipText->palette();
    tipPalette.setColor(QPalette::Window, Qt::white);
    m_pTipText->setPalette(tipPalette);
    m_pNextTip->setGeometry(154, 141, 58, 20);
    m_pClose->setGeometry(222, 141, 58, 20);
    m_pClose->setDefault(true);
    m_pStartup->setGeometry(10, 141, 140, 20);
    m_pNextTip->setEnabled(bNextTip);
    connect(m_pNextTip, &QPushButton::clicked, this, &CTipOfDayDlg::OnNextTip);
    connect(m_pClose, &QPushButton::clicked, this, &CTipOfDayDlg::accept);
    UpdateData(false);
}

CTipOfDayDlg::~CTipOfDayDlg() {
    if (m_pTipsFile == nullptr) {
        return;
    }
    const off_t nPos = ftello(m_pTipsFile);
    if (nPos >= 0) {
        QSettings(m_strProfilePath, QSettings::IniFormat)
            .setValue(kFilePosKey, static_cast<qint64>(nPos));
    }
    std::fclose(m_pTipsFile);
}

std::filesystem::path CTipOfDayDlg::DefaultTipsPath() {
    return std::filesystem::path(GetModuleFileName()).parent_path() / "tips.txt";
}

QString CTipOfDayDlg::DefaultProfilePath(const QString& strAppName) {
    QString strConfigHome = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (!QDir::isAbsolutePath(strConfigHome)) {
        strConfigHome = QDir::homePath() + QStringLiteral("/.config");
    }
    return strConfigHome + QLatin1Char('/') + strAppName + QStringLiteral(".ini");
}

std::FILE* CTipOfDayDlg::OpenTipsFile(const std::filesystem::path& tipsPath) {
    // Not blocking, so that a pipe in the file's place cannot hang the dialog; only a
    // regular file is read.
    const int fd = ::open(tipsPath.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        return nullptr;
    }
    struct stat status {};
    if (fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
        ::close(fd);
        return nullptr;
    }
    std::FILE* pFile = fdopen(fd, "r");
    if (pFile == nullptr) {
        ::close(fd);
    }
    return pFile;
}

bool CTipOfDayDlg::GetNextTip(QString& strNext) {
    char szLine[kLineBuffer];
    // Going round twice without a tip means the whole file was read: it holds none.
    int nRoundsLeft = 2;
    for (;;) {
        if (std::fgets(szLine, kLineBuffer, m_pTipsFile) == nullptr) {
            if (--nRoundsLeft == 0) {
                strNext = QStringLiteral("The tips file holds no tips");
                return false;
            }
            if (fseeko(m_pTipsFile, 0, SEEK_SET) != 0) {
                ShowTroubleReading();
                strNext.clear();
                return false;
            }
            continue;
        }
        std::size_t nLength = std::strlen(szLine);
        // A line end written as CR LF counts as the LF alone, as a reader in text mode sees it.
        if (nLength >= 2 && szLine[nLength - 2] == '\r' && szLine[nLength - 1] == '\n') {
            szLine[nLength - 2] = '\n';
            --nLength;
        }
        const char cFirst = szLine[0];
        if (cFirst == ' ' || cFirst == '\t' || cFirst == '\n' || cFirst == ';' || cFirst == '\0') {
            continue;
        }
        strNext = QString::fromUtf8(szLine, static_cast<qsizetype>(nLength));
        return true;
    }
}

void CTipOfDayDlg::ShowTroubleReading() {
    m_MessageBox.ShowMessage(nullptr, QStringLiteral("Trouble reading the tips file"));
}

void CTipOfDayDlg::UpdateData(bool bSaveAndValidate) {
    if (bSaveAndValidate) {
        m_bStartup = m_pStartup->isChecked();
        return;
    }
    m_pStartup->setChecked(m_bStartup);
    m_pTipText->setText(m_strTip);
}

void CTipOfDayDlg::OnNextTip() {
    if (!GetNextTip(m_strTip)) {
        m_pNextTip->setEnabled(false);
    }
    // The check box too: it shows the state the dialog was built with until "Close".
    UpdateData(false);
}

void CTipOfDayDlg::accept() {
    UpdateData(true);
    QDialog::accept();
    QSettings(m_strProfilePath, QSettings::IniFormat).setValue(kStartUpKey, m_bStartup ? 0 : 1);
}

void CTipOfDayDlg::paintEvent(QPaintEvent* event) {
    QDialog::paintEvent(event);
    QPainter painter(this);
    painter.fillRect(kTipArea, Qt::white);
    const QPixmap bulb = CAppResources::LoadBitmap(IDB_TIP_HEADING);
    painter.drawPixmap(kTipArea.topLeft(), bulb);
    QFont headingFont = font();
    headingFont.setBold(true);
    headingFont.setPointSize(headingFont.pointSize() + 4);
    painter.setFont(headingFont);
    painter.setPen(Qt::black);
    const QRect rcHeading(kTipArea.left() + bulb.width(), kTipArea.top(),
                          kTipArea.width() - bulb.width(), bulb.height());
    painter.drawText(rcHeading, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                     QStringLiteral("Did you know..."));
}
