#include "app/ScanWorker.h"

#include <string>

#include <QSocketNotifier>
#include <QTimer>

#include "platform/qt/BrowserThread.h"

namespace {

// `copy` made current: a new copy of `list` when it has changed since.
void Publish(std::shared_ptr<const CUrlList>& copy, const CUrlList& list) {
    if (!copy || copy->Generation() != list.Generation()) {
        copy = std::make_shared<const CUrlList>(list);
    }
}

}  // namespace

CScanWorker::CScanWorker(IBrowserWindowsFactory& factory, const CUrlList& blackList,
                         const CUrlList& whiteList, CBrowserThread& browserThread,
                         IKillReport& report)
    : m_BlackList(blackList),
      m_WhiteList(whiteList),
      m_BrowserThread(browserThread),
      m_Report(report),
      m_Scanner(factory, m_ScanBlack, m_ScanWhite, *this) {}

CScanWorker::~CScanWorker() = default;

void CScanWorker::Start() {
    PublishLists();
    m_BrowserThread.Post([this] {
        m_Scanner.ConnectBrowserWindows();
        m_pEventPass = new QTimer;
        m_pEventPass->setSingleShot(true);
        QObject::connect(m_pEventPass, &QTimer::timeout, [this] { ScanBrowserWindows(); });
        m_bWatching = true;
        m_Scanner.WatchBrowserEvents(true);
        if (const int fd = m_Scanner.GetBrowserEventHandle(); fd >= 0) {
            m_pBrowserEvents = new QSocketNotifier(fd, QSocketNotifier::Read);
            QObject::connect(m_pBrowserEvents, &QSocketNotifier::activated,
                             [this] { OnBrowserEvents(); });
        }
    });
}

void CScanWorker::RequestPass() {
    PublishLists();
    if (m_bPassAsked.exchange(true)) {
        return;
    }
    m_BrowserThread.Post([this] {
        m_bPassAsked = false;
        ScanBrowserWindows();
    });
}

void CScanWorker::WatchBrowserEvents(bool bWatch) {
    PublishLists();
    m_BrowserThread.Post([this, bWatch] {
        if (m_pEventPass == nullptr) {
            return;
        }
        m_bWatching = bWatch;
        if (!bWatch) {
            m_pEventPass->stop();
        }
        m_Scanner.WatchBrowserEvents(bWatch);
    });
}

void CScanWorker::Stop() {
    m_BrowserThread.Post([this] {
        if (m_pEventPass == nullptr) {
            return;
        }
        m_Scanner.WatchBrowserEvents(false);
        delete m_pBrowserEvents;
        m_pBrowserEvents = nullptr;
        delete m_pEventPass;
        m_pEventPass = nullptr;
        m_Scanner.DisconnectBrowserWindows();
    });
}

void CScanWorker::PublishLists() {
    std::lock_guard lock(m_ListsLock);
    Publish(m_pPublishedBlack, m_BlackList);
    Publish(m_pPublishedWhite, m_WhiteList);
}

void CScanWorker::ScanBrowserWindows() {
    if (m_pEventPass == nullptr) {
        return;
    }
    std::shared_ptr<const CUrlList> pBlack;
    std::shared_ptr<const CUrlList> pWhite;
    {
        std::lock_guard lock(m_ListsLock);
        pBlack = m_pPublishedBlack;
        pWhite = m_pPublishedWhite;
    }
    if (m_ScanBlack.Generation() != pBlack->Generation()) {
        m_ScanBlack = *pBlack;
    }
    if (m_ScanWhite.Generation() != pWhite->Generation()) {
        m_ScanWhite = *pWhite;
    }
    m_Scanner.ScanBrowserWindows();
    OnBrowserEvents();
}

void CScanWorker::OnBrowserEvents() {
    // Taken while blocking is off too, so that the descriptor does not stay readable.
    if (m_pEventPass == nullptr) {
        return;
    }
    const auto wait = m_Scanner.TakeBrowserEvents();
    if (wait && m_bWatching && !m_pEventPass->isActive()) {
        m_pEventPass->start(*wait);
    }
}

void CScanWorker::AddLog(std::string_view url) {
    QMetaObject::invokeMethod(
        this, [this, record = std::string(url)] { m_Report.AddLog(record); }, Qt::QueuedConnection);
}

void CScanWorker::SignalKill() {
    QMetaObject::invokeMethod(
        this, [this] { m_Report.SignalKill(); }, Qt::QueuedConnection);
}
