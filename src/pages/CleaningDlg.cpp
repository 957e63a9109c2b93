#include "pages/CleaningDlg.h"

#include <algorithm>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <system_error>

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>

#include "cleaner/CleaningProgress.h"
#include "cleaner/CleaningThreadProc.h"
#include "cleaner/CleaningThreads.h"
#include "platform/qt/MessageBox.h"
#include "widgets/DialogUnits.h"

namespace {

const QString kCleanDone = QStringLiteral("Clean Completely!");

QString ToQString(std::string_view strText) {
    return QString::fromUtf8(strText.data(), static_cast<qsizetype>(strText.size()));
}

}  // namespace

// The worker's side of the dialog: each call is carried to the dialog on the user-interface
// thread and waits there until it has been handled. Once the dialog has closed, calls
// return at once and nothing more reaches it. The dialog never waits for the worker, so a
// worker waiting here can never hold up the user-interface thread.
class CCleaningDlg::CLink : public ICleaningProgress {
public:
    explicit CLink(CCleaningDlg* pDlg) : m_pDlg(pDlg) {}

    // User-interface thread: the dialog has ended or is going.
    void Close() {
        {
            const std::lock_guard lock(m_Mutex);
            m_bClosed = true;
        }
        m_Changed.notify_all();
    }

    void OnStepStart(std::string_view strText) override {
        Send([strText = std::string(strText)](CCleaningDlg& dlg) { dlg.OnStepStart(strText); });
    }
    void OnCleanItem(std::string_view strText) override {
        Send([strText = std::string(strText)](CCleaningDlg& dlg) { dlg.OnCleanItem(strText); });
    }
    void OnSkipped(std::string_view strText) override {
        Send([strText = std::string(strText)](CCleaningDlg& dlg) { dlg.OnSkipped(strText); });
    }
    // Shown as a skip is: the user reads why the data stayed.
    void OnFailed(std::string_view strText) override { OnSkipped(strText); }
    void OnStepDone(std::string_view strText) override {
        Send([strText = std::string(strText)](CCleaningDlg& dlg) { dlg.OnStepDone(strText); });
    }
    void OnCleanDone(std::string_view strSkipped) override {
        Send([strSkipped = std::string(strSkipped)](CCleaningDlg& dlg) {
            dlg.OnCleanDone(strSkipped);
        });
    }

private:
    bool IsClosed() {
        const std::lock_guard lock(m_Mutex);
        return m_bClosed;
    }

    void Send(std::function<void(CCleaningDlg&)> fnHandle) {
        std::unique_lock lock(m_Mutex);
        if (m_bClosed) {
            return;
        }
        const std::uint64_t nTicket = ++m_nSent;
        // The dialog closes the link before it is destroyed, and closing waits for this
        // lock: the dialog is there to post to. A posted call that finds the dialog
        // destroyed is dropped with it; the worker (which keeps this link alive) has been
        // released by Close by then.
        QMetaObject::invokeMethod(
            m_pDlg,
            [this, fnHandle = std::move(fnHandle), nTicket] {
                if (IsClosed()) {
                    return;
                }
                fnHandle(*m_pDlg);
                {
                    const std::lock_guard handledLock(m_Mutex);
                    m_nHandled = nTicket;
                }
                m_Changed.notify_all();
            },
            Qt::QueuedConnection);
        m_Changed.wait(lock, [&] { return m_bClosed || m_nHandled >= nTicket; });
    }

    CCleaningDlg* const m_pDlg;
    std::mutex m_Mutex;
    std::condition_variable m_Changed;
    bool m_bClosed = false;
    std::uint64_t m_nSent = 0;
    std::uint64_t m_nHandled = 0;
};

CCleaningDlg::CCleaningDlg(const CCleaningServices& services, QWidget* parent)
    : QDialog(parent),
      m_Services(services),
      m_pItemText(new QLabel(QStringLiteral("Static"), this)),
      m_pUpperBar(new QProgressBar(this)),
      m_pStepText(new QLabel(QStringLiteral("Static"), this)),
      m_pLowerBar(new QProgressBar(this)),
      m_pStopButton(new QPushButton(QStringLiteral("Stop"), this)) {
    setWindowTitle(QStringLiteral("Cleaning..."));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint);
    setFont(QFont(QStringLiteral("Verdana"), 8));

    const CDialogUnits units(font());
    setFixedSize(units.MapDialogRect(0, 0, 139, 69).size());
    m_pItemText->setGeometry(units.MapDialogRect(11, 7, 119, 8));
    m_pUpperBar->setGeometry(units.MapDialogRect(7, 18, 125, 7));
    m_pStepText->setGeometry(units.MapDialogRect(10, 27, 122, 10));
    m_pLowerBar->setGeometry(units.MapDialogRect(7, 38, 125, 7));
    m_pStopButton->setGeometry(units.MapDialogRect(96, 48, 37, 14));

    m_pItemText->setObjectName(QStringLiteral("itemText"));
    m_pStepText->setObjectName(QStringLiteral("stepText"));
    m_pUpperBar->setObjectName(QStringLiteral("upperBar"));
    m_pLowerBar->setObjectName(QStringLiteral("lowerBar"));
    for (QLabel* label : {m_pItemText, m_pStepText}) {
        // File names are shown as they are, never as markup.
        label->setTextFormat(Qt::PlainText);
    }
    m_pUpperBar->setRange(0, kUpperMax);
    m_pUpperBar->setValue(0);
    m_pLowerBar->setRange(0, kLowerMax);
    m_pLowerBar->setValue(kLowerStart);
    for (QProgressBar* bar : {m_pUpperBar, m_pLowerBar}) {
        bar->setTextVisible(false);
    }
    m_pStopButton->setDefault(true);
    connect(m_pStopButton, &QPushButton::clicked, this, &CCleaningDlg::OnStop);
}

CCleaningDlg::~CCleaningDlg() {
    if (m_pLink) {
        m_pLink->Close();
    }
}

void CCleaningDlg::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!m_pLink) {
        StartWorker();
    }
}

void CCleaningDlg::StartWorker() {
    m_pLink = std::make_shared<CLink>(this);
    try {
        m_WorkerStop = m_Services.threads.Start([pLink = m_pLink, &cleaner = m_Services.cleaner,
                                                 &store = m_Services.store](std::stop_token stop) {
            CleaningThreadProc(cleaner, store, *pLink, std::move(stop));
        });
    } catch (const std::system_error&) {
        // Without a worker nothing would ever end the dialog.
        QMetaObject::invokeMethod(this, &QDialog::reject, Qt::QueuedConnection);
    }
}

void CCleaningDlg::OnStepStart(std::string_view strText) {
    m_pStepText->setText(ToQString(strText));
    m_pUpperBar->setValue(0);
}

void CCleaningDlg::OnCleanItem(std::string_view strText) {
    // The file name of a path; a text that is no path, whole.
    const std::size_t nSlash = strText.rfind('/');
    m_pItemText->setText(
        ToQString(nSlash == std::string_view::npos ? strText : strText.substr(nSlash + 1)));
    const int nUpper = m_pUpperBar->value();
    m_pUpperBar->setValue(nUpper + (kUpperMax - nUpper) / 10);
    const int nLower = m_pLowerBar->value() + kLowerStep;
    m_pLowerBar->setValue(nLower > kLowerMax ? 0 : nLower);
}

void CCleaningDlg::OnSkipped(std::string_view strText) {
    m_pItemText->setText(ToQString(strText));
}

void CCleaningDlg::OnStepDone(std::string_view strText) {
    m_pStepText->setText(ToQString(strText));
    const int nUpper = m_pUpperBar->value();
    m_pLowerBar->setValue(std::min(nUpper + (kUpperMax - nUpper) / 5, kLowerMax));
    m_pUpperBar->setValue(kUpperMax);
}

void CCleaningDlg::OnCleanDone(std::string_view strSkipped) {
    m_pStepText->setText(kCleanDone);
    m_pItemText->setText(kCleanDone);
    m_pUpperBar->setValue(kUpperMax);
    m_pLowerBar->setValue(kLowerMax);
    m_Services.messageBox.ShowMessage(this, kCleanDone + ToQString(strSkipped));
    accept();
}

void CCleaningDlg::OnStop() {
    m_WorkerStop.request_stop();
    accept();
}

void CCleaningDlg::done(int nResult) {
    if (m_pLink) {
        m_pLink->Close();
    }
    QDialog::done(nResult);
}
